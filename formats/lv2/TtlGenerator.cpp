// Writes the Turtle files of the LV2 bundle from the core's parameter data
// and factory programs, so the ports and presets can never disagree with the
// effect: manifest.ttl, the plug-in's description and the 24 presets.
// Usage: zelto_lv2_ttl BUNDLE_DIR BINARY_NAME UI_BINARY_NAME
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/Effect.h"
#include "core/Parameters.h"
#include "core/PlainUnits.h"
#include "formats/lv2/Lv2Ports.h"
#include "presets/FactoryPresets.h"

namespace {

using namespace zelto;
using namespace zelto::lv2;

const char* kPrefixes =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// Floats written so that reading them back gives the same float.
std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string presetUri(int32_t program) {
    return std::string(kPluginUri) + "#preset" + std::to_string(program + 1);
}

std::string presetName(int32_t program) {
    const char* name = kFactoryPresets[program].name;
    std::string text = name != nullptr ? name : "";
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? "Program " + std::to_string(program + 1) : text;
}

void audioPort(std::ostream& out, uint32_t index, bool input, const char* symbol,
               const char* name) {
    out << "    a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "    lv2:index " << index << " ;\n    lv2:symbol " << quoted(symbol)
        << " ;\n    lv2:name " << quoted(name) << " ;\n";
}

void controlPort(std::ostream& out, int32_t param, float defaultPlain) {
    const ParamInfo& info = kParamInfo[static_cast<size_t>(param)];
    const PlainInfo plain = plainInfo(param);
    out << "    a lv2:InputPort , lv2:ControlPort ;\n"
        << "    lv2:index " << kPortFirstParameter + static_cast<uint32_t>(param) << " ;\n"
        << "    lv2:symbol " << quoted(plain.symbol) << " ;\n"
        << "    lv2:name " << quoted(info.name) << " ;\n"
        << "    lv2:default " << number(defaultPlain) << " ;\n"
        << "    lv2:minimum " << number(plain.minimum) << " ;\n"
        << "    lv2:maximum " << number(plain.maximum) << " ;\n";
    if (plain.unit != nullptr) out << "    units:unit units:" << plain.unit << " ;\n";
    switch (plain.kind) {
        case PlainKind::Toggle:
            out << "    lv2:portProperty lv2:toggled , lv2:integer ;\n";
            break;
        case PlainKind::Enumeration:
            out << "    lv2:portProperty lv2:integer , lv2:enumeration ;\n";
            break;
        case PlainKind::Integer:
            out << "    lv2:portProperty lv2:integer ;\n";
            break;
        case PlainKind::Continuous:
            break;
    }
    if (plain.kind == PlainKind::Enumeration || plain.kind == PlainKind::Toggle) {
        out << "    lv2:scalePoint ";
        for (int32_t step = 0; step < info.steps; ++step) {
            char text[64] = {};
            formatParameterDisplay(param, valueFromStep(step, info.steps), step, text);
            out << (step == 0 ? "" : " , ") << "[ rdfs:label " << quoted(text) << " ; rdf:value "
                << step << " ]";
        }
        out << " ;\n";
    }
}

std::string uiTtl(const std::string& uiBinary) {
    std::ostringstream out;
    out << "<" << kUiUri << ">\n"
        << "    a ui:X11UI ;\n"
        << "    ui:binary <" << uiBinary << "> ;\n"
        << "    lv2:requiredFeature ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:parent , ui:resize , ui:touch ;\n"
        << "    lv2:extensionData ui:idleInterface ;\n"
        << "    ui:portNotification [\n        ui:plugin <" << kPluginUri
        << "> ;\n        lv2:symbol \"latency\"\n    ]";
    for (const MeterPort& meter : kMeterPorts) {
        out << " , [\n        ui:plugin <" << kPluginUri << "> ;\n        lv2:symbol "
            << quoted(meter.symbol) << "\n    ]";
    }
    out << " .\n\n";
    return out.str();
}

std::string pluginTtl(const std::string& binary, const std::string& uiBinary) {
    std::ostringstream out;
    out << kPrefixes;
    out << "<" << kPluginUri << ">\n"
        << "    a lv2:Plugin , lv2:LimiterPlugin ;\n"
        << "    doap:name " << quoted(Effect::kEffectName) << " ;\n"
        << "    rdfs:comment " << quoted(Effect::kProductName) << " ;\n"
        << "    lv2:binary <" << binary << "> ;\n"
        << "    lv2:minorVersion 0 ;\n    lv2:microVersion 0 ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
        << "    lv2:extensionData state:interface ;\n"
        << "    ui:ui <" << kUiUri << "> ;\n"
        << "    lv2:port [\n";
    audioPort(out, kPortInL, true, "in_l", "Input L");
    out << "    ] , [\n";
    audioPort(out, kPortInR, true, "in_r", "Input R");
    out << "    ] , [\n";
    audioPort(out, kPortOutL, false, "out_l", "Output L");
    out << "    ] , [\n";
    audioPort(out, kPortOutR, false, "out_r", "Output R");
    for (int32_t p = 0; p < kNumLiveParams; ++p) {
        out << "    ] , [\n";
        controlPort(out, p, plainFromValue(p, kFactoryPresets[0].values[p]));
    }
    out << "    ] , [\n"
        << "    a lv2:OutputPort , lv2:ControlPort ;\n"
        << "    lv2:index " << kPortLatency << " ;\n"
        << "    lv2:symbol \"latency\" ;\n    lv2:name \"Latency\" ;\n"
        << "    lv2:designation lv2:latency ;\n"
        << "    lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
        << "    lv2:minimum 0 ;\n    lv2:maximum 543 ;\n    units:unit units:frame ;\n";
    for (uint32_t m = 0; m < 10; ++m) {
        out << "    ] , [\n"
            << "    a lv2:OutputPort , lv2:ControlPort ;\n"
            << "    lv2:index " << kPortFirstMeter + m << " ;\n"
            << "    lv2:symbol " << quoted(kMeterPorts[m].symbol) << " ;\n"
            << "    lv2:name " << quoted(kMeterPorts[m].name) << " ;\n"
            << "    lv2:minimum 0.0 ;\n    lv2:maximum " << (m < 8 ? "2.0" : "1.0") << " ;\n"
            << "    units:unit units:coef ;\n";
    }
    out << "    ] .\n\n";
    out << uiTtl(uiBinary);
    return out.str();
}

std::string presetsTtl() {
    std::ostringstream out;
    out << kPrefixes;
    for (int32_t program = 0; program < kNumPresets; ++program) {
        out << "<" << presetUri(program) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << kPluginUri << "> ;\n"
            << "    rdfs:label " << quoted(presetName(program)) << " ;\n"
            << "    lv2:port ";
        for (int32_t p = 0; p < kNumLiveParams; ++p) {
            out << (p == 0 ? "[\n" : " , [\n") << "        lv2:symbol "
                << quoted(plainInfo(p).symbol) << " ;\n        pset:value "
                << number(plainFromValue(p, kFactoryPresets[program].values[p])) << "\n    ]";
        }
        out << " .\n\n";
    }
    return out.str();
}

std::string manifestTtl(const std::string& binary, const std::string& uiBinary) {
    std::ostringstream out;
    out << kPrefixes;
    out << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary
        << "> ;\n    rdfs:seeAlso <krw-zelto.ttl> .\n\n";
    out << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << uiBinary
        << "> ;\n    rdfs:seeAlso <krw-zelto.ttl> .\n\n";
    for (int32_t program = 0; program < kNumPresets; ++program) {
        out << "<" << presetUri(program) << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
            << kPluginUri << "> ;\n    rdfs:seeAlso <presets.ttl> .\n\n";
    }
    return out.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) std::fprintf(stderr, "zelto_lv2_ttl: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zelto_lv2_ttl BUNDLE_DIR BINARY_NAME UI_BINARY_NAME\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::string binary = argv[2];
    const std::string uiBinary = argv[3];
    const bool ok = writeFile(dir + "/manifest.ttl", manifestTtl(binary, uiBinary)) &&
                    writeFile(dir + "/krw-zelto.ttl", pluginTtl(binary, uiBinary)) &&
                    writeFile(dir + "/presets.ttl", presetsTtl());
    return ok ? 0 : 1;
}
