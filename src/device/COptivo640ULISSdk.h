// The device object of the 640 x 480 microbolometer camera: the sensor-kind
// tag its device paths carry, its way of setting the transfer format, and its
// camera set-up.
#pragma once

#include "device/COPVSdkLib.h"

namespace calidra {

class COptivo640ULISSdk final : public COPVSdkLib {
public:
    static constexpr const char* kSensorTag = "Opvo640ULIS";

    // Probes device indexes 0 to 7 and sets camera 0 up; the object exists
    // whether or not any camera answers.
    COptivo640ULISSdk();
    // A stream still running is ended before the buffers go.
    ~COptivo640ULISSdk() = default;

    // Records the flag and sends command 0x0A with 16-bit transfers whatever
    // the flag; the camera's format register 14 then gets 9 (16-bit) or 8
    // (8-bit). Returns 1; failures are not reported.
    int SetTransferMode(int flag) override;

    // Selects camera index and returns the sensor, the correction tables and
    // the window to their defaults: kOk, or kInvalidIndex for an index outside
    // 0 to 7 (then only the trigger and transfer-mode flags are reset).
    Result SetupCamera(int index);
};

}  // namespace calidra
