// The error stack and the WM_CAMERA_ERROR notification.
#include <gtest/gtest.h>

#include "calidra.h"
#include "instance/CCalidra.h"

namespace calidra {
namespace {

TEST(ErrorStack, CodesComeOutNewestFirst) {
    CCalidra instance;
    EXPECT_EQ(instance.GetLastError(), 0);
    instance.SetError(ERR_CAMERA);
    instance.SetError(ERR_ARGUMENT);
    EXPECT_EQ(instance.GetLastError(), 5);
    EXPECT_EQ(instance.GetLastError(), 2);
    EXPECT_EQ(instance.GetLastError(), 0);
}

TEST(ErrorStack, EveryCodeIsPostedToTheClientWindowInOrder) {
    HWND window = CalidraWindow_Create();
    ASSERT_NE(window, nullptr);
    CCalidra instance;
    instance.Init(window);
    instance.SetError(ERR_FILE);
    instance.SetError(ERR_MEMORY);
    CALIDRA_MSG msg{};
    ASSERT_EQ(CalidraWindow_WaitMessage(window, &msg, 1000), 1);
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_CAMERA_ERROR));
    EXPECT_EQ(msg.lParam, ERR_FILE);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.window, window);
    ASSERT_EQ(CalidraWindow_WaitMessage(window, &msg, 1000), 1);
    EXPECT_EQ(msg.lParam, ERR_MEMORY);
    EXPECT_EQ(CalidraWindow_WaitMessage(window, &msg, 0), 0);
    CalidraWindow_Destroy(window);
}

TEST(ErrorStack, NullWindowPostsNothingButStillStacks) {
    HWND window = CalidraWindow_Create();
    unsigned long h = Calidra_Initialize(window);
    EXPECT_EQ(Calidra_SetWindowHandle(h, nullptr), 1);
    EXPECT_EQ(Calidra_SetCameraNumber(h, 8), 0);
    CALIDRA_MSG msg{};
    EXPECT_EQ(CalidraWindow_WaitMessage(window, &msg, 0), 0);
    EXPECT_EQ(Calidra_GetLastError(h), ERR_CAMERA);
    Calidra_Release(h);
    CalidraWindow_Destroy(window);
}

TEST(ErrorStack, ADestroyedWindowLosesPostsHarmlessly) {
    HWND window = CalidraWindow_Create();
    unsigned long h = Calidra_Initialize(window);
    CalidraWindow_Destroy(window);
    EXPECT_EQ(Calidra_SetCameraType(h, 0), 0);
    EXPECT_EQ(Calidra_GetLastError(h), ERR_UNSUPPORTED);
    // A made-up window is no different.
    EXPECT_EQ(Calidra_SetWindowHandle(h, reinterpret_cast<HWND>(0x1234)), 1);
    EXPECT_EQ(Calidra_SetCameraType(h, 0), 0);
    EXPECT_EQ(Calidra_GetLastError(h), ERR_UNSUPPORTED);
    Calidra_Release(h);
}

}  // namespace
}  // namespace calidra
