// `zelto play IN`: hear and watch the plug-in work without a DAW. The file
// runs through the plug-in on an audio thread at its own pace while the editor
// shows in a window: the meters move and the controls act on the audio live.
// Ctrl-C, closing the window, --seconds or the end of the file (without
// --loop) stop it cleanly.
#include <cstdio>
#include <optional>
#include <string>

#include "core/VendorApi.h"
#include "tools/audio/StandardStreams.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/EditorWindow.h"
#include "tools/hosting/Player.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

int runPlay(const ParsedArgs& args) {
    const std::string plugin = pluginPath(args);
    const std::string snapshot = args.text("--snapshot").value_or("");
    const PresetSources sources = presetSources(args);
    const ParameterSets sets = parameterSets(args);
    const double seconds = args.number("--seconds").value_or(0.0);
    const int block = static_cast<int>(args.integer("--block").value_or(256));
    const bool loop = args.has("--loop");
    const bool useDevice = !args.has("--no-device");
    const bool logEdits = args.has("--log-automation");
    if (args.positional().empty()) {
        throw ToolError(kExitUsage, "play needs an input file (see 'zelto help play')");
    }
    const std::string input = args.positional().front();
    std::optional<TemporaryFile> piped;
    if (isStandardStream(input)) {
        piped.emplace("zelto-in");
        readStandardInput(*piped);
    }
    if (!snapshot.empty()) requireWritable(snapshot, "window snapshot");
    StereoSource source(piped ? piped->path() : input);
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
