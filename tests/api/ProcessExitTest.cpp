// A client that ends its process while instances still preview, or unloads
// nothing at all, must not crash on the way out: the threads are stopped
// before anything they use goes away.
#include <gtest/gtest.h>

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
// Instances the client never released are stopped at exit but, as ever, not
// destroyed: their memory is the client's leak, not the library's.
namespace {
volatile int clientLeaksInstances = 0;
}
extern "C" __attribute__((visibility("default"))) int __lsan_is_turned_off() { return clientLeaksInstances; }
#endif

#include "calidra.h"
#include "calidra_sim.h"

namespace {

void ExitWhilePreviewing(int instances) {
    CalidraSim_Reset();
    CalidraSim_SetFrameRate(0, 0.0);
    HWND window = CalidraWindow_Create();
    for (int i = 0; i < instances; ++i) {
        unsigned long handle = Calidra_Initialize(window);
        if (handle == 0 || Calidra_Preview(handle) != 1) std::_Exit(3);
    }
    CALIDRA_MSG msg;
    int frames = 0;
    while (frames < 3 && CalidraWindow_WaitMessage(window, &msg, 30000) == 1)
        if (msg.message == WM_CAMERA_FRAME) ++frames;
#if defined(__SANITIZE_ADDRESS__)
    clientLeaksInstances = 1;
#endif
    std::exit(frames == 3 ? 0 : 4);
}

TEST(ProcessExit, ExitingWhilePreviewingEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWhilePreviewing(1), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(ExitWhilePreviewing(2), ::testing::ExitedWithCode(0), "");
}

}  // namespace
