// plugin_probe: drives a built plug-in binary as a host does and writes down
// everything about it that must not depend on the platform it was built for:
// the record, the latency at each rate, every parameter's name, label and
// display, the program names, both chunks, processed audio in several
// settings and the requantized output of digital silence. The same source
// builds on Linux (the .so) and Windows (the DLL); `--compare` then holds the
// two records against each other.
//
//   plugin_probe PLUGIN OUT       probe PLUGIN, write the record to OUT
//   plugin_probe --compare A B    exit 0 when B matches A, else list mismatches
//
// Audio may differ by 1e-9 (the two C libraries round exp and pow apart);
// everything else, requantized silence included, must be identical.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "vst/vst2.h"

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterGetSampleRate:
            return 44100;
        case audioMasterGetBlockSize:
            return 512;
        default:
            return 0;
    }
}

Entry loadEntry(const char* path) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Entry>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "VSTPluginMain")));
#else
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    return reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
#endif
}

class Probe {
  public:
    explicit Probe(AEffect* effect) : effect_(effect) {}

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }
    std::string text(VstInt32 opcode, VstInt32 index) {
        char buffer[256] = {};
        dispatch(opcode, index, 0, buffer);
        return buffer;
    }

    void record(std::ostream& out) {
        out << "magic " << effect_->magic << "\n"
            << "programs " << effect_->numPrograms << "\n"
            << "params " << effect_->numParams << "\n"
            << "inputs " << effect_->numInputs << "\n"
            << "outputs " << effect_->numOutputs << "\n"
            << "flags " << effect_->flags << "\n"
            << "uniqueID " << effect_->uniqueID << "\n"
            << "version " << effect_->version << "\n"
            << "delay " << effect_->initialDelay << "\n"
            << "effectName " << text(effGetEffectName, 0) << "\n"
            << "vendor " << text(effGetVendorString, 0) << "\n"
            << "product " << text(effGetProductString, 0) << "\n"
            << "category " << dispatch(effGetPlugCategory) << "\n";
        for (const float rate :
             {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 384000.0f}) {
            dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            out << "latency " << rate << " " << effect_->initialDelay << "\n";
        }
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    }

    void parameters(std::ostream& out) {
        std::vector<float> saved;
        for (VstInt32 i = 0; i < effect_->numParams; ++i) {
            saved.push_back(effect_->getParameter(effect_, i));
        }
        for (VstInt32 i = 0; i < effect_->numParams; ++i) {
            out << "param " << i << " name " << text(effGetParamName, i) << "\n";
            for (int step = 0; step <= 8; ++step) {
                effect_->setParameter(effect_, i, static_cast<float>(step) / 8.0f);
                out << "param " << i << " at " << step << "/8 value "
                    << effect_->getParameter(effect_, i) << " display "
                    << text(effGetParamDisplay, i) << " label " << text(effGetParamLabel, i)
                    << "\n";
            }
            effect_->setParameter(effect_, i, saved[static_cast<size_t>(i)]);
        }
    }

    void programs(std::ostream& out) {
        for (VstInt32 p = 0; p < effect_->numPrograms; ++p) {
            dispatch(effSetProgram, 0, p);
            out << "program " << p << " " << text(effGetProgramName, 0) << "\n";
            for (VstInt32 i = 0; i < effect_->numParams; ++i) {
                out << "program " << p << " param " << i << " " << effect_->getParameter(effect_, i)
                    << "\n";
            }
        }
        dispatch(effSetProgram, 0, 0);
        for (const VstIntPtr onlyProgram : {0, 1}) {
            void* data = nullptr;
            const VstIntPtr size =
                dispatch(effGetChunk, static_cast<VstInt32>(onlyProgram), 0, &data);
            out << "chunk " << onlyProgram << " size " << size << " bytes ";
            const auto* bytes = static_cast<const unsigned char*>(data);
            char hex[3];
            for (VstIntPtr b = 0; bytes != nullptr && b < size; ++b) {
                std::snprintf(hex, sizeof hex, "%02x", bytes[b]);
                out << hex;
            }
            out << "\n";
        }
    }

    /// One second of a loud, dense programme (a seeded noise and two tones
    /// up to +6 dBFS) through the plug-in in double precision, block 512.
    void audio(std::ostream& out, const char* label,
               const std::vector<std::pair<int, float>>& set) {
        dispatch(effSetProgram, 0, 0);
        for (const auto& [index, value] : set) effect_->setParameter(effect_, index, value);
        dispatch(effMainsChanged, 0, 0);
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effSetBlockSize, 0, 512);
        dispatch(effMainsChanged, 0, 1);
        const int frames = 44100;
        const int block = 512;
        std::vector<double> in[2], result[2];
        uint32_t seed = 0x1234567u;
        for (int c = 0; c < 2; ++c) {
            in[c].resize(frames);
            result[c].resize(frames);
            for (int n = 0; n < frames; ++n) {
                seed = seed * 1664525u + 1013904223u;
                const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.6;
                const double t = static_cast<double>(n) / 44100.0;
                const double swell = 0.5 + 1.5 * std::fabs(std::sin(2.0 * M_PI * 0.7 * t));
                in[c][static_cast<size_t>(n)] =
                    swell * (0.6 * std::sin(2.0 * M_PI * (110.0 + 20.0 * c) * t) +
                             0.3 * std::sin(2.0 * M_PI * 3137.0 * t) + noise);
            }
        }
        for (int start = 0; start < frames; start += block) {
            const int count = std::min(block, frames - start);
            double* inputs[2] = {in[0].data() + start, in[1].data() + start};
            double* outputs[2] = {result[0].data() + start, result[1].data() + start};
            effect_->processDoubleReplacing(effect_, inputs, outputs, count);
        }
        char number[64];
        for (int c = 0; c < 2; ++c) {
            for (int n = 0; n < frames; ++n) {
                std::snprintf(number, sizeof number, "%.17g", result[c][static_cast<size_t>(n)]);
                out << "audio " << label << " " << c << " " << n << " " << number << "\n";
            }
        }
        dispatch(effMainsChanged, 0, 0);
    }

    /// Digital silence through the requantizer in single precision: what
    /// comes out is the dither alone, and must be the same bit for bit.
    void silence(std::ostream& out) {
        dispatch(effSetProgram, 0, 0);
        effect_->setParameter(effect_, 16, 1.0f);  // Quantize on
        effect_->setParameter(effect_, 17, 0.0f);  // Autoblack off: dither stays
        dispatch(effMainsChanged, 0, 0);
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effMainsChanged, 0, 1);
        std::vector<float> zeros(4096, 0.0f), left(4096), right(4096);
        float* inputs[2] = {zeros.data(), zeros.data()};
        float* outputs[2] = {left.data(), right.data()};
        for (int block = 0; block < 4; ++block) {
            effect_->processReplacing(effect_, inputs, outputs, 4096);
            for (int n = 0; n < 4096; ++n) {
                uint32_t bits[2];
                std::memcpy(&bits[0], &left[static_cast<size_t>(n)], 4);
                std::memcpy(&bits[1], &right[static_cast<size_t>(n)], 4);
                out << "silence " << block << " " << n << " " << bits[0] << " " << bits[1] << "\n";
            }
        }
        dispatch(effMainsChanged, 0, 0);
    }

  private:
    AEffect* effect_;
};

