// '-' as an input or output file: standard input and output. A render reads
// its input more than once (searches, length checks) and a WAV header is only
// right once the file is finished, so standard input is first copied to a
// temporary file and an output is written to one and copied out when
// complete. Neither side accepts a terminal: audio typed at or printed to
// one is never what was meant.
#pragma once

#include <string>

namespace zelto {

/// True for the name that means a standard stream.
inline bool isStandardStream(const std::string& path) {
    return path == "-";
}

/// A private temporary file, removed with the object (and by the signal
/// handler if the process dies). `suffix` is kept at the end of the name
/// (".wav"), so the format can be chosen by the extension.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::string& stem, const std::string& suffix = "");
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    int slot_ = -1;
};

/// Copies all of standard input into `file`. Throws ToolError(kExitInput)
/// when standard input is a terminal or cannot be read, or holds nothing.
void readStandardInput(const TemporaryFile& file);

/// Throws ToolError(kExitOutput) when standard output is a terminal.
void refuseTerminalOutput();

/// Copies the finished file to standard output. Throws ToolError(kExitOutput)
/// with the reason when it cannot (a closed pipe among them).
void writeStandardOutput(const std::string& path);

}  // namespace zelto
