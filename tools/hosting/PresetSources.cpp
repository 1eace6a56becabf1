// Presets, banks and state through the binary interface; see PresetSources.h.
#include "tools/hosting/PresetSources.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/ParameterText.h"
#include "core/Parameters.h"
#include "core/VendorApi.h"
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

ParameterSet::ParameterSet(std::string n, double normalised) : name(std::move(n)) {
    // Nine significant digits carry every float exactly.
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", normalised);
    value = text;
}

std::string acceptedParameterText(int index) {
    if (index < 0 || index >= kNumParams) return "";
    const ParamInfo& info = kParamInfo[static_cast<size_t>(index)];
    ParameterUnit unit{};
    if (settingUnit(index, unit)) {
        auto number = [&](double x) {
            const bool whole = std::fabs(x - std::round(x)) < 1e-9;
            std::string s = formatFixed(x, whole ? 0 : 2);
            return (x > 0.0 && std::strcmp(unit.unit, "dB") == 0 && unit.lowest < 0.0 ? "+" : "") +
                   s;
        };
        std::string s = number(unit.lowest) + " to " + number(unit.highest) + " " + unit.unit;
        if (unit.takesOff) s += ", or off";
        return s;
    }
    std::string list;
    if (info.display == DisplayKind::AttShowMask) return "a mask of 1, 2 and L (as 12L), or none";
    if (info.display != DisplayKind::StepText && info.display != DisplayKind::Switch) return "";
    const int texts = info.display == DisplayKind::Switch ? 2 : info.steps;
    for (int i = 0; i < texts; ++i) {
        if (info.texts[static_cast<size_t>(i)] == nullptr) continue;
        list += (list.empty() ? "" : i + 1 == texts ? " or " : ", ");
        list += info.texts[static_cast<size_t>(i)];
    }
    return list;
}

float parameterValueFromText(PluginHost& host, int index, const std::string& text,
                             const std::string& what) {
    const bool ours = isOurPlugin(host) && index < kNumParams;
    if (ours) {
        const ParsedSetting parsed = parseSettingText(index, text.c_str());
        if (parsed.error == SettingTextError::None) return parsed.value;
        const std::string accepted = acceptedParameterText(index);
        const std::string takes =
            accepted.empty() ? "takes a normalised number from 0 to 1"
                             : "takes " + accepted + " (or a normalised number from 0 to 1)";
        const std::string why = parsed.error == SettingTextError::OutOfRange
                                    ? "'" + text + "' is out of range"
                                : parsed.error == SettingTextError::WrongUnit
                                    ? "'" + text + "' is in another unit"
                                    : "'" + text + "' is not a value it takes";
        throw ToolError(kExitUsage, what + ": " + why + "; " +
                                        kParamInfo[static_cast<size_t>(index)].name + " " + takes);
    }
    const auto v = parseDouble(trim(text));
    if (v && *v >= 0.0 && *v <= 1.0) return static_cast<float>(*v);
    throw ToolError(kExitUsage, what + ": '" + text +
                                    "' is not a number from 0 to 1; units and step texts are "
                                    "understood for the KRW Zelto plug-in only, and '" +
                                    host.path() + "' is another");
}

void applyParameterSets(PluginHost& host, const ParameterSets& sets) {
    // Every value is read before any is set: a bad one changes nothing.
    std::vector<std::pair<int, float>> values;
    for (const auto& set : sets) {
        const int index = host.findParameter(set.name);
        values.emplace_back(index,
                            parameterValueFromText(host, index, set.value, "--set " + set.name));
    }
    for (const auto& [index, value] : values) host.setParameter(index, value);
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

namespace {

/// Writes a preset or bank file with the plug-in's own writer.
void saveThroughPlugin(PluginHost& host, VstIntPtr what, const std::string& path,
                       const std::string& kind) {
    requireOurPlugin(host, "saving a " + kind);
    requireWritable(path, kind);
    if (vendorCall(host, what, path.c_str()) != 1) {
        throw ToolError(kExitOutput, "cannot write " + kind + " '" + path +
                                         "': the plug-in could not write it (is the disk "
                                         "full?); nothing was written");
    }
}

}  // namespace

void savePresetFile(PluginHost& host, const std::string& path) {
    saveThroughPlugin(host, kVendorSavePresetFile, path, "preset file");
}

void saveBankFile(PluginHost& host, const std::string& path) {
    saveThroughPlugin(host, kVendorSaveBankFile, path, "bank file");
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
