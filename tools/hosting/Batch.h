// Several inputs in one run of `zelto render` or `zelto master`: the output
// of each is named after its input inside --out-dir. The whole list is
// checked before any audio runs, so a clash or a bad name fails at once
// instead of after half the files were written.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zelto {

struct BatchJob {
    std::string input, output;
};

/// One job per input, OUT = outDir/<file name of the input>, its extension
/// replaced by `outExt` when one is given ("flac"). Throws a usage
/// ToolError when two outputs would share a name or an output would replace
/// its own input; render's input error when an input cannot be opened.
std::vector<BatchJob> batchJobs(const std::vector<std::string>& inputs, const std::string& outDir,
                                const std::string& outExt = "");

}  // namespace zelto
