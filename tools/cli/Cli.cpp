// Command-line plumbing for zelto; see Cli.h.
#include "tools/cli/Cli.h"

#include <unistd.h>

#include <cstdlib>

#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PresetSources.h"
#include "tools/hosting/Renderer.h"

#ifndef ZELTO_DEFAULT_PLUGIN
#define ZELTO_DEFAULT_PLUGIN "KRWZelto.so"
#endif
#ifndef ZELTO_INSTALLED_PLUGIN
#define ZELTO_INSTALLED_PLUGIN "lib/vst/KRWZelto.so"
#endif
#ifndef ZELTO_VERSION
#define ZELTO_VERSION "unknown"
#endif

namespace zelto {

std::string optionName(const std::string& arg) {
    const auto eq = arg.find('=');
    return arg.rfind("--", 0) == 0 && eq != std::string::npos ? arg.substr(0, eq) : arg;
}

std::string optionValue(const Args& args, size_t& i) {
    const std::string& arg = args[i];
    const auto eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) return arg.substr(eq + 1);
    if (i + 1 >= args.size()) throw ToolError(kExitUsage, "option " + arg + " needs a value");
    return args[++i];
}

int64_t intOption(const std::string& option, const std::string& text, int64_t lo, int64_t hi) {
    const auto v = parseInt(text);
    if (!v || *v < lo || *v > hi) {
        throw ToolError(kExitUsage, option + " takes a whole number from " + std::to_string(lo) +
                                        " to " + std::to_string(hi) + ", not '" + text + "'");
    }
    return *v;
}

double doubleOption(const std::string& option, const std::string& text) {
    const auto v = parseDouble(text);
    if (!v) throw ToolError(kExitUsage, option + " takes a number, not '" + text + "'");
    return *v;
}

double dbOption(const std::string& option, const std::string& text) {
    std::string number = trim(text);
    if (number.size() > 2 && toLower(number.substr(number.size() - 2)) == "db") {
        number = trim(number.substr(0, number.size() - 2));
    }
    const auto v = parseDouble(number);
    if (!v) {
        throw ToolError(kExitUsage,
                        option + " takes a level in dB (as -1 or -1dB), not '" + text + "'");
    }
    return *v;
}

void unknownOption(const std::string& command, const std::string& arg) {
    throw ToolError(kExitUsage, "zelto " + command + ": unknown option or extra argument '" + arg +
                                    "' (see 'zelto help')");
}

std::string defaultPluginPath() {
    if (const char* env = std::getenv("ZELTO_PLUGIN"); env != nullptr && *env != '\0') return env;
    return builtInPluginPath();
}

std::string builtInPluginPath() {
    // Installed as <prefix>/bin/zelto, the plug-in is <prefix>/lib/vst/KRWZelto.so;
    // the build tree has no such neighbour and uses the plug-in built with it.
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, static_cast<size_t>(n));
        dir.erase(dir.find_last_of('/') + 1);
        const std::string installed = dir + "../" + ZELTO_INSTALLED_PLUGIN;
        if (::access(installed.c_str(), F_OK) == 0) {
            // Shown in help and reports: say <prefix>/lib/vst, not bin/../lib/vst.
            const std::string bin = "bin/";
            if (dir.size() >= bin.size() &&
                dir.compare(dir.size() - bin.size(), bin.size(), bin) == 0) {
                return dir.substr(0, dir.size() - bin.size()) + ZELTO_INSTALLED_PLUGIN;
            }
            return installed;
        }
    }
    return ZELTO_DEFAULT_PLUGIN;
}

const char* zeltoVersion() {
    return ZELTO_VERSION;
}

ParameterSet parseSetOption(const std::string& assignment) {
    const auto eq = assignment.rfind('=');
    if (eq == std::string::npos || eq == 0 || trim(assignment.substr(eq + 1)).empty()) {
        throw ToolError(kExitUsage, "--set takes NAME=VALUE, not '" + assignment + "'");
    }
    // The value is read once the plug-in is loaded: what it means depends
    // on the parameter.
    return {assignment.substr(0, eq), assignment.substr(eq + 1)};
}

bool parseOutputOption(const Args& args, size_t& i, RenderOptions& opt) {
    const std::string name = optionName(args[i]);
    if (name == "--format") {
        opt.format = optionValue(args, i);
        if (opt.format != "float" && opt.format != "pcm16" && opt.format != "pcm24") {
            throw ToolError(kExitUsage,
                            "--format takes float, pcm16 or pcm24, not '" + opt.format + "'");
        }
    } else if (name == "--bits") {
        const std::string bits = optionValue(args, i);
        if (bits == "16" || bits == "24") {
            opt.format = "pcm" + bits;
        } else if (bits == "32") {
            opt.format = "float";
        } else {
            throw ToolError(kExitUsage,
                            "--bits takes 16, 24 or 32 (32-bit float), not '" + bits + "'");
        }
    } else if (name == "--dither") {
        opt.dither = optionValue(args, i);
        if (opt.dither != "none" && opt.dither != "tpdf") {
            throw ToolError(kExitUsage, "--dither takes none or tpdf, not '" + opt.dither + "'");
        }
    } else if (name == "--no-tags") {
        opt.keepTags = false;
    } else {
        return false;
    }
    return true;
}

bool parsePresetOption(const Args& args, size_t& i, PresetSources& sources) {
    const std::string name = optionName(args[i]);
    std::string* target = nullptr;
    if (name == "--state") target = &sources.state;
    if (name == "--bank") target = &sources.bankFile;
    if (name == "--preset-file") target = &sources.presetFile;
    if (name == "--preset") target = &sources.preset;
    if (target == nullptr) return false;
    *target = optionValue(args, i);
    if (target->empty()) throw ToolError(kExitUsage, name + " needs a value");
    return true;
}

}  // namespace zelto
