// Presets, banks and state through the binary interface; see PresetSources.h.
#include "tools/hosting/PresetSources.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/VendorApi.h"
#include "platform/FileIO.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"

namespace zelto {

namespace {

constexpr int kPrograms = 24;
constexpr size_t kMaxStateBytes = 64u << 20;

VstIntPtr vendorCall(PluginHost& host, VstIntPtr what, const void* ptr) {
    return host.dispatch(effVendorSpecific, kVendorApiMagic, what, const_cast<void*>(ptr));
}

std::string loadAnswerText(VstIntPtr answer) {
    switch (answer) {
        case kVendorNoBank:
            return "the plug-in has no program store";
        case kVendorUnreadable:
            return "it cannot be read";
        case kVendorTooShort:
            return "it is too short to be a preset or bank";
        case kVendorForeignSignature:
            return "it was written for another plug-in";
        case kVendorUnknownTag:
            return "it is not a file of that kind";
        case kVendorDamaged:
            return "it is damaged (its sizes do not fit its data)";
        case kVendorValueOutOfRange:
            return "it holds a value outside 0..1";
        default:
            return "the plug-in gave no reason";
    }
}

// Says why a file cannot be read before the plug-in is asked to read it,
// so the message names the reason rather than only the plug-in's refusal.
void requireReadable(const std::string& path, const char* kind) {
    ReadError why = ReadError::None;
    const int fd = openRegularFile(path, &why);
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    throw ToolError(kExitInput,
                    std::string(kind) + " file '" + path + "' " + describeReadError(why));
}

void loadFile(PluginHost& host, VstIntPtr call, const std::string& path, const char* kind) {
    requireOurPlugin(host, std::string("loading a ") + kind + " file");
    requireReadable(path, kind);
    const VstIntPtr answer = vendorCall(host, call, path.c_str());
    if (answer == kVendorLoaded) return;
    if (answer == kVendorUnreadable) {
        throw ToolError(kExitInput, std::string(kind) + " file '" + path + "' cannot be read");
    }
    throw ToolError(kExitRejected, "the plug-in rejected " + std::string(kind) + " file '" + path +
                                       "': " + loadAnswerText(answer) + "; nothing was changed");
}

void loadState(PluginHost& host, const std::string& path) {
    ReadError why = ReadError::None;
    auto data = readWholeFile(path, kMaxStateBytes, &why);
    if (!data) {
        throw ToolError(kExitInput, "state file '" + path + "' " + describeReadError(why));
    }
    if ((host.effect().flags & effFlagsProgramChunks) == 0) {
        throw ToolError(kExitUnsupported, "the plug-in keeps no state chunk");
    }
    if (data->empty()) throw ToolError(kExitRejected, "state file '" + path + "' is empty");
    const VstIntPtr answer =
        host.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(data->size()), data->data());
    if (answer != 0 && isOurPlugin(host)) {
        throw ToolError(kExitRejected,
                        "the plug-in rejected state file '" + path + "'; nothing was changed");
    }
}

}  // namespace

void applyPresetSources(PluginHost& host, const PresetSources& sources) {
    if (!sources.state.empty()) loadState(host, sources.state);
    if (!sources.bankFile.empty()) loadFile(host, kVendorLoadBankFile, sources.bankFile, "bank");
    if (!sources.presetFile.empty()) {
        loadFile(host, kVendorLoadPresetFile, sources.presetFile, "preset");
    }
    if (!sources.preset.empty()) selectProgram(host, findProgram(host, sources.preset));
}

void applyParameterSets(PluginHost& host, const ParameterSets& sets) {
    for (const auto& [name, value] : sets) {
        host.setParameter(host.findParameter(name), static_cast<float>(value));
    }
}

bool isOurPlugin(PluginHost& host) {
    return host.effect().uniqueID == kVendorApiMagic;
}

void requireOurPlugin(PluginHost& host, const std::string& what) {
    if (!isOurPlugin(host)) {
        throw ToolError(kExitUnsupported,
                        what + " needs the KRW Zelto plug-in; '" + host.path() + "' is another");
    }
}

