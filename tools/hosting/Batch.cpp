// Output names for several inputs; see Batch.h.
#include "tools/hosting/Batch.h"

#include <filesystem>
#include <set>

#include "tools/audio/AudioFile.h"
#include "tools/common/ToolError.h"

namespace zelto {

namespace fs = std::filesystem;

std::vector<BatchJob> batchJobs(const std::vector<std::string>& inputs, const std::string& outDir,
                                const std::string& outExt) {
    std::vector<BatchJob> jobs;
    std::set<std::string> names;
    for (const auto& in : inputs) {
        fs::path name = fs::path(in).filename();
        if (name.empty() || name == "." || name == "..") {
            throw ToolError(kExitUsage, "'" + in + "' names no file");
        }
        if (!outExt.empty()) name.replace_extension(outExt);
        if (!names.insert(name.string()).second) {
            throw ToolError(kExitUsage, "two inputs are named '" + name.string() +
                                            "'; their outputs in '" + outDir +
                                            "' would overwrite each other");
        }
        const std::string out = (fs::path(outDir) / name).string();
        std::error_code ec;
        if (fs::equivalent(in, out, ec)) {
            throw ToolError(kExitUsage, "output '" + out +
                                            "' would replace its input; choose "
                                            "another --out-dir");
        }
        jobs.push_back({in, out});
    }
    // Every input opened once up front, with render's own checks and
    // messages: a bad file late in the list must not leave a half-done batch.
    for (const auto& job : jobs) AudioReader check(job.input);
    return jobs;
}

}  // namespace zelto
