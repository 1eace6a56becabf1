// Reference counting for views, bitmaps, fonts and dialogs: whoever keeps a
// pointer calls remember(), and forget() when done; the last forget deletes.
// The count is atomic, but the object it guards is not made thread-safe by
// it: each class says which of its operations other threads may call.
#pragma once

#include <atomic>
#include <cstdint>

class CBaseObject {
  public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) : refCount(1) {}
    CBaseObject& operator=(const CBaseObject&) { return *this; }
    virtual ~CBaseObject() = default;

    void remember() { refCount.fetch_add(1, std::memory_order_relaxed); }
    void forget() {
        if (refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    int32_t getNbReference() const { return refCount.load(std::memory_order_relaxed); }

  private:
    std::atomic<int32_t> refCount{1};
};
