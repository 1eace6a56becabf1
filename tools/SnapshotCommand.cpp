// `zelto snapshot --out F.png`: the plug-in's editor drawn offscreen, after
// the same state options as render, written by the plug-in itself. Needs no
// X server.
#include <cstdio>

#include "host/VendorApi.h"
#include "tools/Cli.h"
#include "tools/PluginHost.h"
#include "tools/PresetSources.h"
#include "tools/Text.h"
#include "tools/ToolError.h"

namespace zelto {

int runSnapshot(const Args& args) {
    std::string plugin = defaultPluginPath();
    std::string out;
    PresetSources sources;
    ParameterSets sets;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = optionName(args[i]);
        if (name == "--out") {
            out = optionValue(args, i);
        } else if (name == "--plugin") {
            plugin = optionValue(args, i);
        } else if (name == "--set") {
            sets.push_back(parseSetOption(optionValue(args, i)));
        } else if (parsePresetOption(args, i, sources)) {
        } else {
            unknownOption("snapshot", args[i]);
        }
    }
    if (out.empty()) throw ToolError(kExitUsage, "snapshot needs --out FILE.png");
    PluginHost host(plugin);
    requireOurPlugin(host, "zelto snapshot");
    applyPresetSources(host, sources);
    applyParameterSets(host, sets);
    if (host.dispatch(effVendorSpecific, kVendorApiMagic, kVendorSnapshotPng,
                      const_cast<char*>(out.c_str())) != 1) {
        throw ToolError(kExitOutput, "cannot write the editor snapshot to '" + out + "'");
    }
    std::printf("wrote the editor window to %s\n", out.c_str());
    return kExitOk;
}

}  // namespace zelto