std::vector<std::string> programNames(PluginHost& host) {
    std::vector<std::string> names;
    for (int i = 0; i < kPrograms; ++i) {
        VstIntPtr answer = 0;
        std::string name = host.getString(effGetProgramNameIndexed, i, &answer);
        if (answer == 0) break;
        names.push_back(name);
    }
    return names;
}

int findProgram(PluginHost& host, const std::string& nameOrIndex) {
    requireOurPlugin(host, "choosing a preset");
    const std::vector<std::string> names = programNames(host);
    const std::string wanted = toLower(trim(nameOrIndex));
    for (size_t i = 0; i < names.size(); ++i) {
        if (toLower(trim(names[i])) == wanted) return static_cast<int>(i);
    }
    if (const auto index = parseInt(wanted)) {
        if (*index >= 0 && *index < static_cast<int64_t>(names.size())) {
            return static_cast<int>(*index);
        }
        throw ToolError(kExitUsage, "preset " + std::to_string(*index) +
                                        " does not exist (presets are numbered 0 to " +
                                        std::to_string(names.size() - 1) + ")");
    }
    throw ToolError(kExitUsage,
                    "no preset is named '" + nameOrIndex + "' (see 'zelto presets' for the list)");
}

void selectProgram(PluginHost& host, int program) {
    requireOurPlugin(host, "choosing a preset");
    const VstInt32 index = program;
    if (vendorCall(host, kVendorSelectPreset, &index) != 1) {
        throw ToolError(kExitUsage, "preset " + std::to_string(program) + " does not exist");
    }
}

int currentProgram(PluginHost& host) {
    requireOurPlugin(host, "reading the current preset");
    return static_cast<int>(vendorCall(host, kVendorCurrentPreset, nullptr)) - 1;
}

void requireWritable(const std::string& path, const std::string& what) {
    // A trial writer checks the target and makes its temporary file in the
    // destination's folder, as the real writer will; destroyed uncommitted,
    // it leaves nothing.
    const AtomicFileWriter trial(path);
    if (!trial.ok()) {
        throw ToolError(kExitOutput, "cannot write " + what + " '" + path + "': " + trial.error() +
                                         "; nothing was written");
    }
}

void savePresetFile(PluginHost& host, const std::string& path) {
    requireOurPlugin(host, "saving a preset file");
    requireWritable(path, "preset file");
    if (vendorCall(host, kVendorSavePresetFile, path.c_str()) != 1) {
        throw ToolError(kExitOutput, "cannot write preset file '" + path +
                                         "': the plug-in could not write it (is the disk "
                                         "full?); nothing was written");
    }
}

void saveBankFile(PluginHost& host, const std::string& path) {
    requireOurPlugin(host, "saving a bank file");
    requireWritable(path, "bank file");
    if (vendorCall(host, kVendorSaveBankFile, path.c_str()) != 1) {
        throw ToolError(kExitOutput, "cannot write bank file '" + path +
                                         "': the plug-in could not write it (is the disk "
                                         "full?); nothing was written");
    }
}

void saveState(PluginHost& host, const std::string& path) {
    if ((host.effect().flags & effFlagsProgramChunks) == 0) {
        throw ToolError(kExitUnsupported, "the plug-in keeps no state chunk");
    }
    void* data = nullptr;
    const VstIntPtr size = host.dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || data == nullptr || static_cast<size_t>(size) > kMaxStateBytes) {
        throw ToolError(kExitFailure, "the plug-in gave no state");
    }
    std::string why;
    if (!writeFileAtomically(path, data, static_cast<size_t>(size), &why)) {
        throw ToolError(kExitOutput,
                        "cannot write state file '" + path + "': " + why + "; nothing was written");
    }
}

std::optional<double> readMeterGain(PluginHost& host) {
    if (!isOurPlugin(host)) return std::nullopt;
    float meters[10] = {};
    if (vendorCall(host, kVendorMeterValues, meters) != 1) return std::nullopt;
    return std::min(meters[8], meters[9]);
}

// ---- commands ----

}  // namespace zelto
