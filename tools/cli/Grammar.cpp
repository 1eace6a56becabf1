// The option and command tables of zelto, their parser and their help; see
// Grammar.h.
#include "tools/cli/Grammar.h"

#include <algorithm>
#include <cmath>

#include "tools/cli/Cli.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"

namespace zelto {

namespace {

constexpr double kNoLimit = 1e300;

// clang-format off
const std::vector<OptionSpec> kOptions = {
    {"--plugin", "", "PATH", ValueKind::Text, 0, 0, "", false,
     "the plug-in to load (default: $ZELTO_PLUGIN, else the one\n"
     "installed or built with zelto)"},
    {"--block", "", "N", ValueKind::Integer, 1, 65536, "", false,
     "host block size in frames, 1 to 65536 (default 512; play 256)"},
    {"--double", "", "", ValueKind::Flag, 0, 0, "", false,
     "process in double precision"},
    {"--no-compensate", "", "", ValueKind::Flag, 0, 0, "", false,
     "keep the plug-in's latency in the output (default: drop it,\n"
     "so the output lines up with the input)"},
    {"--mono-dual", "", "", ValueKind::Flag, 0, 0, "", false,
     "feed a mono file to both inputs (for plug-ins that need every\n"
     "pin connected); by default the second pins are not connected"},
    {"--set", "", "NAME=VALUE", ValueKind::Text, 0, 0, "", true,
     "set a parameter by name (any case) or index, after any preset,\n"
     "bank or state; repeatable. VALUE as the plug-in shows it: a\n"
     "number with its unit (Drive=+6dB, Output=-1dB, Release=150ms,\n"
     "Transient=20%, Leveller=off) or a step's text (Oversample=on,\n"
     "TransShape=soft, Scale=K-14, Bits=16); a bare number from 0 to 1\n"
     "is the normalised value, as before. Other plug-ins take 0..1 only"},
    {"--preset", "", "NAME|N", ValueKind::Text, 0, 0, "", false,
     "start from this preset of the plug-in's bank"},
    {"--preset-file", "", "F.krw", ValueKind::Text, 0, 0, "", false,
     "load a preset file into the current preset"},
    {"--bank", "", "F.krb", ValueKind::Text, 0, 0, "", false,
     "load a bank file"},
    {"--state", "", "F", ValueKind::Text, 0, 0, "", false,
     "load a saved host state (as 'zelto state save' writes);\n"
     "loaded in the order state, bank, preset file, preset"},
    {"--format", "", "F", ValueKind::Choice, 0, 0, "float|pcm16|pcm24", false,
     "sample format of the output: float, pcm16 or pcm24 (default:\n"
     "the input's; FLAC, which has no float, gets pcm24)"},
    {"--bits", "", "N", ValueKind::Choice, 0, 0, "16|24|32", false,
     "16, 24 or 32 (float): the same as --format"},
    {"--dither", "", "D", ValueKind::Choice, 0, 0, "none|tpdf", false,
     "none or tpdf (default tpdf where a PCM output has fewer bits than\n"
     "the plug-in's result, unless the plug-in's own Quantize is on at\n"
     "that word length or fewer bits); PCM is clipped to +-1"},
    {"--no-tags", "", "", ValueKind::Flag, 0, 0, "", false,
     "leave out the input's title, artist, album, date, comment,\n"
     "track, software and BWF fields (copied by default where the\n"
     "output's container holds them)"},
    {"--ceiling", "", "DB", ValueKind::Text, 0, 0, "", false,
     "set the limiter's Output (its ceiling), -12.04 to 0 dB (-1 or\n"
     "-1dB), and count the samples above it"},
    {"--count-above", "", "DB", ValueKind::Text, 0, 0, "", false,
     "level the report counts samples above (default: the ceiling,\n"
     "else 0 dBFS)"},
    {"--allow-short-input", "", "", ValueKind::Flag, 0, 0, "", false,
     "render a truncated input (one that ends before its header\n"
     "says) instead of refusing it; the report says so"},
    {"--no-progress", "", "", ValueKind::Flag, 0, 0, "", false,
     "no progress bar (one is drawn on stderr when it is a terminal\n"
     "and a file is longer than 10 s)"},
    {"--quiet", "-q", "", ValueKind::Flag, 0, 0, "", false,
     "print no report and no progress, only errors and warnings\n"
     "(and the JSON when --json asks for it)"},
    {"--json", "", "", ValueKind::Flag, 0, 0, "", false,
     "print the report as JSON (a level of -inf, or one too large to\n"
     "measure, is null there)"},
    {"--plot", "", "FILE.png|DIR/", ValueKind::Text, 0, 0, "", false,
     "also draw each file as a picture: input and output peaks, the\n"
     "largest true peaks, gain reduction, loudness; with several\n"
     "inputs a folder (ending in /), one NAME.png per input"},
    {"--out-dir", "", "DIR", ValueKind::Text, 0, 0, "", false,
     "write each output into DIR (made if missing) under its input's\n"
     "name; takes several inputs"},
    {"--out-format", "", "EXT", ValueKind::Choice, 0, 0, "wav|flac|aif|aiff", false,
     "container of the outputs of --out-dir, or of '-' as output:\n"
     "wav, flac, aif or aiff (default: the input's extension; wav\n"
     "for '-')"},
    {"--lufs", "", "L", ValueKind::Number, -70, 20, "", false,
     "integrated loudness to reach, -70 to 20 LUFS (or --target)"},
    {"--target", "", "NAME", ValueKind::Choice, 0, 0, "streaming|apple|ebu-r128|atsc-a85", false,
     "a delivery target: streaming (-14 LUFS, -1 dBTP), apple (-16, -1),\n"
     "ebu-r128 (-23, -1) or atsc-a85 (-24, -2). render: what the last\n"
     "line of the report judges the output against (default\n"
     "streaming); master: both levels to reach, each unless given on its\n"
     "own"},
    {"--jobs", "-j", "N", ValueKind::Integer, 1, 256, "", false,
     "with several inputs: master N at once, each with its own plug-in\n"
     "(default: one per core); the files and the printed reports are as\n"
     "with -j 1"},
    {"--true-peak", "", "T", ValueKind::Number, -20, 0, "", false,
     "highest true peak, -20 to 0 dBTP (default -1)"},
    {"--max-reduction", "", "DB", ValueKind::Number, 0, 100, "", false,
     "refuse (exit 13) rather than limit more than DB, 0 to 100"},
    {"--save-preset", "", "F.krw", ValueKind::Text, 0, 0, "", false,
     "also write the found settings as a preset file"},
    {"--album", "", "", ValueKind::Flag, 0, 0, "", false,
     "with several inputs: the loudest meets the target and the\n"
     "others keep their distance in loudness from it"},
    {"--seconds", "", "S", ValueKind::Number, 0, kNoLimit, "", false,
     "stop after S seconds, 0 or more (default: when closed)"},
    {"--cycles", "", "N", ValueKind::Integer, 1, 10000, "", false,
     "open and close the editor N times within --seconds, 1 to 10000"},
    {"--log-automation", "", "", ValueKind::Flag, 0, 0, "", false,
     "print every parameter change and edit gesture the editor sends\n"
     "(index, value, name, display text)"},
    {"--dialog-answer", "", "PATH", ValueKind::Text, 0, 0, "", false,
     "every file dialog of the editor chooses PATH at once"},
    {"--loop", "", "", ValueKind::Flag, 0, 0, "", false,
     "start again at the end of the file"},
    {"--no-device", "", "", ValueKind::Flag, 0, 0, "", false,
     "pace playback with the clock instead of a sound device"},
    {"--snapshot", "", "F.png", ValueKind::Text, 0, 0, "", false,
     "write the window as it looks at the end"},
    {"--out", "", "FILE.png", ValueKind::Text, 0, 0, "", false,
     "the picture to write (required)"},
    {"--input", "", "FILE", ValueKind::Text, 0, 0, "", false,
     "run this file through the plug-in first (with --at)"},
    {"--at", "", "SECONDS", ValueKind::Number, 0, kNoLimit, "", false,
     "the moment of --input to show, from 0 to the file's length in\n"
     "seconds (a time past its end is an error naming the length)"},
};

const std::vector<const char*> kStateOptions = {"--state", "--bank", "--preset-file", "--preset"};

std::vector<const char*> with(std::vector<const char*> a, const std::vector<const char*>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<const char*> kRenderOptions = with(
    {"--plugin", "--block", "--double", "--no-compensate", "--mono-dual", "--set"},
    with(kStateOptions, {"--format", "--bits", "--dither", "--no-tags", "--allow-short-input", "--out-dir", "--out-format", "--plot",
                         "--no-progress", "--quiet", "--json"}));

const std::vector<CommandSpec> kCommands = {
    {"info", "info [PLUGIN.so] [--plugin PATH] [--json]",
     "the plug-in's record, texts, parameters and latency",
     "Load the plug-in as a DAW does and print its record (magic, flags,\n"
     "pins, unique ID, initial delay, version), its effect, vendor and\n"
     "product strings, VST version, category, every parameter (index,\n"
     "name, label, display text, value) and the latency it reports at\n"
     "44100, 96000 and 192000 Hz.",
     {"--plugin", "--json"}, runInfo, 1},
    {"render", "render IN OUT [options]\nrender IN... --out-dir DIR [options]",
     "run audio files through the plug-in and report levels and speed",
     "Run an audio file (WAV, FLAC, AIFF, MP3 or Ogg; mono or stereo)\n"
     "through the plug-in and write OUT, its container chosen by the\n"
     "extension (.wav, .flac, .aif, .aiff). '-' as IN reads standard input,\n"
     "as OUT writes standard output (WAV or FLAC; the report then goes to\n"
     "stderr). OUT appears only when complete. Prints a report: sample peak, true\n"
     "peak by an accurate 32x-oversampling meter and by the BS.1770 one,\n"
     "integrated loudness, loudness range, maximum momentary and\n"
     "short-term loudness, peak-to-loudness ratio, samples above the\n"
     "ceiling, latency, the speed of the plug-in's process calls, and a\n"
     "last line saying whether the output meets a delivery target. A mono\n"
     "file is offered as one input and one output.",
     with(kRenderOptions, {"--ceiling", "--count-above", "--target"}), runRender, -1},
    {"master", "master IN OUT --lufs L [options]\nmaster IN... --out-dir DIR --lufs L [--album] "
               "[options]",
     "find the settings that reach a loudness under a true-peak ceiling",
     "Find the \"Drive\" (and where needed a lower \"Output\") that brings\n"
     "the file to an integrated loudness of L LUFS (within 0.1 LU) with a\n"
     "true peak at or below the --true-peak target, by rendering it\n"
     "through the plug-in (two renders at a time), then write OUT with\n"
     "those settings. Prints one line per search render and the render\n"
     "report. Nothing is written when the target cannot be met. The true\n"
     "peak holds by the accurate meter and the BS.1770 one alike. IN, OUT\n"
     "and the options that render has work as they do there.",
     with(kRenderOptions,
          {"--lufs", "--target", "--true-peak", "--max-reduction", "--save-preset", "--album",
           "--jobs"}),
     runMaster, -1},
    {"demo", "demo [--out-dir DIR] [options]",
     "write and render a built-in 30 s programme",
     "Write a 30 s built-in programme (drums, bass, chords and bursts\n"
     "whose true peak lies above their sample peak; sample peak +6 dBFS)\n"
     "as DIR/demo-in.wav, render it with the default program to\n"
     "demo-out.wav and with \"Oversample\" on to demo-out-oversample.wav,\n"
     "and print both reports. DIR (default: the current folder) is made\n"
     "if missing.",
     {"--out-dir", "--plugin", "--block", "--no-progress", "--quiet", "--json"}, runDemo, 0},
    {"presets", "presets [--json] [--state F] [--bank F] [--preset-file F]",
     "list the plug-in's 24 presets",
     "List the plug-in's 24 presets (the bank it keeps of its own; hosts\n"
     "see one program); '*' marks the current one.",
     {"--plugin", "--json", "--state", "--bank", "--preset-file"}, runPresets, 0},
    {"presets export", "presets export [--preset NAME|N] FILE.krw\npresets export FILE.krb",
     "write a preset or the bank as a file",
     "Write a preset (FILE.krw: the current one, or --preset's) or the\n"
     "whole bank (FILE.krb) with the plug-in's own file writer, after\n"
     "loading any --state, --bank or --preset-file given. The older form\n"
     "'presets export --bank FILE.krb' (no other file) still writes the\n"
     "bank to FILE.krb.",
     with({"--plugin", "--set"}, kStateOptions), runPresetsExport, 1},
    {"state save", "state save FILE [--state F] [--bank F] [--preset-file F] [--preset P]",
     "write the state chunk a host keeps in a project",
     "Write the plug-in's state chunk, as a host stores it in a project.",
     with({"--plugin"}, kStateOptions), runState, 1},
    {"snapshot", "snapshot --out FILE.png [--input FILE --at SECONDS] [options]",
     "draw the editor offscreen into a PNG",
     "Draw the plug-in's editor offscreen (no X server needed) after the\n"
     "same state options as render, and write it as a PNG. With --input,\n"
     "the file first runs through the plug-in up to SECONDS while the\n"
     "editor's meters follow it, so the picture shows that moment.",
     with({"--out", "--input", "--at", "--plugin", "--set"}, kStateOptions), runSnapshot, 0},
    {"gui", "gui [options]",
     "show the editor in a window",
     "Show the editor in a window of its own (needs an X display) and\n"
     "idle it every 30 ms until the window is closed or --seconds pass.",
     with({"--plugin", "--seconds", "--cycles", "--log-automation", "--dialog-answer", "--set"},
          kStateOptions),
     runGui, 0},
    {"play", "play IN [options]",
     "play a file through the plug-in with the editor showing",
     "Play a file through the plug-in in real time on an audio thread\n"
     "while the editor shows in a window: the meters move and the controls\n"
     "act on the sound. Plays to the default sound device (ALSA) when there\n"
     "is one, else paces itself with the clock and says so. Stops at the\n"
     "end of the file (--loop: never), after --seconds, on Ctrl-C or when\n"
     "the window is closed. '-' as IN reads standard input.",
     with({"--plugin", "--block", "--seconds", "--loop", "--no-device", "--log-automation",
           "--snapshot", "--set"},
          kStateOptions),
     runPlay, 1},
};
// clang-format on

std::string joinChoices(const char* choices) {
    std::string s = choices;
    const auto last = s.rfind('|');
    std::string out;
    size_t start = 0;
    for (size_t bar = s.find('|'); bar != std::string::npos; bar = s.find('|', start)) {
        out += (out.empty() ? "" : ", ") + s.substr(start, bar - start);
        start = bar + 1;
    }
    return last == std::string::npos ? s : out + " or " + s.substr(start);
}

bool isChoice(const char* choices, const std::string& v) {
    const std::string s = std::string("|") + choices + "|";
    return !v.empty() && v.find('|') == std::string::npos && s.find("|" + v + "|") != s.npos;
}

std::string numberText(double v) {
    return formatFixed(v, std::floor(v) == v ? 0 : 1);
}

/// Checks one value against its option; the message names what is accepted.
void checkValue(const OptionSpec& o, const std::string& v) {
    const std::string n = o.name;
    switch (o.kind) {
        case ValueKind::Flag:
            return;
        case ValueKind::Text:
            if (v.empty()) throw ToolError(kExitUsage, n + " needs a value (" + o.value + ")");
            return;
        case ValueKind::Choice:
            if (!isChoice(o.choices, v)) {
                throw ToolError(kExitUsage,
                                n + " takes " + joinChoices(o.choices) + ", not '" + v + "'");
            }
            return;
        case ValueKind::Integer: {
            const auto x = parseInt(v);
            if (!x || static_cast<double>(*x) < o.lo || static_cast<double>(*x) > o.hi) {
                throw ToolError(kExitUsage, n + " takes a whole number from " + numberText(o.lo) +
                                                " to " + numberText(o.hi) + ", not '" + v + "'");
            }
            return;
        }
        case ValueKind::Number: {
            const auto x = parseDouble(v);
            std::string range = "a number";
            if (o.lo > -kNoLimit && o.hi < kNoLimit) {
                range += " from " + numberText(o.lo) + " to " + numberText(o.hi);
            } else if (o.lo > -kNoLimit) {
                range += " of " + numberText(o.lo) + " or more";
            }
            if (!x || !std::isfinite(*x) || *x < o.lo || *x > o.hi) {
                throw ToolError(kExitUsage, n + " takes " + range + ", not '" + v + "'");
            }
            return;
        }
    }
}

bool takes(const CommandSpec& c, const std::string& option) {
    return std::any_of(c.options.begin(), c.options.end(),
                       [&](const char* o) { return option == o; });
}

/// The words of `text` ('\n' counts as a space) in lines of at most `width`.
std::vector<std::string> wrap(const std::string& text, size_t width) {
    std::vector<std::string> out;
    std::string line, word;
    auto flush = [&] {
        if (word.empty()) return;
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        word.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == '\n') {
            flush();
        } else {
            word += c;
        }
    }
    flush();
    if (!line.empty()) out.push_back(line);
    return out;
}

/// Lays out "  --name VALUE   help" with the help wrapped in its column.
std::string optionLines(const OptionSpec& o) {
    constexpr size_t kColumn = 26, kWidth = 79;
    std::string head = "  ";
    if (*o.shortName) head += std::string(o.shortName) + ", ";
    head += o.name;
    if (*o.value) head += std::string(" ") + o.value;
    std::string out = head;
    size_t at = head.size();
    if (at + 1 >= kColumn) {
        out += "\n";
        at = 0;
    }
    for (const auto& line : wrap(o.help, kWidth - kColumn)) {
        out += std::string(kColumn - at, ' ') + line + "\n";
        at = 0;
    }
    return out;
}

std::string indented(const char* text, const char* prefix) {
    std::string out;
    std::string s = text;
    size_t start = 0;
    while (start <= s.size()) {
        const size_t end = std::min(s.find('\n', start), s.size());
        out += prefix + s.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return out;
}

}  // namespace

const std::vector<OptionSpec>& optionTable() {
    return kOptions;
}

const std::vector<CommandSpec>& commandTable() {
    return kCommands;
}

const OptionSpec& findOption(const std::string& name) {
    for (const auto& o : kOptions) {
        if (name == o.name || (*o.shortName && name == o.shortName)) return o;
    }
    throw ToolError(kExitFailure, "no option " + name + " in the table");
}

const CommandSpec* findCommand(std::vector<std::string>& args) {
    if (args.empty()) return nullptr;
    std::string name = args[0];
    if ((name == "presets" || name == "state") && args.size() > 1) {
        const std::string two = name + " " + args[1];
        for (const auto& c : kCommands) {
            if (two == c.name) {
                args.erase(args.begin(), args.begin() + 2);
                return &c;
            }
        }
    }
    for (const auto& c : kCommands) {
        // "state" alone is no command: it only saves.
        if (name == c.name && name != "state") {
            args.erase(args.begin());
            return &c;
        }
    }
    return nullptr;
}

bool ParsedArgs::has(const std::string& option) const {
    return values_.count(option) != 0;
}

std::optional<std::string> ParsedArgs::text(const std::string& option) const {
    const auto it = values_.find(option);
    if (it == values_.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> ParsedArgs::texts(const std::string& option) const {
    const auto it = values_.find(option);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

std::optional<int64_t> ParsedArgs::integer(const std::string& option) const {
    const auto t = text(option);
    if (!t) return std::nullopt;
    return parseInt(*t);
}

std::optional<double> ParsedArgs::number(const std::string& option) const {
    const auto t = text(option);
    if (!t) return std::nullopt;
    return parseDouble(*t);
}

ParsedArgs parseArgs(const CommandSpec& command, const std::vector<std::string>& args) {
    ParsedArgs p;
    p.command_ = &command;
    const std::string where = command.name;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg == "-" || arg.empty() || arg[0] != '-') {
            p.positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            p.help_ = true;
            continue;
        }
        const auto eq = arg.find('=');
        const bool inline_ = arg.rfind("--", 0) == 0 && eq != std::string::npos;
        const std::string name = inline_ ? arg.substr(0, eq) : arg;
        const OptionSpec* spec = nullptr;
        for (const auto& o : kOptions) {
            if (name == o.name || (*o.shortName && name == o.shortName)) spec = &o;
        }
        if (spec == nullptr || !takes(command, spec->name)) {
            throw ToolError(kExitUsage, where + ": " + (spec ? "no option " : "unknown option ") +
                                            "'" + name + "' (see 'zelto help " + where + "')");
        }
        std::string value;
        if (spec->kind == ValueKind::Flag) {
            if (inline_) throw ToolError(kExitUsage, name + " takes no value");
        } else if (inline_) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw ToolError(kExitUsage, name + " needs a value (" + spec->value + ")");
        }
        checkValue(*spec, value);
        auto& kept = p.values_[spec->name];
        if (!kept.empty() && !spec->repeatable) {
            throw ToolError(kExitUsage, std::string(spec->name) + " is given twice");
        }
        kept.push_back(value);
    }
    if (!p.help_ && command.maxPositional >= 0 &&
        p.positional_.size() > static_cast<size_t>(command.maxPositional)) {
        throw ToolError(kExitUsage, where + ": unexpected argument '" +
                                        p.positional_[static_cast<size_t>(command.maxPositional)] +
                                        "' (see 'zelto help " + where + "')");
    }
    return p;
}

std::string commandHelp(const CommandSpec& c) {
    std::string out = "Usage:\n" + indented(c.usage, "  zelto ") + "\n" + indented(c.summary, "");
    if (!c.options.empty()) {
        out += "\nOptions:\n";
        for (const char* name : c.options) out += optionLines(findOption(name));
        out += "  -h, --help              this help\n";
    }
    return out;
}

std::string overviewHelp() {
    std::string out = "zelto " + std::string(zeltoVersion()) +
                      " - command-line VST 2.4 host for the KRW Zelto limiter\n\nCommands:\n";
    for (const auto& c : kCommands) {
        out += indented(c.usage, "  zelto ");
        out += indented(c.brief, "      ");
    }
    out +=
        "  zelto help [COMMAND] | COMMAND --help | COMMAND -h\n"
        "      this overview, or one command's options\n"
        "  zelto --version | -V\n"
        "      the versions of zelto and of the plug-in it loads\n"
        "\n"
        "The plug-in defaults to $ZELTO_PLUGIN if set, else the KRWZelto.so built\n"
        "or installed with this program:\n  " +
        builtInPluginPath() +
        "\n\n"
        "Exit codes:\n"
        "  0    success\n"
        "  1    processing failed or the plug-in misbehaved\n"
        "  2    bad command line (unknown command or option, bad value, unknown parameter)\n"
        "  3    plug-in file missing or not loadable\n"
        "  4    the library exports no VST entry point (VSTPluginMain or main)\n"
        "  5    the entry point returned no effect\n"
        "  6    the returned record is not a VST effect (wrong magic)\n"
        "  7    the plug-in cannot do what was asked\n"
        "  8    input file missing, unreadable or unsupported\n"
        "  9    output file cannot be written\n"
        "  10   feature not available yet\n"
        "  11   the plug-in rejected a preset, bank or state file (nothing changed)\n"
        "  12   master: no setting of the plug-in meets the loudness and true-peak target\n"
        "  13   master: the target needs more gain reduction than --max-reduction\n"
        "  130  interrupted\n";
    return out;
}

}  // namespace zelto
