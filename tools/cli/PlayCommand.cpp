// `zelto play IN`: hear and watch the plug-in work without a DAW. The file
// runs through the plug-in on an audio thread at its own pace while the editor
// shows in a window: the meters move and the controls act on the audio live.
// Ctrl-C, closing the window, --seconds or the end of the file (without
// --loop) stop it cleanly.
#include <cstdio>
#include <string>

#include "host/VendorApi.h"
#include "tools/cli/Cli.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/EditorWindow.h"
#include "tools/hosting/Player.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

int runPlay(const Args& args) {
    std::string plugin = defaultPluginPath();
    std::string input, snapshot;
    PresetSources sources;
    ParameterSets sets;
    double seconds = 0.0;
    int block = 256;
    bool loop = false, useDevice = true, logEdits = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = optionName(args[i]);
        if (name == "--plugin") {
            plugin = optionValue(args, i);
        } else if (name == "--seconds") {
            seconds = doubleOption(name, optionValue(args, i));
            if (seconds < 0.0) throw ToolError(kExitUsage, "--seconds must not be negative");
        } else if (name == "--block") {
            block = static_cast<int>(intOption(name, optionValue(args, i), 16, 8192));
        } else if (name == "--loop") {
            loop = true;
        } else if (name == "--no-device") {
            useDevice = false;
        } else if (name == "--log-automation") {
            logEdits = true;
        } else if (name == "--snapshot") {
            snapshot = optionValue(args, i);
        } else if (name == "--set") {
            sets.push_back(parseSetOption(optionValue(args, i)));
        } else if (parsePresetOption(args, i, sources)) {
        } else if (!args[i].empty() && args[i][0] == '-') {
            unknownOption("play", args[i]);
        } else if (input.empty()) {
            input = args[i];
        } else {
            throw ToolError(kExitUsage, "play takes one input file");
        }
    }
    if (input.empty()) throw ToolError(kExitUsage, "play needs an input file (see 'zelto help')");
    if (!snapshot.empty()) requireWritable(snapshot, "window snapshot");
    StereoSource source(input);
    PluginHost host(plugin);
    applyPresetSources(host, sources);
    applyParameterSets(host, sets);
    if (logEdits) logAutomation(host);
    host.setSampleRate(source.sampleRate());
    host.setBlockSize(block);
    host.resume();

    Player player(host, source, block, loop, useDevice);
    player.start();
    EditorWindowOptions window;
    window.seconds = seconds;
    window.title = "zelto play";
    window.stopRequested = [&player] { return player.finished(); };
    if (!snapshot.empty()) {
        window.beforeClose = [&host, &snapshot] {
            if (host.dispatch(effVendorSpecific, kVendorApiMagic, kVendorSnapshotPng,
                              const_cast<char*>(snapshot.c_str())) != 1) {
                throw ToolError(kExitOutput, "cannot write window snapshot '" + snapshot +
                                                 "': the plug-in could not draw or write it");
            }
        };
    }
    int code = kExitOk;
    try {
        code = showEditorWindow(host, window);
    } catch (...) {
        player.stop();
        throw;
    }
    player.stop();
    host.suspend();
    std::printf("played %.2f s of '%s'\n",
                static_cast<double>(player.framesPlayed()) / source.sampleRate(), input.c_str());
    if (player.failureCode() != 0) throw ToolError(player.failureCode(), player.failure());
    return code;
}

}  // namespace zelto
