// `zelto presets` (list and export the plug-in's programs) and `zelto state
// save` (the host chunk as a file).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

int runPresetsExport(const ParsedArgs& args) {
    PresetSources sources = presetSources(args);
    std::string exportPresetPath, exportBankPath;
    if (!args.positional().empty()) {
        const std::string file = args.positional().front();
        const auto dot = file.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : file.substr(dot);
        if (ext == ".krb") {
            if (!sources.preset.empty()) {
                throw ToolError(kExitUsage,
                                "presets export FILE.krb writes the whole bank; --preset goes "
                                "with FILE.krw");
            }
            exportBankPath = file;
        } else {
            exportPresetPath = file;
        }
    } else if (!sources.bankFile.empty()) {
        // The older form: --bank names the bank to write, not one to load.
        exportBankPath = sources.bankFile;
        sources.bankFile.clear();
    } else {
        throw ToolError(kExitUsage,
                        "presets export needs FILE.krw (a preset) or FILE.krb (the bank)");
    }
    // --preset picks what to write; the rest is loaded first.
    const std::string exportPresetArg = sources.preset;
    sources.preset.clear();
    PluginHost host(pluginPath(args));
    requireOurPlugin(host, "presets export");
    applyPresetSources(host, sources);
    if (!exportPresetPath.empty()) {
        const int exportPreset =
            exportPresetArg.empty() ? currentProgram(host) : findProgram(host, exportPresetArg);
        selectProgram(host, exportPreset);
        applyParameterSets(host, parameterSets(args));
        savePresetFile(host, exportPresetPath);
        std::printf("wrote preset %d \"%s\" to %s\n", exportPreset,
                    programNames(host)[static_cast<size_t>(exportPreset)].c_str(),
                    exportPresetPath.c_str());
    }
    if (!exportBankPath.empty()) {
        if (exportPresetPath.empty()) applyParameterSets(host, parameterSets(args));
        saveBankFile(host, exportBankPath);
        std::printf("wrote the bank of %zu presets to %s\n", programNames(host).size(),
                    exportBankPath.c_str());
    }
    return kExitOk;
}

int runPresets(const ParsedArgs& args) {
    const bool json = args.has("--json");
    PluginHost host(pluginPath(args));
    requireOurPlugin(host, "presets");
    applyPresetSources(host, presetSources(args));
    const std::vector<std::string> names = programNames(host);
    const int current = currentProgram(host);
    if (json) {
        JsonWriter j;
        j.beginObject();
        j.value("current", current);
        j.beginArray("presets");
        for (size_t i = 0; i < names.size(); ++i) {
            j.beginObject().value("index", static_cast<int>(i)).value("name", names[i]).endObject();
        }
        j.endArray();
        j.endObject();
        std::fputs(j.str().c_str(), stdout);
    } else {
        for (size_t i = 0; i < names.size(); ++i) {
            std::printf("%c %2zu  %s\n", static_cast<int>(i) == current ? '*' : ' ', i,
                        names[i].c_str());
        }
    }
    return kExitOk;
}

int runState(const ParsedArgs& args) {
    const std::string path = args.positional().empty() ? "" : args.positional().front();
    const PresetSources sources = presetSources(args);
    const std::string plugin = pluginPath(args);
    if (path.empty()) throw ToolError(kExitUsage, "state save needs a file name");
    PluginHost host(plugin);
    applyPresetSources(host, sources);
    saveState(host, path);
    std::printf("wrote the plug-in's state to %s\n", path.c_str());
    return kExitOk;
}

}  // namespace zelto
