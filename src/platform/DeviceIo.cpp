#include "platform/DeviceIo.h"

#include <atomic>

#include "platform/DeviceDriver.h"

namespace calidra {

namespace {

std::atomic<DeviceDriver*>& InstalledDriver() {
    static std::atomic<DeviceDriver*> driver{nullptr};
    return driver;
}

}  // namespace

void DeviceDriver::Install(DeviceDriver* driver) { InstalledDriver().store(driver, std::memory_order_release); }

DeviceDriver* DeviceDriver::Installed() { return InstalledDriver().load(std::memory_order_acquire); }

DeviceHandle DeviceIo::Open(const char* path) {
    DeviceDriver* driver = DeviceDriver::Installed();
    if (driver == nullptr || path == nullptr) return 0;
    return driver->Open(path);
}

bool DeviceIo::Control(DeviceHandle handle, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                       std::uint32_t outLength, std::uint32_t* bytesReturned) {
    DeviceDriver* driver = DeviceDriver::Installed();
    std::uint32_t ignored = 0;
    if (bytesReturned == nullptr) bytesReturned = &ignored;
    *bytesReturned = 0;
    if (driver == nullptr || handle == 0) return false;
    return driver->Control(handle, code, in, inLength, out, outLength, bytesReturned);
}

bool DeviceIo::Close(DeviceHandle handle) {
    DeviceDriver* driver = DeviceDriver::Installed();
    if (driver == nullptr || handle == 0) return false;
    driver->Close(handle);
    return true;
}

}  // namespace calidra
