// `zelto snapshot --out F.png`: the plug-in's editor drawn offscreen, after
// the same state options as render, written by the plug-in itself. Needs no
// X server. With --input FILE --at SECONDS the file first runs through the
// plug-in up to that time while the editor, open offscreen, is idled every
// 40 ms of programme time on the programme's clock, so the meters show what a
// listener would see at that moment.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/VendorApi.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/Player.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

namespace {

/// Runs the file up to `seconds` (within its length) through the plug-in with
/// its editor open offscreen, idling it every 40 ms of programme time on that
/// clock.
void playInto(PluginHost& host, StereoSource& source, double seconds) {
    const int block = 64;
    const int rate = source.sampleRate();
    host.setSampleRate(rate);
    host.setBlockSize(block);
    host.resume();
    if (host.dispatch(effEditOpen, 0, 0, nullptr) == 0) {
        throw ToolError(kExitUnsupported, "the plug-in's editor cannot open offscreen");
    }
    const int64_t end =
        std::min<int64_t>(source.frames(), static_cast<int64_t>(std::llround(seconds * rate)));
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    AEffect& effect = host.effect();
    uint32_t nextIdleMs = 0;
    auto idleAt = [&host](uint32_t ms) {
        host.dispatch(effVendorSpecific, kVendorApiMagic, kVendorEditorClock, &ms);
        host.dispatch(effEditIdle);
    };
    for (int64_t pos = 0; pos < end; pos += block) {
        const auto n = static_cast<size_t>(
            source.read(inL.data(), inR.data(), std::min<int64_t>(block, end - pos)));
        if (n == 0) break;
        float* inputs[] = {inL.data(), inR.data()};
        float* outputs[] = {outL.data(), outR.data()};
        effect.processReplacing(&effect, inputs, outputs, static_cast<VstInt32>(n));
        const auto ms = static_cast<uint32_t>((pos + static_cast<int64_t>(n)) * 1000 / rate);
        if (ms >= nextIdleMs) {
            idleAt(ms);
            nextIdleMs = ms + 40;
        }
    }
    // One last pass at the moment asked for.
    idleAt(static_cast<uint32_t>(end * 1000 / rate) + 40);
}

}  // namespace

int runSnapshot(const ParsedArgs& args) {
    const std::string plugin = pluginPath(args);
    const std::string out = args.text("--out").value_or("");
    const std::string input = args.text("--input").value_or("");
    const double at = args.number("--at").value_or(-1.0);
    const PresetSources sources = presetSources(args);
    const ParameterSets sets = parameterSets(args);
    if (out.empty()) throw ToolError(kExitUsage, "snapshot needs --out FILE.png");
    if (input.empty() != (at < 0.0)) {
        throw ToolError(kExitUsage, "--input and --at go together");
    }
    requireWritable(out, "editor snapshot");
    PluginHost host(plugin);
    requireOurPlugin(host, "snapshot");
    applyPresetSources(host, sources);
    applyParameterSets(host, sets);
    bool editorOpen = false;
    if (!input.empty()) {
        StereoSource source(input);
        // Compared in seconds: a huge --at must not overflow a frame count.
        const double length = static_cast<double>(source.frames()) / source.sampleRate();
        if (at > length) {
            throw ToolError(kExitUsage, "--at " + formatShortest(at) + " is past the end of '" +
                                            input + "', which is " + formatFixed(length, 3) +
                                            " s long");
        }
        playInto(host, source, at);
        editorOpen = true;
    }
    if (host.dispatch(effVendorSpecific, kVendorApiMagic, kVendorSnapshotPng,
                      const_cast<char*>(out.c_str())) != 1) {
        throw ToolError(kExitOutput, "cannot write editor snapshot '" + out +
                                         "': the plug-in could not draw or write it");
    }
    if (editorOpen) host.dispatch(effEditClose);
    std::printf("wrote the editor window to %s\n", out.c_str());
    return kExitOk;
}

}  // namespace zelto