int probe(const char* pluginPath, const char* outPath) {
    const Entry entry = loadEntry(pluginPath);
    if (entry == nullptr) {
        std::cerr << "plugin_probe: cannot load " << pluginPath << "\n";
        return 2;
    }
    AEffect* effect = entry(hostCallback);
    if (effect == nullptr) {
        std::cerr << "plugin_probe: the plug-in made no instance\n";
        return 2;
    }
    std::ostringstream out;
    out.imbue(std::locale::classic());
    Probe probe(effect);
    probe.dispatch(effOpen);
    probe.record(out);
    probe.parameters(out);
    probe.programs(out);
    probe.audio(out, "default", {});
    probe.audio(out, "oversample", {{6, 1.0f}, {14, 1.0f}});
    probe.audio(out, "hot", {{1, 0.9f}, {3, 0.1f}, {2, 0.8f}, {4, 0.3f}, {5, 0.0f}});
    probe.silence(out);
    probe.dispatch(effClose);
    std::ofstream file(outPath, std::ios::binary);
    file << out.str();
    file.close();
    if (!file) {
        std::cerr << "plugin_probe: cannot write " << outPath << "\n";
        return 2;
    }
    return 0;
}

std::vector<std::string> readLines(const char* path, bool* ok) {
    std::ifstream file(path, std::ios::binary);
    *ok = bool(file);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "audio LABEL CH N VALUE": compared numerically, everything else exactly.
bool audioMatches(const std::string& a, const std::string& b) {
    const size_t ca = a.find_last_of(' ');
    const size_t cb = b.find_last_of(' ');
    if (a.compare(0, ca, b, 0, cb) != 0) return false;
    const double va = std::strtod(a.c_str() + ca + 1, nullptr);
    const double vb = std::strtod(b.c_str() + cb + 1, nullptr);
    return std::isfinite(va) && std::isfinite(vb) && std::fabs(va - vb) <= 1e-9;
}

int compare(const char* pathA, const char* pathB) {
    bool okA = false, okB = false;
    const std::vector<std::string> a = readLines(pathA, &okA);
    const std::vector<std::string> b = readLines(pathB, &okB);
    if (!okA || !okB || a.empty()) {
        std::cerr << "plugin_probe: cannot read " << (okA && !a.empty() ? pathB : pathA) << "\n";
        return 2;
    }
    size_t mismatches = 0;
    size_t audioLines = 0;
    const size_t n = std::max(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const std::string& la = i < a.size() ? a[i] : std::string("<missing>");
        const std::string& lb = i < b.size() ? b[i] : std::string("<missing>");
        const bool isAudio = la.rfind("audio ", 0) == 0;
        audioLines += isAudio ? 1 : 0;
        if (isAudio ? audioMatches(la, lb) : la == lb) continue;
        if (++mismatches <= 10) {
            std::cerr << "line " << i + 1 << ":\n  " << la.substr(0, 160) << "\n  "
                      << lb.substr(0, 160) << "\n";
        }
    }
    std::cout << n << " lines (" << audioLines << " audio samples), " << mismatches
              << " mismatches\n";
    return mismatches == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--compare") == 0) return compare(argv[2], argv[3]);
    if (argc == 3) return probe(argv[1], argv[2]);
    std::cerr << "usage: plugin_probe PLUGIN OUT | plugin_probe --compare A B\n";
    return 2;
}
