// Exit codes of zelto and the one error type its commands throw. Every failure
// a user can cause must end up here with a message that says what to do; the
// codes are documented in `zelto --help` and scripts rely on them, so never
// renumber one.
#pragma once

#include <stdexcept>
#include <string>

namespace zelto {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,             // processing failed or the plug-in misbehaved
    kExitUsage = 2,               // bad command line
    kExitPluginMissing = 3,       // plug-in file missing or not loadable
    kExitNoEntry = 4,             // library exports no VST entry point
    kExitNoEffect = 5,            // entry point returned no effect
    kExitBadMagic = 6,            // the returned record is not a VST effect
    kExitUnsupported = 7,         // the plug-in cannot do what was asked
    kExitInput = 8,               // input file missing, unreadable or unsupported
    kExitOutput = 9,              // output cannot be written
    kExitNotAvailable = 10,       // feature not available in this build
    kExitRejected = 11,           // the plug-in rejected a preset, bank or state file
    kExitTargetUnreachable = 12,  // `master`: no setting meets the loudness and peak target
    kExitTooMuchReduction = 13,   // `master`: the target needs more than --max-reduction
    kExitInterrupted = 130,       // stopped by SIGINT/SIGTERM
};

class ToolError : public std::runtime_error {
  public:
    ToolError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

}  // namespace zelto
