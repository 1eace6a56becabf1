// Where every control sits on the 524 × 462 window, and the panel palette.
// The artwork has to know the positions: captions and scales are printed
// around the controls, fields and readouts show the panel at their own
// rectangle, and control frames are drawn over the very panel pixels that lie
// beneath them so their corners blend in.
#pragma once

#include "Painter.h"

namespace zelto::art::layout {

constexpr int kWindowWidth = 524;
constexpr int kWindowHeight = 462;

// Parameter controls.
constexpr Rect kDetectorOrder{44, 40, 77, 59};
constexpr Rect kOversample{81, 40, 114, 59};
constexpr Rect kMode{223, 305, 258, 361};
constexpr Rect kQuantize{412, 40, 445, 59};
constexpr Rect kAutoblack{449, 40, 482, 59};
constexpr Rect kBits{412, 78, 445, 97};
constexpr Rect kNoiseShape{449, 78, 482, 97};
constexpr Rect kCalibrate{269, 341, 302, 360};
constexpr Rect kAttZoom{269, 265, 302, 284};
constexpr Rect kAttShowLim1{224, 265, 257, 284};
constexpr Rect kAttShowLim2{224, 230, 257, 249};
constexpr Rect kAttShowLevel{269, 230, 302, 249};
constexpr Rect kMeterOvs{269, 307, 302, 326};
constexpr Rect kTransientKnob{55, 169, 105, 217};
constexpr Rect kReleaseKnob{56, 267, 105, 314};
constexpr Rect kLevellerKnob{421, 169, 469, 216};
constexpr Rect kLinkKnob{421, 267, 469, 314};
constexpr Rect kTransShape{38, 121, 128, 146};
constexpr Rect kPower{245, 400, 280, 435};
constexpr Rect kDriveDial{52, 349, 108, 404};
constexpr Rect kOutputDial{417, 349, 475, 405};
constexpr Rect kAutoOut{394, 368, 412, 392};
constexpr Rect kPostMeter{116, 368, 134, 392};
constexpr Rect kLogo{224, 370, 301, 401};  // the info panel's hot spot

// Text fields: the toolkit draws the panel at their rectangle and the value
// over it, dark text on the light fields and light text on the dark ones.
constexpr Rect kDriveField{43, 409, 117, 427};
constexpr Rect kOutputField{410, 409, 484, 427};
constexpr Rect kTransientField{45, 221, 119, 239};
constexpr Rect kReleaseField{45, 319, 119, 337};
constexpr Rect kLevellerField{411, 221, 485, 239};
constexpr Rect kLinkField{411, 319, 485, 337};

// Meters and readouts.
constexpr Rect kMeterIn{147, 38, 207, 408};
constexpr Rect kMeterOut{319, 38, 379, 406};
constexpr Rect kMeterGR{233, 39, 291, 192};
constexpr Rect kReadoutIn{131, 415, 224, 426};
constexpr Rect kReadoutOut{303, 415, 396, 426};
constexpr Rect kReadoutGR{217, 199, 310, 210};
constexpr int kScaleInX = 164, kScaleOutX = 335, kScaleY = 38;
constexpr int kBarTop = 42, kBarBottom = 402;  // 360 pixels, 6 per dB
constexpr int kBarWidth = 15;
constexpr int kInBarLeftX = 150, kInBarRightX = 191;
constexpr int kOutBarLeftX = 320, kOutBarRightX = 363;
constexpr int kGrBarLeftX = 234, kGrBarRightX = 275;

// Preset strip along the bottom edge.
constexpr int kStripTop = 443;
constexpr Rect kNameField{194, 447, 318, 461};
constexpr Rect kProgramMenu{320, 448, 333, 460};
constexpr Rect kRocker{340, 447, 370, 460};
constexpr Rect kSaveBank{22, 447, 39, 462};
constexpr Rect kDefaultBank{39, 447, 71, 460};
constexpr Rect kLoadBank{72, 447, 89, 462};
constexpr Rect kSavePreset{104, 447, 121, 462};
constexpr Rect kDefaultPreset{122, 447, 166, 460};
constexpr Rect kLoadPreset{166, 447, 183, 462};
constexpr Rect kStoreA{388, 447, 405, 462};
constexpr Rect kRecallA{421, 447, 438, 462};
constexpr Rect kStoreB{452, 447, 469, 462};
constexpr Rect kRecallB{486, 447, 503, 462};
constexpr Rect kManual{510, 449, 521, 458};

// Wooden cheeks on both sides, above the preset strip.
constexpr int kCheekWidth = 16;

}  // namespace zelto::art::layout

namespace zelto::art::palette {

constexpr Rgb kPanelTop = rgb(46, 48, 52);
constexpr Rgb kPanelBottom = rgb(34, 36, 39);
constexpr Rgb kWell = rgb(17, 18, 20);
constexpr Rgb kTitle = rgb(212, 216, 222);
// Small captions: bright enough that thin antialiased strokes keep at least
// 4.5:1 against the panel.
constexpr Rgb kLabel = rgb(232, 236, 242);
constexpr Rgb kTick = rgb(118, 124, 132);
constexpr Rgb kAccent = rgb(72, 162, 255);
constexpr Rgb kAccentLight = rgb(150, 205, 255);
constexpr Rgb kWarn = rgb(240, 78, 56);

// Colours the views draw with: text fields, readout cells, the info panel.
constexpr Rgb kFieldLight = rgb(200, 200, 200);
constexpr Rgb kFieldDark = rgb(37, 36, 35);
constexpr Rgb kNameLight = rgb(209, 227, 238);
constexpr Rgb kLcdLight = rgb(213, 236, 246);
constexpr Rgb kLcdDark = rgb(79, 79, 79);
constexpr Rgb kOverRed = rgb(229, 53, 5);

// Meter colour rows.
constexpr Rgb kMeterRed = rgb(229, 53, 5);
constexpr Rgb kMeterOrange = rgb(255, 140, 0);
constexpr Rgb kMeterYellow = rgb(255, 214, 0);
constexpr Rgb kMeterYellowGreen = rgb(168, 214, 0);
constexpr Rgb kMeterGreen = rgb(40, 200, 64);

}  // namespace zelto::art::palette
