#include "platform/DeviceIo.h"

#include <atomic>
#include <mutex>

#include "platform/DeviceDriver.h"

namespace calidra {

namespace {

// Every control call reads the driver; only opens and installs take the lock,
// which keeps the first open and a later install apart.
struct Routing {
    std::mutex lock;  // guards opened and every store to installed
    std::atomic<DeviceDriver*> installed{nullptr};
    bool opened = false;
};

DeviceDriver* Answering(DeviceDriver* installed) { return installed != nullptr ? installed : DeviceDriver::Platform(); }

Routing& TheRouting() {
    static Routing routing;
    return routing;
}

// The driver that answers an open, which from now on fixes the driver chosen.
DeviceDriver* DriverForOpen() {
    Routing& routing = TheRouting();
    std::lock_guard<std::mutex> guard(routing.lock);
    routing.opened = true;
    return Answering(routing.installed.load(std::memory_order_relaxed));
}

}  // namespace

void DeviceDriver::Install(DeviceDriver* driver) {
    Routing& routing = TheRouting();
    std::lock_guard<std::mutex> guard(routing.lock);
    routing.installed.store(driver, std::memory_order_release);
}

bool DeviceDriver::InstallBeforeFirstOpen(DeviceDriver* driver) {
    Routing& routing = TheRouting();
    std::lock_guard<std::mutex> guard(routing.lock);
    if (!routing.opened) routing.installed.store(driver, std::memory_order_release);
    return Answering(routing.installed.load(std::memory_order_relaxed)) == driver;
}

DeviceDriver* DeviceDriver::Installed() { return Answering(TheRouting().installed.load(std::memory_order_acquire)); }

DeviceHandle DeviceIo::Open(const char* path) {
    if (path == nullptr) return 0;
    DeviceDriver* driver = DriverForOpen();
    return driver == nullptr ? 0 : driver->Open(path);
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
