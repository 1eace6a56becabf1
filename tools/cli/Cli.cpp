// Command-line plumbing for zelto; see Cli.h.
#include "tools/cli/Cli.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "tools/audio/DeliveryTargets.h"
#include "tools/audio/StandardStreams.h"
#include "tools/cli/Grammar.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
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

namespace fs = std::filesystem;

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

std::string pluginPath(const ParsedArgs& args) {
    return args.text("--plugin").value_or(defaultPluginPath());
}

PresetSources presetSources(const ParsedArgs& args) {
    PresetSources s;
    s.state = args.text("--state").value_or("");
    s.bankFile = args.text("--bank").value_or("");
    s.presetFile = args.text("--preset-file").value_or("");
    s.preset = args.text("--preset").value_or("");
    return s;
}

ParameterSets parameterSets(const ParsedArgs& args) {
    ParameterSets sets;
    for (const auto& s : args.texts("--set")) sets.push_back(parseSetOption(s));
    return sets;
}

RenderOptions renderOptions(const ParsedArgs& args) {
    RenderOptions o;
    o.plugin = pluginPath(args);
    if (const auto b = args.integer("--block")) o.block = static_cast<int>(*b);
    o.useDouble = args.has("--double");
    o.compensate = !args.has("--no-compensate");
    o.monoDual = args.has("--mono-dual");
    o.presets = presetSources(args);
    o.sets = parameterSets(args);
    o.format = args.text("--format").value_or("");
    if (const auto bits = args.text("--bits")) {
        const std::string asFormat = *bits == "32" ? "float" : "pcm" + *bits;
        if (!o.format.empty() && o.format != asFormat) {
            throw ToolError(kExitUsage, "--bits " + *bits + " and --format " + o.format +
                                            " ask for different formats; give one of them");
        }
        o.format = asFormat;
    }
    o.dither = args.text("--dither").value_or("");
    o.keepTags = !args.has("--no-tags");
    if (const auto c = args.text("--ceiling")) o.ceilingDb = dbOption("--ceiling", *c);
    if (const auto c = args.text("--count-above")) o.countAboveDb = dbOption("--count-above", *c);
    o.allowShortInput = args.has("--allow-short-input");
    o.delivery = findDeliveryTarget(args.text("--target").value_or("streaming"));
    o.progress = !args.has("--no-progress") && !args.has("--quiet");
    return o;
}

JobPlan::JobPlan() = default;
JobPlan::~JobPlan() = default;
JobPlan::JobPlan(JobPlan&&) noexcept = default;

JobPlan planJobs(const ParsedArgs& args) {
    const std::string cmd = args.command().name;
    const auto& files = args.positional();
    const auto outDir = args.text("--out-dir");
    const auto outFormat = args.text("--out-format");
    JobPlan plan;
    plan.quiet = args.has("--quiet");
    plan.json = args.has("--json");
    if (outDir) {
        if (files.empty()) throw ToolError(kExitUsage, cmd + " --out-dir needs input files");
        for (const auto& f : files) {
            if (isStandardStream(f)) {
                throw ToolError(kExitUsage,
                                "'-' (standard input or output) cannot go with --out-dir");
            }
        }
        plan.jobs = batchJobs(files, *outDir, outFormat.value_or(""));
        plan.outDir = *outDir;
    } else {
        if (files.size() != 2) {
            throw ToolError(kExitUsage, cmd +
                                            " needs an input and an output file, or inputs and "
                                            "--out-dir DIR (see 'zelto help " +
                                            cmd + "')");
        }
        if (outFormat && !isStandardStream(files[1])) {
            throw ToolError(kExitUsage,
                            "--out-format goes with --out-dir or '-' as output; "
                            "otherwise OUT's extension picks the container");
        }
        plan.jobs.push_back({files[0], files[1]});
    }
    plan.shown = plan.jobs;

    BatchJob& first = plan.jobs.front();
    if (isStandardStream(first.output)) {
        const std::string ext = outFormat.value_or("wav");
        if (ext != "wav" && ext != "flac") {
            throw ToolError(kExitUsage, "standard output takes wav or flac, not '" + ext + "'");
        }
        refuseTerminalOutput();
        plan.stdoutFile = std::make_unique<TemporaryFile>("zelto-out", "." + ext);
        first.output = plan.stdoutFile->path();
        plan.report = stderr;
    }
    if (isStandardStream(first.input)) {
        plan.stdinFile = std::make_unique<TemporaryFile>("zelto-in");
        first.input = plan.stdinFile->path();
    }

    if (const auto plot = args.text("--plot")) {
        const bool folder = plot->back() == '/' || fs::is_directory(*plot);
        if (!folder && plan.jobs.size() > 1) {
            throw ToolError(kExitUsage,
                            "--plot with several inputs takes a folder (ending in /) for one "
                            "picture per input, not '" +
                                *plot + "'");
        }
        if (folder) plan.plotDir = *plot;
        std::set<std::string> names;
        for (const auto& job : plan.shown) {
            if (!folder) {
                plan.plots.push_back(*plot);
                continue;
            }
            const std::string stem =
                isStandardStream(job.output) ? "plot" : fs::path(job.output).stem().string();
            if (!names.insert(stem).second) {
                throw ToolError(kExitUsage, "two pictures in '" + *plot + "' would be named '" +
                                                stem + ".png'");
            }
            plan.plots.push_back((fs::path(*plot) / (stem + ".png")).string());
        }
    }
    return plan;
}

void JobPlan::prepare() {
    if (stdinFile) readStandardInput(*stdinFile);
    std::vector<std::string> folders;
    if (!outDir.empty()) folders.push_back(outDir);
    if (!plotDir.empty()) folders.push_back(plotDir);
    for (const auto& f : folders) {
        std::error_code ec;
        fs::create_directories(f, ec);
        if (ec || !fs::is_directory(f)) {
            throw ToolError(kExitOutput, "cannot make the folder '" + f + "': " +
                                             (ec ? ec.message() : "a file of that name is there"));
        }
    }
}

void JobPlan::finish(size_t k) const {
    if (k == 0 && stdoutFile) writeStandardOutput(stdoutFile->path());
}

void JobPlan::rename(size_t k, RenderReport& r) const {
    r.input = shown[k].input;
    r.output = shown[k].output;
}

void JobPlan::rethrow(const std::exception_ptr& e) const {
    try {
        std::rethrow_exception(e);
    } catch (const ToolError& t) {
        std::string m = t.what();
        auto replace = [&m](const std::unique_ptr<TemporaryFile>& f, const std::string& as) {
            if (!f) return;
            for (auto at = m.find(f->path()); at != std::string::npos; at = m.find(f->path())) {
                m.replace(at, f->path().size(), as);
            }
        };
        replace(stdinFile, "-");
        replace(stdoutFile, "-");
        throw ToolError(t.code(), m);
    }
}

std::string progressLabel(const JobPlan& plan, size_t k) {
    if (plan.jobs.size() < 2) return "";
    std::string label = "[";
    label += std::to_string(k + 1);
    label += '/';
    label += std::to_string(plan.jobs.size());
    label += "] ";
    label += fs::path(plan.shown[k].input).filename().string();
    return label;
}

int printVersions() {
    std::printf("zelto %s\n", zeltoVersion());
    std::fflush(stdout);
    const std::string path = defaultPluginPath();
    PluginHost host(path);
    const VstIntPtr vendor = host.vendorVersion();
    std::printf("plug-in %s, version %d (vendor version %lld), %s\n", host.effectName().c_str(),
                host.effect().version, static_cast<long long>(vendor), path.c_str());
    return kExitOk;
}

}  // namespace zelto
