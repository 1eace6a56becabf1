// zelto: the command-line VST 2.4 host. Picks the command, parses its options
// by the tables in Grammar.cpp, runs it, and turns every ToolError into one
// line on stderr and its exit code. It must never let an exception escape or
// exit 0 after a failure.
#include <cstdio>
#include <exception>
#include <string>

#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/ToolError.h"

namespace zelto {

namespace {

/// `zelto help [COMMAND]`: a word names every command it starts ("presets"
/// gives both "presets" and "presets export").
int help(const Args& topic) {
    if (topic.empty()) {
        std::fputs(overviewHelp().c_str(), stdout);
        return kExitOk;
    }
    std::string name = topic[0];
    for (size_t i = 1; i < topic.size(); ++i) name += " " + topic[i];
    std::string text;
    for (const auto& c : commandTable()) {
        const std::string cn = c.name;
        if (cn == name || cn.rfind(name + " ", 0) == 0) {
            text += (text.empty() ? "" : "\n") + commandHelp(c);
        }
    }
    if (text.empty()) {
        throw ToolError(kExitUsage, "no command '" + name + "' (see 'zelto help')");
    }
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

int run(Args args) {
    if (args.empty()) {
        std::fputs(overviewHelp().c_str(), stderr);
        return kExitUsage;
    }
    const std::string first = args.front();
    if (first == "help" || first == "--help" || first == "-h") {
        return help(Args(args.begin() + 1, args.end()));
    }
    if (first == "--version" || first == "-V" || first == "version") {
        if (args.size() > 1) throw ToolError(kExitUsage, first + " takes no arguments");
        return printVersions();
    }
    const CommandSpec* command = findCommand(args);
    if (command == nullptr) {
        throw ToolError(kExitUsage, "unknown command '" + first + "' (see 'zelto help')");
    }
    const ParsedArgs parsed = parseArgs(*command, args);
    if (parsed.helpAsked()) {
        std::fputs(commandHelp(*command).c_str(), stdout);
        return kExitOk;
    }
    return command->run(parsed);
}

}  // namespace

}  // namespace zelto

int main(int argc, char** argv) {
    using namespace zelto;
    try {
        return run(Args(argv + 1, argv + argc));
    } catch (const ToolError& e) {
        std::fprintf(stderr, "zelto: %s\n", e.what());
        return e.code();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelto: internal error: %s\n", e.what());
        return kExitFailure;
    }
}
