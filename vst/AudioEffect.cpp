// AudioEffect: record set-up, trampolines, 1.x opcode switch, host wrappers
// and the number-to-text tools.
#include "vst/AudioEffect.h"

#include <cmath>
#include <cstring>

namespace {

AudioEffect* effectOf(AEffect* e) {
    return e != nullptr ? static_cast<AudioEffect*>(e->object) : nullptr;
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = CCONST('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) {
    AudioEffect* effect = effectOf(e);
    if (effect == nullptr) return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
    if (AudioEffect* effect = effectOf(e)) effect->process(inputs, outputs, frames);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 frames) {
    if (AudioEffect* effect = effectOf(e)) effect->processReplacing(inputs, outputs, frames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 frames) {
    if (AudioEffect* effect = effectOf(e)) effect->processDoubleReplacing(inputs, outputs, frames);
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
    if (AudioEffect* effect = effectOf(e)) effect->setParameter(index, value);
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
    AudioEffect* effect = effectOf(e);
    return effect != nullptr ? effect->getParameter(index) : 0.0f;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    // Opcodes that write through ptr do nothing when a host passes none.
    switch (opcode) {
        case effOpen:
            open();
            return 0;
        case effClose:
            close();
            return 0;
        case effSetProgram:
            if (value < numPrograms) setProgram(static_cast<VstInt32>(value));
            return 0;
        case effGetProgram:
            return getProgram();
        case effSetProgramName:
            if (ptr != nullptr) setProgramName(static_cast<char*>(ptr));
            return 0;
        case effGetProgramName:
            if (ptr != nullptr) getProgramName(static_cast<char*>(ptr));
            return 0;
        case effGetParamLabel:
            if (ptr != nullptr) getParameterLabel(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamDisplay:
            if (ptr != nullptr) getParameterDisplay(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamName:
            if (ptr != nullptr) getParameterName(index, static_cast<char*>(ptr));
            return 0;
        case effSetSampleRate:
            setSampleRate(opt);
            return 0;
        case effSetBlockSize:
            setBlockSize(static_cast<VstInt32>(value));
            return 0;
        case effMainsChanged:
            if (value == 0) {
                suspend();
            } else {
                resume();
            }
            return 0;
        case effGetChunk:
            if (ptr == nullptr) return 0;
            return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk:
            if (ptr == nullptr || value < 0) return -1;
            return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
        case effEditGetRect:
            if (editor == nullptr || ptr == nullptr) return 0;
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        case effEditOpen:
            return editor != nullptr && editor->open(ptr) ? 1 : 0;
        case effEditClose:
            if (editor != nullptr) editor->close();
            return 0;
        case effEditIdle:
            if (editor != nullptr) editor->idle();
            return 0;
        default:
            return 0;
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    if (audioMaster != nullptr)
        audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::canProcessReplacing(bool state) {
    if (state) {
        cEffect.flags |= effFlagsCanReplacing;
    } else {
        cEffect.flags &= ~effFlagsCanReplacing;
    }
}

void AudioEffect::canDoubleReplacing(bool state) {
    if (state) {
        cEffect.flags |= effFlagsCanDoubleReplacing;
    } else {
        cEffect.flags &= ~effFlagsCanDoubleReplacing;
    }
}

void AudioEffect::programsAreChunks(bool state) {
    if (state) {
        cEffect.flags |= effFlagsProgramChunks;
    } else {
        cEffect.flags &= ~effFlagsProgramChunks;
    }
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    if (editor != nullptr) {
        cEffect.flags |= effFlagsHasEditor;
    } else {
        cEffect.flags &= ~effFlagsHasEditor;
    }
}

VstInt32 AudioEffect::getMasterVersion() {
    if (audioMaster == nullptr) return 1;
    VstInt32 version =
        static_cast<VstInt32>(audioMaster(&cEffect, audioMasterVersion, 0, 0, nullptr, 0.0f));
    return version != 0 ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    if (audioMaster == nullptr) return 0;
    return static_cast<VstInt32>(audioMaster(&cEffect, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}

void AudioEffect::masterIdle() {
    if (audioMaster != nullptr) audioMaster(&cEffect, audioMasterIdle, 0, 0, nullptr, 0.0f);
}

// The pin query answers 0 when the pin IS connected; a host that does not
// know the query answers 0 too, which keeps both channels running.
bool AudioEffect::isInputConnected(VstInt32 input) {
    if (audioMaster == nullptr) return true;
    return audioMaster(&cEffect, audioMasterPinConnected, input, 0, nullptr, 0.0f) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    if (audioMaster == nullptr) return true;
    return audioMaster(&cEffect, audioMasterPinConnected, output, 1, nullptr, 0.0f) == 0;
}

char* AudioEffect::vst_strncpy(char* dst, const char* src, VstInt32 maxLen) {
    if (dst == nullptr) return dst;
    VstInt32 i = 0;
    if (src != nullptr) {
        for (; i < maxLen && src[i] != 0; ++i) dst[i] = src[i];
    }
    dst[i < 0 ? 0 : i] = 0;
    return dst;
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    if (!(value > 0.0f)) {
        vst_strncpy(text, "-oo", maxLen);
        return;
    }
    float2string(20.0f * std::log10(value), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    constexpr int kWidth = 8;
    if (std::isnan(value)) {
        vst_strncpy(text, "NaN", maxLen);
        return;
    }
    double v = value;
    const bool negative = v < 0.0;
    if (negative) v = -v;
    if (v > (negative ? 9999999.0 : 99999999.0)) {
        vst_strncpy(text, negative ? "-Huge!" : "Huge!", maxLen);
        return;
    }
    char buffer[32];
    int pos = 0;
    if (negative) buffer[pos++] = '-';
    const double integral = std::floor(v);
    char digits[16];
    int count = 0;
    for (double rest = integral; count == 0 || rest >= 1.0; rest = std::floor(rest / 10.0)) {
        digits[count++] = static_cast<char>('0' + static_cast<int>(std::fmod(rest, 10.0)));
    }
    while (count > 0) buffer[pos++] = digits[--count];
    buffer[pos++] = '.';
    // Decimals fill the remaining width; each is truncated, never rounded.
    const int decimals = kWidth - pos;
    if (decimals > 0) {
        const double scaled = std::floor((v - integral) * std::pow(10.0, decimals));
        double rest = scaled;
        for (int i = decimals - 1; i >= 0; --i) {
            buffer[pos + i] = static_cast<char>('0' + static_cast<int>(std::fmod(rest, 10.0)));
            rest = std::floor(rest / 10.0);
        }
        pos += decimals;
    }
    buffer[pos] = 0;
    vst_strncpy(text, buffer, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    if (value >= 100000000) {
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }
    char buffer[16];
    int pos = 0;
    long long v = value;
    if (v < 0) {
        buffer[pos++] = '-';
        v = -v;
    }
    char digits[16];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    while (count > 0) buffer[pos++] = digits[--count];
    buffer[pos] = 0;
    vst_strncpy(text, buffer, maxLen);
}
