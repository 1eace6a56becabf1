// Programs and state of our own plug-in as zelto reaches them: the standard
// chunk opcodes for host state, the program names through the standard
// indexed query, and the plug-in's private vendor calls (host/VendorApi.h)
// for selecting programs and for its preset and bank files. Other plug-ins
// get a clear "cannot" instead of a guess.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zelto {

class PluginHost;

/// What to load into the plug-in before it runs, in the order applied:
/// host state, bank file, preset file, then a program of the bank.
struct PresetSources {
    std::string state;       // --state F (a host chunk, as effSetChunk receives it)
    std::string bankFile;    // --bank F.krb
    std::string presetFile;  // --preset-file F.krw
    std::string preset;      // --preset NAME|INDEX
    bool empty() const {
        return state.empty() && bankFile.empty() && presetFile.empty() && preset.empty();
    }
};

/// Applies the sources in order; throws ToolError (kExitRejected, kExitInput,
/// kExitUnsupported or kExitUsage) when one cannot be applied.
void applyPresetSources(PluginHost& host, const PresetSources& sources);

/// One --set NAME=VALUE: the value as written, read once the plug-in is
/// known (our own takes units and step texts, any other only 0..1).
struct ParameterSet {
    std::string name;
    std::string value;
    ParameterSet(std::string n, std::string v) : name(std::move(n)), value(std::move(v)) {}
    /// An exact normalised value (written so that it reads back bit for bit).
    ParameterSet(std::string n, double normalised);
};
using ParameterSets = std::vector<ParameterSet>;

/// The normalised value `text` stands for on parameter `index` of the loaded
/// plug-in; a usage ToolError naming what the parameter accepts otherwise.
/// `what` names the setting in the message ("--set Drive").
float parameterValueFromText(PluginHost& host, int index, const std::string& text,
                             const std::string& what);
/// What parameter `index` of our plug-in accepts, e.g. "-24 to +24 dB" or
/// "off, on", for help and messages; empty where only 0..1 applies.
std::string acceptedParameterText(int index);

/// Sets each parameter by name or index, in order; a usage ToolError for an
/// unknown parameter or a value it does not take (then nothing is set).
void applyParameterSets(PluginHost& host, const ParameterSets& sets);

bool isOurPlugin(PluginHost& host);
/// Throws kExitUnsupported naming `what` unless the plug-in is ours.
void requireOurPlugin(PluginHost& host, const std::string& what);

std::vector<std::string> programNames(PluginHost& host);
/// Index of a program by name (case-insensitive) or number 0..23.
int findProgram(PluginHost& host, const std::string& nameOrIndex);
void selectProgram(PluginHost& host, int program);
int currentProgram(PluginHost& host);

/// Checks that `what` (e.g. "preset file") can be written at path before a
/// writer that can only answer yes or no (the plug-in) is asked to: throws
/// ToolError(kExitOutput) naming the path and the system's reason when the
/// folder is missing, not writable, or the path is a folder or device.
/// Nothing is left behind.
void requireWritable(const std::string& path, const std::string& what);

void savePresetFile(PluginHost& host, const std::string& path);
void saveBankFile(PluginHost& host, const std::string& path);
void saveState(PluginHost& host, const std::string& path);

/// The plug-in's lowest gain since the last read (linear, 1 = no reduction),
/// or nothing when its meters cannot be read.
std::optional<double> readMeterGain(PluginHost& host);

}  // namespace zelto
