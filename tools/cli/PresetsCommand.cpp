// `zelto presets` (list and export the plug-in's programs) and `zelto state
// save` (the host chunk as a file).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/Cli.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

int runPresets(const Args& args) {
    std::string plugin = defaultPluginPath();
    PresetSources sources;
    bool json = false;
    bool exporting = false;
    int exportPreset = -1;
    std::string exportPresetArg, exportPresetPath, exportBankPath;
    ParameterSets sets;  // applied to the exported preset (or the current one)
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = optionName(args[i]);
        if (i == 0 && args[i] == "export") {
            exporting = true;
        } else if (name == "--plugin") {
            plugin = optionValue(args, i);
        } else if (name == "--json" && !exporting) {
            json = true;
        } else if (exporting && name == "--preset") {
            exportPresetArg = optionValue(args, i);
            if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1][0] == '-') {
                throw ToolError(kExitUsage, "presets export --preset N needs a file name after N");
            }
            exportPresetPath = args[++i];
        } else if (exporting && name == "--set") {
            sets.push_back(parseSetOption(optionValue(args, i)));
        } else if (exporting && name == "--bank") {
            exportBankPath = optionValue(args, i);
        } else if (parsePresetOption(args, i, sources)) {
        } else {
            unknownOption(exporting ? "presets export" : "presets", args[i]);
        }
    }
    if (exporting && exportPresetPath.empty() && exportBankPath.empty()) {
        throw ToolError(kExitUsage, "presets export needs --preset N FILE.krw or --bank FILE.krb");
    }
    PluginHost host(plugin);
    requireOurPlugin(host, "zelto presets");
    applyPresetSources(host, sources);
    if (exporting) {
        if (!exportPresetPath.empty()) {
            exportPreset = findProgram(host, exportPresetArg);
            selectProgram(host, exportPreset);
            applyParameterSets(host, sets);
            savePresetFile(host, exportPresetPath);
            std::printf("wrote preset %d \"%s\" to %s\n", exportPreset,
                        programNames(host)[static_cast<size_t>(exportPreset)].c_str(),
                        exportPresetPath.c_str());
        }
        if (!exportBankPath.empty()) {
            if (exportPresetPath.empty()) applyParameterSets(host, sets);
            saveBankFile(host, exportBankPath);
            std::printf("wrote the bank of %zu presets to %s\n", programNames(host).size(),
                        exportBankPath.c_str());
        }
        return kExitOk;
    }
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

int runState(const Args& args) {
    if (args.empty() || args[0] != "save") {
        throw ToolError(kExitUsage, "usage: zelto state save FILE [--preset …] (see 'zelto help')");
    }
    std::string plugin = defaultPluginPath();
    PresetSources sources;
    std::string path;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string name = optionName(args[i]);
        if (name == "--plugin") {
            plugin = optionValue(args, i);
        } else if (parsePresetOption(args, i, sources)) {
        } else if (!args[i].empty() && args[i][0] != '-' && path.empty()) {
            path = args[i];
        } else {
            unknownOption("state save", args[i]);
        }
    }
    if (path.empty()) throw ToolError(kExitUsage, "state save needs a file name");
    PluginHost host(plugin);
    applyPresetSources(host, sources);
    saveState(host, path);
    std::printf("wrote the plug-in's state to %s\n", path.c_str());
    return kExitOk;
}

}  // namespace zelto
