// Command-line plumbing shared by the zelto commands: what the parsed options
// mean for the plug-in, its state and the files of a render, and the entry
// points of the commands. The options themselves are in Grammar.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/hosting/Batch.h"
#include "tools/hosting/PresetSources.h"
#include "tools/hosting/Renderer.h"

namespace zelto {

class ParsedArgs;
class TemporaryFile;

using Args = std::vector<std::string>;

/// A level in dB, "-1" or "-1dB"; a usage ToolError naming the form otherwise.
double dbOption(const std::string& option, const std::string& text);

/// NAME=VALUE of --set; a usage error without a name or value. What VALUE
/// means depends on the parameter: it is read once the plug-in is loaded.
ParameterSet parseSetOption(const std::string& assignment);

/// --plugin, else $ZELTO_PLUGIN, else the plug-in installed or built alongside zelto.
std::string pluginPath(const ParsedArgs& args);
std::string defaultPluginPath();
std::string builtInPluginPath();
/// The product's version, as the build declares it ("1.0.0").
const char* zeltoVersion();

/// --state, --bank, --preset-file and --preset.
PresetSources presetSources(const ParsedArgs& args);
/// Every --set, in order.
ParameterSets parameterSets(const ParsedArgs& args);

/// The options render and master share, for RenderOptions.
RenderOptions renderOptions(const ParsedArgs& args);

/// What render and master write where: IN OUT or IN... --out-dir DIR, with
/// '-' for standard input or output, and a picture per job with --plot.
struct JobPlan {
    std::vector<BatchJob> jobs;      // the files the renderer opens
    std::vector<BatchJob> shown;     // the same as the user named them
    std::vector<std::string> plots;  // one per job with --plot, else empty
    std::string outDir, plotDir;     // made by prepare()
    std::unique_ptr<TemporaryFile> stdinFile, stdoutFile;
    bool quiet = false, json = false;
    FILE* report = stdout;  // stderr when the audio goes to standard output

    JobPlan();
    ~JobPlan();
    JobPlan(JobPlan&&) noexcept;
    /// Reads standard input, makes --out-dir: the last step before rendering.
    void prepare();
    /// After job k is written: sends it to standard output if so asked.
    void finish(size_t k) const;
    /// The report of job k as the user named its files.
    void rename(size_t k, RenderReport& r) const;
    /// A render error with the temporary files' names replaced by '-'.
    [[noreturn]] void rethrow(const std::exception_ptr& e) const;
};
JobPlan planJobs(const ParsedArgs& args);

/// The progress label of job k of n ("[2/5] song.wav"), "" for one job.
std::string progressLabel(const JobPlan& plan, size_t k);

int runInfo(const ParsedArgs& args);
int runRender(const ParsedArgs& args);
int runMaster(const ParsedArgs& args);
int runDemo(const ParsedArgs& args);
int runPresets(const ParsedArgs& args);
int runPresetsExport(const ParsedArgs& args);
int runState(const ParsedArgs& args);
int runSnapshot(const ParsedArgs& args);
int runGui(const ParsedArgs& args);
int runPlay(const ParsedArgs& args);

/// `zelto --version`: zelto's version and the loaded plug-in's.
int printVersions();

}  // namespace zelto
