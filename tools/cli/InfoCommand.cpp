// `zelto info`: loads a plug-in as a DAW would and prints what it declares —
// the record, its strings, every parameter, and the latency it reports at
// three sample rates — as text or JSON. It only reads; it never processes
// audio and never changes a parameter.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

namespace {

struct ParamInfo {
    int index;
    std::string name, label, display;
    float value;
};

struct LatencyInfo {
    double rate;
    int atResume;  // the record right after effMainsChanged 1
    int samples;   // after one block of silence
};

struct PluginInfo {
    std::string path, entry;
    AEffect record;  // copy taken right after effOpen
    std::string effectName, vendor, product, program;
    VstIntPtr vendorVersion, vstVersion, category;
    std::vector<ParamInfo> params;
    std::vector<LatencyInfo> latencies;
    std::vector<std::pair<VstInt32, int64_t>> hostCalls;
    int ownPrograms = 0;  // our plug-in's own bank, which hosts do not see; 0 for others
};

std::vector<std::string> flagNames(VstInt32 flags) {
    static const char* const kBits[16] = {"HasEditor",
                                          "HasClip",
                                          "HasVu",
                                          "CanMono",
                                          "CanReplacing",
                                          "ProgramChunks",
                                          nullptr,
                                          nullptr,
                                          "IsSynth",
                                          "NoSoundInStop",
                                          "ExtIsAsync",
                                          "ExtHasBuffer",
                                          "CanDoubleReplacing",
                                          nullptr,
                                          nullptr,
                                          nullptr};
    std::vector<std::string> names;
    const auto u = static_cast<uint32_t>(flags);
    for (int bit = 0; bit < 32; ++bit) {
        if ((u & (1u << bit)) == 0) continue;
        names.push_back(bit < 16 && kBits[bit] ? kBits[bit] : "bit" + std::to_string(bit));
    }
    return names;
}

PluginInfo gather(const std::string& path) {
    PluginHost host(path);
    PluginInfo info;
    info.path = path;
    info.entry = host.isEntryMain() ? "main" : "VSTPluginMain";
    info.record = host.effect();
    info.effectName = host.effectName();
    info.vendor = host.vendorString();
    info.product = host.productString();
    info.program = host.programName();
    info.vendorVersion = host.vendorVersion();
    info.vstVersion = host.vstVersion();
    info.category = host.category();
    if (isOurPlugin(host)) info.ownPrograms = static_cast<int>(programNames(host).size());
    for (int i = 0; i < host.numParams(); ++i) {
        info.params.push_back(
            {i, host.paramName(i), host.paramLabel(i), host.paramDisplay(i), host.getParameter(i)});
    }
    // Plug-ins update the record's delay when the rate changes, when they are
    // switched on or only once they process, mostly without telling the host:
    // read it when switched on and again after one block of silence.
    for (double rate : {44100.0, 96000.0, 192000.0}) {
        host.setSampleRate(rate);
        host.setBlockSize(PluginHost::kInitialBlockSize);
        host.resume();
        const int atResume = host.latency();
        const int settled = host.processSilence(PluginHost::kInitialBlockSize);
        info.latencies.push_back({rate, atResume, settled});
        host.suspend();
    }
    info.hostCalls = host.hostCalls();
    return info;
}

void printText(const PluginInfo& in) {
    const AEffect& r = in.record;
    std::string flags;
    for (const auto& f : flagNames(r.flags)) flags += (flags.empty() ? "" : " ") + f;
    std::printf("Host            zelto %s\n", zeltoVersion());
    std::printf("Plug-in         %s (entry %s)\n", in.path.c_str(), in.entry.c_str());
    std::printf("Effect name     %s\n", in.effectName.c_str());
    std::printf("Vendor          %s\n", in.vendor.c_str());
    std::printf("Product         %s\n", in.product.c_str());
    std::printf("Vendor version  %lld", static_cast<long long>(in.vendorVersion));
    if (in.vendorVersion == 0) {
        std::printf(" (none given; the record's version is %d)", in.record.version);
    }
    std::printf("\n");
    std::printf("VST version     %lld\n", static_cast<long long>(in.vstVersion));
    std::printf("Category        %lld (%s)\n", static_cast<long long>(in.category),
                categoryName(in.category));
    std::printf("Program         %s\n", in.program.c_str());
    std::printf("Record\n");
    std::printf("  magic         %s (%s)\n", hex32(static_cast<uint32_t>(r.magic)).c_str(),
                fourCC(r.magic).c_str());
    std::printf("  unique ID     %s (%s)\n", fourCC(r.uniqueID).c_str(),
                hex32(static_cast<uint32_t>(r.uniqueID)).c_str());
    std::printf("  version       %d\n", r.version);
    std::printf("  flags         %s (%s)\n", hex32(static_cast<uint32_t>(r.flags)).c_str(),
                flags.c_str());
    std::printf("  inputs        %d\n", r.numInputs);
    std::printf("  outputs       %d\n", r.numOutputs);
    std::printf("  parameters    %d\n", r.numParams);
    std::printf("  programs      %d", r.numPrograms);
    if (in.ownPrograms > 0) {
        std::printf(
            " (what hosts see; the plug-in keeps a bank of %d presets of its own,\n"
            "                the state chunk carries them: see 'zelto presets')",
            in.ownPrograms);
    }
    std::printf("\n");
    std::printf("  initial delay %d\n", r.initialDelay);
    std::printf("  ioRatio       %s\n", formatFixed(r.ioRatio, 3).c_str());
    std::printf("Latency\n");
    for (const auto& l : in.latencies) {
        std::printf("  %6.0f Hz     %d samples", l.rate, l.samples);
        if (l.atResume != l.samples) std::printf(" (%d until the first block)", l.atResume);
        std::printf("\n");
    }
    std::printf("Parameters (%zu)\n", in.params.size());
    std::printf("  %5s  %-24s %-8s  %-16s %s\n", "index", "name", "value", "display", "label");
    for (const auto& p : in.params) {
        std::printf("  %5d  %-24s %-8s  %-16s %s\n", p.index, p.name.c_str(),
                    formatFixed(p.value, 4).c_str(), p.display.c_str(), p.label.c_str());
    }
    std::string calls;
    for (const auto& [op, n] : in.hostCalls) {
        const char* name = hostOpcodeName(op);
        calls += (calls.empty() ? "" : ", ") +
                 (name ? std::string(name) : "opcode " + std::to_string(op)) + " x" +
                 std::to_string(n);
    }
    std::printf("Host calls      %s\n", calls.empty() ? "none" : calls.c_str());
}

void printJson(const PluginInfo& in) {
    const AEffect& r = in.record;
    JsonWriter j;
    j.beginObject();
    j.value("zeltoVersion", zeltoVersion());
    j.value("path", in.path).value("entry", in.entry);
    j.value("effectName", in.effectName).value("vendor", in.vendor).value("product", in.product);
    j.value("vendorVersion", static_cast<int64_t>(in.vendorVersion));
    j.value("vstVersion", static_cast<int64_t>(in.vstVersion));
    j.value("category", static_cast<int64_t>(in.category));
    j.value("categoryName", categoryName(in.category));
    j.value("program", in.program);
    if (in.ownPrograms > 0) {
        j.value("ownPrograms", in.ownPrograms);
    } else {
        j.null("ownPrograms");
    }
    j.beginObject("record");
    j.value("magic", hex32(static_cast<uint32_t>(r.magic)));
    j.value("uniqueId", fourCC(r.uniqueID));
    j.value("uniqueIdHex", hex32(static_cast<uint32_t>(r.uniqueID)));
    j.value("version", r.version);
    j.value("flags", hex32(static_cast<uint32_t>(r.flags)));
    j.beginArray("flagNames");
    for (const auto& f : flagNames(r.flags)) j.element(f);
    j.endArray();
    j.value("numInputs", r.numInputs).value("numOutputs", r.numOutputs);
    j.value("numParams", r.numParams).value("numPrograms", r.numPrograms);
    j.value("initialDelay", r.initialDelay);
    j.value("ioRatio", static_cast<double>(r.ioRatio));
    j.endObject();
    j.beginArray("latency");
    for (const auto& l : in.latencies) {
        j.beginObject().value("sampleRate", l.rate).value("samples", l.samples);
        j.value("samplesAtResume", l.atResume).endObject();
    }
    j.endArray();
    j.beginArray("parameters");
    for (const auto& p : in.params) {
        j.beginObject();
        j.value("index", p.index).value("name", p.name).value("label", p.label);
        j.value("display", p.display).value("value", static_cast<double>(p.value));
        j.endObject();
    }
    j.endArray();
    j.beginObject("hostCalls");
    for (const auto& [op, n] : in.hostCalls) {
        const char* name = hostOpcodeName(op);
        j.value(name ? std::string(name) : "opcode" + std::to_string(op), n);
    }
    j.endObject();
    j.endObject();
    std::fputs(j.str().c_str(), stdout);
}

}  // namespace

int runInfo(const ParsedArgs& args) {
    const bool json = args.has("--json");
    if (!args.positional().empty() && args.has("--plugin")) {
        throw ToolError(kExitUsage, "info takes the plug-in either as PLUGIN.so or as --plugin");
    }
    std::string plugin =
        args.positional().empty() ? args.text("--plugin").value_or("") : args.positional().front();
    if (plugin.empty()) plugin = defaultPluginPath();
    const PluginInfo info = gather(plugin);
    if (json) {
        printJson(info);
    } else {
        printText(info);
    }
    return kExitOk;
}

}  // namespace zelto
