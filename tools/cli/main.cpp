// zelto: the command-line VST 2.4 host. Picks the command, runs it, and turns
// every ToolError into one line on stderr and its exit code. It must never
// let an exception escape or exit 0 after a failure.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "tools/cli/Cli.h"
#include "tools/common/ToolError.h"

namespace zelto {

void printHelp() {
    std::fputs(
        "zelto - command-line VST 2.4 host for the KRW Zelto limiter\n"
        "\n"
        "Usage:\n"
        "  zelto info [PLUGIN.so] [--json]\n"
        "      Load the plug-in as a DAW does and print its record (magic, flags,\n"
        "      pins, unique ID, initial delay, version), its effect, vendor and\n"
        "      product strings, VST version, category, every parameter (index,\n"
        "      name, label, display text, value) and the latency it reports at\n"
        "      44100, 96000 and 192000 Hz. --json prints the same as JSON.\n"
        "\n"
        "  zelto render IN OUT [options]\n"
        "  zelto render IN... --out-dir DIR [options]\n"
        "      Run an audio file (WAV, FLAC or AIFF; mono or stereo) through the\n"
        "      plug-in and write OUT, its format chosen by the extension (.wav,\n"
        "      .flac, .aif, .aiff). OUT appears only when complete. Prints a report:\n"
        "      sample peak, true peak (by an accurate 32x-oversampling meter and\n"
        "      by the BS.1770 one), integrated loudness, loudness range, maximum\n"
        "      momentary and short-term loudness, peak-to-loudness ratio,\n"
        "      samples above the ceiling, latency, the speed of the plug-in's\n"
        "      process calls, and a last line saying whether the output meets a\n"
        "      delivery target.\n"
        "      A mono file is offered as one input and one output: the second\n"
        "      pins get null buffers and are reported as not connected.\n"
        "        --plugin PATH      the plug-in to load\n"
        "        --block N          host block size, 1..65536 (default 512)\n"
        "        --double           process in double precision\n"
        "        --no-compensate    keep the plug-in's latency in the output\n"
        "                           (default: drop it, so OUT lines up with IN)\n"
        "        --set NAME=VALUE   set a parameter by name (case-insensitive) or\n"
        "                           index to a normalised value 0..1; repeatable\n"
        "        --preset NAME|N    start from this preset of the plug-in's bank\n"
        "        --preset-file F    load a preset file (.krw) into the current preset\n"
        "        --bank F           load a bank file (.krb)\n"
        "        --state F          load a saved host state (as 'zelto state save' writes)\n"
        "                           Loaded in the order state, bank, preset file,\n"
        "                           preset; --set values come after them.\n"
        "        --format F         float, pcm16 or pcm24 (default float; pcm24 for\n"
        "                           FLAC). PCM is clipped to +-1, not dithered.\n"
        "        --ceiling DB       level for \"samples above ceiling\" (default 0)\n"
        "        --target NAME      the delivery target of the last line: streaming\n"
        "                           (-14 LUFS, -1 dBTP; the default), apple (-16, -1),\n"
        "                           ebu-r128 (-23, -1) or atsc-a85 (-24, -2)\n"
        "        --mono-dual        feed a mono file to both inputs instead (for\n"
        "                           plug-ins that need every pin connected)\n"
        "        --allow-short-input  render a truncated input (one that ends\n"
        "                           before its header says) instead of refusing\n"
        "                           it; the report says so\n"
        "        --no-progress      no progress bar on a terminal\n"
        "        --plot FILE.png    also draw the whole file as a picture: input and\n"
        "                           output peaks, the largest true peaks, gain\n"
        "                           reduction, short-term and integrated loudness\n"
        "        --out-dir DIR      several inputs: each written to DIR under its name\n"
        "        --json             the report as JSON (a level of -inf, as of\n"
        "                           silence, or one too large to measure, is\n"
        "                           null there)\n"
        "\n"
        "  zelto master IN OUT --lufs L [options]\n"
        "  zelto master IN... --out-dir DIR --lufs L [--album] [options]\n"
        "      Find the \"Drive\" (and where needed a lower \"Output\") that brings\n"
        "      the file to an integrated loudness of L LUFS (within 0.1 LU) with a\n"
        "      true peak at or below the --true-peak target, by rendering it\n"
        "      through the plug-in (two renders at a time), then write OUT with\n"
        "      those settings. Prints one line per search render and the render\n"
        "      report. Nothing is written when the target cannot be met. The\n"
        "      true peak holds by the accurate meter and the BS.1770 one alike.\n"
        "        --lufs L           integrated loudness to reach (or --target)\n"
        "        --true-peak T      highest true peak in dBTP (default -1.0)\n"
        "        --target NAME      both levels from a delivery target (as for\n"
        "                           render); --lufs and --true-peak override them\n"
        "        --max-reduction DB refuse (exit 13) rather than limit more than DB\n"
        "        --save-preset F    also write the found settings as a preset (.krw)\n"
        "        --plot FILE.png    draw the result (as for render) against the target\n"
        "        --out-dir DIR      several inputs: each written to DIR under its name\n"
        "        --album            with several inputs: the loudest meets L and the\n"
        "                           others keep their distance in loudness from it\n"
        "        -j N, --jobs N     with several inputs: master N at once, each with\n"
        "                           its own plug-in (default: one per core); the\n"
        "                           files and the printed reports are as with -j 1\n"
        "        --plugin, --block, --double, --set, --preset, --preset-file,\n"
        "        --bank, --state, --format, --allow-short-input, --json  as for render\n"
        "\n"
        "  zelto demo [--out-dir DIR] [--plugin PATH] [--block N] [--json]\n"
        "      Write a 30 s built-in programme (drums, bass, chords and bursts\n"
        "      whose true peak lies above their sample peak; sample peak +6 dBFS)\n"
        "      as DIR/demo-in.wav, render it with the default program to\n"
        "      demo-out.wav and with \"Oversample\" on to demo-out-oversample.wav,\n"
        "      and print both reports. DIR defaults to the current folder.\n"
        "\n"
        "  zelto presets [--json] [--state F] [--bank F] [--preset-file F]\n"
        "      List the plug-in's 24 presets; '*' marks the current one.\n"
        "\n"
        "  zelto presets export --preset NAME|N FILE.krw\n"
        "  zelto presets export --bank FILE.krb\n"
        "      Write a preset or the whole bank with the plug-in's own file\n"
        "      writer (after loading any --state or --preset-file given).\n"
        "\n"
        "  zelto state save FILE [--state F] [--bank F] [--preset-file F] [--preset P]\n"
        "      Write the plug-in's state chunk, as a host stores it in a project.\n"
        "\n"
        "  zelto snapshot --out FILE.png [--input FILE --at SECONDS] [--preset P]\n"
        "                 [--set NAME=VALUE] ...\n"
        "      Draw the plug-in's editor offscreen (no X server needed) after the\n"
        "      same state options as render, and write it as a PNG. With --input,\n"
        "      the file first runs through the plug-in up to SECONDS while the\n"
        "      editor's meters follow it, so the picture shows that moment.\n"
        "\n"
        "  zelto gui [--seconds S] [--cycles N] [--log-automation] [--preset P]\n"
        "            [--dialog-answer PATH] [--set NAME=VALUE] ...\n"
        "      Show the editor in a window of its own (needs an X display) and\n"
        "      idle it every 30 ms until the window is closed or S seconds pass;\n"
        "      --cycles opens and closes the editor N times within that time;\n"
        "      --log-automation prints every parameter change and edit gesture\n"
        "      the editor sends (index, value, name, display text);\n"
        "      --dialog-answer makes every file dialog choose PATH at once.\n"
        "      Fails if closing the editor left windows, threads or files open.\n"
        "\n"
        "  zelto play IN [--loop] [--seconds S] [--block N] [--no-device]\n"
        "             [--log-automation] [--snapshot F.png] [--preset P] [--set ...]\n"
        "      Play a file through the plug-in in real time on an audio thread while\n"
        "      the editor shows in a window: the meters move and the controls act\n"
        "      on the sound. Plays to the default sound device (ALSA) when there is\n"
        "      one, else paces itself with the clock and says so. Stops at the end\n"
        "      of the file (--loop: never), after S seconds, on Ctrl-C or when the\n"
        "      window is closed. --snapshot writes the window as it looks at the end.\n"
        "\n"
        "  zelto help | --help | -h\n"
        "      This text.\n"
        "\n"
        "  zelto --version\n"
        "      The version of zelto and the plug-in it is built with.\n"
        "\n"
        "The plug-in defaults to $ZELTO_PLUGIN if set, else the KRWZelto.so built\n"
        "with this program:\n"
        "  ",
        stdout);
    std::fputs(builtInPluginPath().c_str(), stdout);
    std::fputs(
        "\n"
        "\n"
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
        "  130  interrupted\n",
        stdout);
}

}  // namespace zelto

