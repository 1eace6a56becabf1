// Everything an editor needs from the toolkit, in one include.
//
// In short:
//  - Views and controls are reference counted: `new` gives one reference,
//    CFrame::addView takes it over, CFrame::close releases everything.
//    Bitmaps likewise: a control remembers its bitmap, so the creator
//    forgets its own reference after handing it over.
//  - A frame runs offscreen until open(parent) embeds it in the host's X
//    window; idle() handles window events and repaints what is dirty.
//    Offscreen, tests drive it with injectMouseDown/Up/Moved/Wheel and
//    injectKeyDown/Up, read pixels with getPixel and write a PNG with
//    snapshotPng.
//  - setValue, setDirty/invalid, CTextEdit::setText and the option menu's
//    titles and current entry may be set from any thread; everything else
//    is for the user-interface thread, inside the host's editor calls.
//  - File dialogs: CNewFileSelector; tests install a FileSelectorScript.
#pragma once

#include "toolkit/AEffGUIEditor.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CButtonState.h"
#include "toolkit/CColor.h"
#include "toolkit/CControl.h"
#include "toolkit/CControlListener.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFileExtension.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CFrame.h"
#include "toolkit/CNewFileSelector.h"
#include "toolkit/CPoint.h"
#include "toolkit/CRect.h"
#include "toolkit/CView.h"
#include "toolkit/TextFormat.h"
#include "toolkit/VSTGUIEditorInterface.h"
#include "toolkit/VstKeys.h"
#include "toolkit/controls/CAnimKnob.h"
#include "toolkit/controls/CKickButton.h"
#include "toolkit/controls/CKnob.h"
#include "toolkit/controls/COnOffButton.h"
#include "toolkit/controls/COptionMenu.h"
#include "toolkit/controls/CParamDisplay.h"
#include "toolkit/controls/CRockerSwitch.h"
#include "toolkit/controls/CTextEdit.h"
