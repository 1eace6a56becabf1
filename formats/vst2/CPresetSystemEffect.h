// The program layer of the VST2 effect: towards the host one program whose
// state is the whole bank as a chunk, with program selection inside the
// plug-in. The bank, the programs and the state bytes live in the core's
// Effect, which this layer owns; here they are mapped onto the SDK calls,
// and what the effect reports goes back to the host and the editor.
// Takes no engine lock. Each getChunk answer has a buffer of its own for a
// while, since hosts ask for the state from several threads.
#pragma once

#include <memory>
#include <mutex>
#include <thread>

#include "core/Effect.h"
#include "presets/PresetRecord.h"
#include "vst/AudioEffectX.h"

class CPresetSystemEditor;

class CPresetSystemEffect : public AudioEffectX, public zelto::EffectHost {
  public:
    CPresetSystemEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    ~CPresetSystemEffect() override;

    // Stores the value in the current program (indices 0..25).
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;

    VstInt32 getProgram() override { return 0; }
    void setProgram(VstInt32 /*program*/) override {}
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    // The host state: the whole bank as a tagged image behind an 8-byte
    // prefix. setChunk answers 0 when the bank was loaded and -1 when
    // nothing was (foreign, damaged or out-of-range data changes nothing).
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    virtual VstInt32 getCurrentPreset() { return effect_.getCurrentPreset(); }
    virtual void selectPreset(VstInt32 index);
    virtual void renameCurrentPreset(const char* name);
    virtual VstInt32 getSignature() { return cEffect.uniqueID; }
    virtual void resetPresetToTemplate(VstInt32 index) { effect_.resetPresetToTemplate(index); }
    virtual bool isExcludedFromSave(VstInt32 param) = 0;
    virtual bool isExcludedFromLoad(VstInt32 param) = 0;
    virtual void initPresetSystem() { effect_.start(); }
    virtual void loadFactoryPresets() { effect_.loadFactoryPresets(); }

    bool hasBank() const { return effect_.hasBank(); }
    /// A copy of program i (a zero record for an index outside 0..23).
    zelto::PresetRecord presetRecord(VstInt32 index) const { return effect_.presetRecord(index); }
    /// Replaces program i's name and values (no engine update: select it for that).
    void setPresetRecord(VstInt32 index, const zelto::PresetRecord& record) {
        effect_.setPresetRecord(index, record);
    }
    void setPresetValue(VstInt32 program, VstInt32 param, float value) {
        effect_.setPresetValue(program, param, value);
    }

    /// The editor object with the preset strip, null without one.
    CPresetSystemEditor* presetEditor() const { return presetEditor_; }
    const zelto::PresetRecord& templatePreset() const { return effect_.templatePreset(); }

    /// The format-neutral effect this layer carries.
    zelto::Effect& core() { return effect_; }
    const zelto::Effect& core() const { return effect_; }

    // zelto::EffectHost: the effect's reports onto the host and the editor.
    void parameterChanged(int32_t index, float value) override;
    void parameterAutomated(int32_t index, float value) override;
    void editBegun(int32_t index) override;
    void editEnded(int32_t index) override;
    void programApplied() override;
    void programRenamed() override;
    void programNameShown(const char* name) override;

  protected:
    /// The preset editor object is the window editor, which the effect base
    /// owns and deletes; this layer only keeps a typed pointer to it.
    void attachPresetEditor(CPresetSystemEditor* editorObject) { presetEditor_ = editorObject; }

    bool isPresetLoading() const { return effect_.isPresetLoading(); }
    float storedValue(VstInt32 index) const { return effect_.storedValue(index); }

    zelto::Effect effect_;

  private:
    static constexpr size_t kChunkBufferSize = 24049;  // prefix + tagged bank of 26 values
    // Each calling thread answers from a buffer of its own (the least recently
    // used one goes to a new thread): a buffer handed out stays as it is until
    // the same thread asks again, which is what a host may rely on.
    static constexpr int kChunkBuffers = 4;
    std::unique_ptr<uint8_t[]> chunkBuffers_[kChunkBuffers];
    std::thread::id chunkOwners_[kChunkBuffers];
    uint64_t chunkUsed_[kChunkBuffers] = {};
    uint64_t chunkCalls_ = 0;
    std::mutex chunkMutex_;
    CPresetSystemEditor* presetEditor_ = nullptr;
};
