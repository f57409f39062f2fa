// Which driver answers the device paths.
#include <gtest/gtest.h>

#include "platform/DeviceDriver.h"
#include "platform/DeviceIo.h"
#if defined(_WIN32)
#include "platform/win32/KernelDriver.h"
#endif

namespace calidra {
namespace {

class AnyPath final : public DeviceDriver {
public:
    std::uint64_t Open(const char*) override { return 1; }
    bool Control(std::uint64_t, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t,
                 std::uint32_t*) override {
        return true;
    }
    void Close(std::uint64_t) override {}
};

TEST(DeviceIo, TheDriverThatAnsweredTheFirstOpenKeepsAnswering) {
    AnyPath first, second;
    EXPECT_EQ(DeviceDriver::Installed(), DeviceDriver::Platform());
    EXPECT_TRUE(DeviceDriver::InstallBeforeFirstOpen(&first));
    EXPECT_TRUE(DeviceDriver::InstallBeforeFirstOpen(&second));
    EXPECT_NE(DeviceIo::Open("\\\\.\\Opvo640ULIS-0"), 0u);
    EXPECT_FALSE(DeviceDriver::InstallBeforeFirstOpen(&first));
    EXPECT_EQ(DeviceDriver::Installed(), &second);
    DeviceDriver::Install(nullptr);
    EXPECT_EQ(DeviceDriver::Installed(), DeviceDriver::Platform());
}

#if defined(_WIN32)
// The camera maker's driver answers by default; where it is not installed (as
// under test) its device paths do not open, as on a PC without the camera.
TEST(KernelDriver, IsThePlatformsDriverAndWithoutTheDriverNoPathOpens) {
    EXPECT_NE(dynamic_cast<KernelDriver*>(DeviceDriver::Platform()), nullptr);
    KernelDriver driver;
    EXPECT_EQ(driver.Open("\\\\.\\Opvo640ULIS-0"), 0u);
}
#endif

}  // namespace
}  // namespace calidra
