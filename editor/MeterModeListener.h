// What the editor offers the controls that set up the meters: the mode
// button writes "MeterType" and "Scale" through it, and a right click on a
// preference button or the mode button stores the metering set-up as the
// default of every new instance. The editor implements it; tests use a fake.
// User-interface thread only.
#pragma once

#include <cstdint>

class MeterModeListener {
  public:
    virtual ~MeterModeListener() = default;
    /// Stores the six metering preferences and flashes the buttons that hold them.
    virtual void saveMeterPrefs() = 0;
    /// 0 = peak metering, 1 = K-system.
    virtual void setMeterType(int32_t type) = 0;
    /// 0 = K-12, 1 = K-14, 2 = K-20.
    virtual void setMeterScale(int32_t scale) = 0;
};
