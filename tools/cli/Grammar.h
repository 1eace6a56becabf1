// The command line of zelto in one place: every option once, with the kind
// and range of its value and its help text, and every command with the
// options it takes. The parser and the help are both made from these tables,
// so an option reads, checks and explains its value the same way on every
// command that has it. Adding an option is one entry in kOptions and its name
// in the commands that take it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zelto {

enum class ValueKind {
    Flag,     // no value
    Text,     // any non-empty text (a path, a name)
    Integer,  // a whole number within [lo, hi]
    Number,   // a number within [lo, hi]
    Choice,   // one of the words in `choices`, separated by '|'
};

struct OptionSpec {
    const char* name;       // "--block"
    const char* shortName;  // "-q", or "" for none
    const char* value;      // how help shows the value ("N"); "" for a flag
    ValueKind kind;
    double lo, hi;        // Integer and Number
    const char* choices;  // Choice: "float|pcm16|pcm24"
    bool repeatable;      // every occurrence kept (--set); else a second one is an error
    const char* help;     // lines separated by '\n', wrapped by the help printer
};

class ParsedArgs;

struct CommandSpec {
    const char* name;     // "render", "presets export"
    const char* usage;    // usage lines, '\n'-separated, each without the "zelto " in front
    const char* brief;    // one line for the overview
    const char* summary;  // what it does, '\n'-separated lines
    std::vector<const char*> options;
    int (*run)(const ParsedArgs& args);
    int maxPositional;  // -1: any number
};

/// Every option zelto knows, and every command.
const std::vector<OptionSpec>& optionTable();
const std::vector<CommandSpec>& commandTable();
const OptionSpec& findOption(const std::string& name);
/// The command named by argv[1] (and argv[2] for "presets export", "state
/// save"); consumes what it used from `args`. nullptr when unknown.
const CommandSpec* findCommand(std::vector<std::string>& args);

/// What the parser found: the options by long name, checked against their
/// kind, and the other arguments in order ("-" among them for a standard
/// stream).
class ParsedArgs {
  public:
    const CommandSpec& command() const { return *command_; }
    bool has(const std::string& option) const;
    /// The value of an option given once; nullopt when absent.
    std::optional<std::string> text(const std::string& option) const;
    /// Every value of a repeatable option, in order.
    std::vector<std::string> texts(const std::string& option) const;
    std::optional<int64_t> integer(const std::string& option) const;
    std::optional<double> number(const std::string& option) const;
    const std::vector<std::string>& positional() const { return positional_; }
    /// Whether help was asked for (-h, --help) instead of a run.
    bool helpAsked() const { return help_; }

  private:
    friend ParsedArgs parseArgs(const CommandSpec&, const std::vector<std::string>&);
    const CommandSpec* command_ = nullptr;
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> positional_;
    bool help_ = false;
};

/// Parses the arguments after the command's name. Throws a usage ToolError
/// naming the option and what it accepts.
ParsedArgs parseArgs(const CommandSpec& command, const std::vector<std::string>& args);

/// The help of one command, made from the tables.
std::string commandHelp(const CommandSpec& command);
/// The overview: every command's usage and summary line, the exit codes.
std::string overviewHelp();

}  // namespace zelto
