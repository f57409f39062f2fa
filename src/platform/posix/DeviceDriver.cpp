// No camera driver exists for this platform: only an installed one (the
// virtual camera of src/driver) answers.
#include "platform/DeviceDriver.h"

namespace calidra {

DeviceDriver* DeviceDriver::Platform() { return nullptr; }

}  // namespace calidra