int main(int argc, char** argv) {
    using namespace zelto;
    const Args all(argv + 1, argv + argc);
    if (all.empty()) {
        printHelp();
        return kExitUsage;
    }
    const std::string& command = all.front();
    const Args rest(all.begin() + 1, all.end());
    try {
        const bool helpAsked = std::find_if(rest.begin(), rest.end(), [](const std::string& a) {
                                   return a == "--help" || a == "-h";
                               }) != rest.end();
        if (command == "help" || command == "--help" || command == "-h" || helpAsked) {
            printHelp();
            return kExitOk;
        }
        if (command == "--version" || command == "version") {
            std::printf("zelto %s\n", zeltoVersion());
            return kExitOk;
        }
        if (command == "info") return runInfo(rest);
        if (command == "render") return runRender(rest);
        if (command == "master") return runMaster(rest);
        if (command == "demo") return runDemo(rest);
        if (command == "presets") return runPresets(rest);
        if (command == "state") return runState(rest);
        if (command == "snapshot") return runSnapshot(rest);
        if (command == "gui") return runGui(rest);
        if (command == "play") return runPlay(rest);
        throw ToolError(kExitUsage, "unknown command '" + command + "' (see 'zelto help')");
    } catch (const ToolError& e) {
        std::fprintf(stderr, "zelto: %s\n", e.what());
        return e.code();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelto: internal error: %s\n", e.what());
        return kExitFailure;
    }
}
