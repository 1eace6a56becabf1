// The plug-in's private calls, reached through the standard effVendorSpecific
// opcode: index = kVendorApiMagic, value = one of VendorCall, ptr = the
// call's argument. A host that does not know them never sends them; any
// other plug-in answers 0. Part of the binary interface: zelto includes this
// header and nothing else of the plug-in.
#pragma once

#include <cstdint>

namespace zelto {

constexpr int32_t kVendorApiMagic = ('K' << 24) | ('R' << 16) | ('z' << 8) | 't';

enum VendorCall : intptr_t {
    kVendorSelectPreset = 1,   // ptr: const int32_t* program 0..23; answers 1, or 0 if out of range
    kVendorCurrentPreset = 2,  // answers the current program + 1
    kVendorLoadPresetFile = 3,  // ptr: const char* path; answers a VendorLoadAnswer
    kVendorLoadBankFile = 4,    // ptr: const char* path; answers a VendorLoadAnswer
    kVendorSavePresetFile = 5,  // ptr: const char* path; answers 1 when written, else 0
    kVendorSaveBankFile = 6,    // ptr: const char* path; answers 1 when written, else 0
    kVendorMeterValues = 7,     // ptr: float[10]; answers 1 (see MeterSnapshot for the order)
    kVendorSnapshotPng = 8,     // ptr: const char* path; the editor window as PNG; answers 1 or 0
    // ptr: const uint32_t* milliseconds. From then on the editor's clock (meter
    // ballistics, blinking, the 40 ms pass) is this host time instead of the
    // system's, so a host running faster than real time shows the meters as
    // they would be at that point of the programme. Answers 1, or 0 without editor.
    kVendorEditorClock = 9,
};

/// Answers of the load calls: 1 when loaded, else why nothing changed.
enum VendorLoadAnswer : intptr_t {
    kVendorLoaded = 1,
    kVendorNoBank = -1,
    kVendorUnreadable = -2,
    kVendorTooShort = -3,
    kVendorForeignSignature = -4,
    kVendorUnknownTag = -5,
    kVendorDamaged = -6,
    kVendorValueOutOfRange = -7,
};

}  // namespace zelto
