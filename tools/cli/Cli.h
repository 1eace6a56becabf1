// Command-line plumbing shared by the zelto commands: option values in both
// "--opt VALUE" and "--opt=VALUE" form, strict numeric parsing, and the
// entry points of the commands. Parsing errors are usage errors (exit 2).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelto {

struct PresetSources;
struct ParameterSet;
struct RenderOptions;

using Args = std::vector<std::string>;

/// The option name of an argument ("--block" from "--block=64"), or the
/// argument itself when it carries no value.
std::string optionName(const std::string& arg);

/// The value of the option at args[i], either after '=' or in the next
/// argument (then i advances). Throws a usage ToolError when missing.
std::string optionValue(const Args& args, size_t& i);

/// Integer option within [lo, hi]; throws a usage ToolError otherwise.
int64_t intOption(const std::string& option, const std::string& text, int64_t lo, int64_t hi);
double doubleOption(const std::string& option, const std::string& text);
/// A level in dB, "-1" or "-1dB"; a usage ToolError naming the form otherwise.
double dbOption(const std::string& option, const std::string& text);

/// NAME=VALUE of --set; a usage error without a name or value.
ParameterSet parseSetOption(const std::string& assignment);

/// Consumes args[i] (and its value) when it is --format, --bits, --dither or
/// --no-tags, the options of how an output file is written.
bool parseOutputOption(const Args& args, size_t& i, RenderOptions& opt);

/// Consumes args[i] (and its value) when it is --state, --bank, --preset-file or --preset.
bool parsePresetOption(const Args& args, size_t& i, PresetSources& sources);

[[noreturn]] void unknownOption(const std::string& command, const std::string& arg);

/// $ZELTO_PLUGIN if set, else the plug-in installed or built alongside zelto.
std::string defaultPluginPath();
std::string builtInPluginPath();
/// The product's version, as the build declares it ("1.0.0").
const char* zeltoVersion();

int runInfo(const Args& args);
int runRender(const Args& args);
int runMaster(const Args& args);
int runDemo(const Args& args);
int runPresets(const Args& args);
int runState(const Args& args);
int runSnapshot(const Args& args);
int runGui(const Args& args);
int runPlay(const Args& args);
void printHelp();

}  // namespace zelto
