// Told when the user changes a control. Called on the user-interface thread.
#pragma once

#include <cstdint>

#include "toolkit/CButtonState.h"

class CControl;

class CControlListener {
  public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    virtual int32_t controlModifierClicked(CControl* /*control*/, CButtonState /*buttons*/) {
        return 0;
    }
    virtual void controlBeginEdit(CControl* /*control*/) {}
    virtual void controlEndEdit(CControl* /*control*/) {}
};
