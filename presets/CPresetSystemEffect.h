// The program layer between the effect base classes and the product class:
// the bank of 24 programs, the factory programs, the current program, the
// start-up template and program selection. Towards the host the effect shows
// one program; selection happens inside the plug-in.
// Takes no engine lock; setParameter/getParameter may run on any thread, so
// single values in the bank are read and written as atomic words. Program names
// are guarded by a short lock of their own (never taken on the audio path), and
// each getChunk answer has a buffer of its own for a while, since hosts ask for
// the state from several threads.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "presets/PresetRecord.h"
#include "vst/AudioEffectX.h"

class CPresetSystemEditor;

class CPresetSystemEffect : public AudioEffectX {
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

    virtual VstInt32 getCurrentPreset() { return currentPreset.load(std::memory_order_relaxed); }
    virtual void selectPreset(VstInt32 index);
    virtual void renameCurrentPreset(const char* name);
    virtual VstInt32 getSignature() { return cEffect.uniqueID; }
    virtual void resetPresetToTemplate(VstInt32 index);
    virtual bool isExcludedFromSave(VstInt32 param) = 0;
    virtual bool isExcludedFromLoad(VstInt32 param) = 0;
    virtual void initPresetSystem();
    virtual void loadFactoryPresets();

    bool hasBank() const { return bank != nullptr; }
    /// A copy of program i (a zero record for an index outside 0..23).
    zelto::PresetRecord presetRecord(VstInt32 index) const;
    /// Replaces program i's name and values (no engine update: select it for that).
    void setPresetRecord(VstInt32 index, const zelto::PresetRecord& record);
    void setPresetValue(VstInt32 program, VstInt32 param, float value);

    /// The object that builds and reads the preset formats; it lives as long
    /// as the effect, with or without a window.
    CPresetSystemEditor* presetEditor() const { return presetEditor_; }
    const zelto::PresetRecord& templatePreset() const { return templateRecord; }

  protected:
    /// The preset editor object is the window editor, which the effect base
    /// owns and deletes; this layer only keeps a typed pointer to it.
    void attachPresetEditor(CPresetSystemEditor* editorObject) { presetEditor_ = editorObject; }
    VstInt32 loadFlatBankChunk(const uint8_t* data, VstInt32 size, bool swap);

    /// True on the thread that is applying a program, for this effect only:
    /// automation arriving meanwhile on another thread is still stored.
    bool isPresetLoading() const;
    float storedValue(VstInt32 index) const;

    zelto::PresetBank* bank = nullptr;
    zelto::PresetRecord templateRecord{};
    std::atomic<VstInt32> currentPreset{0};
    // The thread applying a program right now (none: a default id).
    std::atomic<std::thread::id> applyingThread_{};

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
    mutable std::mutex namesMutex_;  // every read and write of a program name
    CPresetSystemEditor* presetEditor_ = nullptr;
};
