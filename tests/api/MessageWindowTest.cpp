// Message windows: ordered queues behind ids, a pollable descriptor, and
// harmless posts to windows that are gone; on Windows, real windows that the
// library posts to with PostMessageW.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <poll.h>
#endif

#include <cstdint>
#include <thread>
#include <vector>

#include "calidra.h"
#include "calidra_sim.h"
#include "platform/MessageWindowTable.h"

namespace calidra {
namespace {

// The descriptor polls readable; on Windows the event is signalled.
bool Readable(int fd) {
#if defined(_WIN32)
    return WaitForSingleObject(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd)), 0) == WAIT_OBJECT_0;
#else
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
#endif
}

TEST(MessageWindow, PostsArriveInOrderAndTheFdTracksTheQueue) {
    auto& table = MessageWindowTable::Instance();
    HWND window = CalidraWindow_Create();
    ASSERT_NE(window, nullptr);
    int fd = CalidraWindow_Fd(window);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(Readable(fd));
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(table.Post(window, WM_CAMERA_FRAME, 0, i));
    EXPECT_TRUE(Readable(fd));
    CALIDRA_MSG msg{};
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(CalidraWindow_WaitMessage(window, &msg, 0), 1);
        EXPECT_EQ(msg.lParam, i);
        EXPECT_EQ(msg.message, static_cast<unsigned>(WM_CAMERA_FRAME));
    }
    EXPECT_FALSE(Readable(fd));
    EXPECT_EQ(CalidraWindow_WaitMessage(window, &msg, 10), 0);
    EXPECT_EQ(CalidraWindow_Destroy(window), 1);
}

TEST(MessageWindow, AFullQueueRefusesAndCountsPostsUntilTheClientReads) {
    auto& table = MessageWindowTable::Instance();
    HWND window = CalidraWindow_Create();
    for (int i = 0; i < 10000; ++i) ASSERT_TRUE(table.Post(window, WM_CAMERA_FRAME, 0, i));
    EXPECT_FALSE(table.Post(window, WM_CAMERA_FRAME, 0, 10000));
    EXPECT_FALSE(table.Post(window, WM_CAMERA_ERROR, 0, 4));
    EXPECT_EQ(CalidraWindow_Dropped(window), 2);
    CALIDRA_MSG msg{};
    ASSERT_EQ(CalidraWindow_WaitMessage(window, &msg, 0), 1);
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_TRUE(table.Post(window, WM_CAMERA_FRAME, 0, 10001));
    EXPECT_EQ(CalidraWindow_Dropped(window), 2);
    CalidraWindow_Destroy(window);
    EXPECT_EQ(CalidraWindow_Dropped(window), -1);
}

TEST(MessageWindow, DestroyedAndMadeUpWindowsFailHarmlessly) {
    auto& table = MessageWindowTable::Instance();
    HWND window = CalidraWindow_Create();
    ASSERT_EQ(CalidraWindow_Destroy(window), 1);
    EXPECT_EQ(CalidraWindow_Destroy(window), 0);
    EXPECT_FALSE(table.Post(window, WM_CAMERA_ERROR, 0, 4));
    CALIDRA_MSG msg{};
    EXPECT_EQ(CalidraWindow_WaitMessage(window, &msg, 0), -1);
    EXPECT_EQ(CalidraWindow_Fd(window), -1);
    HWND madeUp = reinterpret_cast<HWND>(0xDEADBEEF);
    EXPECT_FALSE(table.Post(madeUp, WM_CAMERA_ERROR, 0, 4));
    EXPECT_FALSE(table.Post(nullptr, WM_CAMERA_ERROR, 0, 4));
    EXPECT_EQ(CalidraWindow_WaitMessage(madeUp, &msg, 0), -1);
    EXPECT_EQ(CalidraWindow_WaitMessage(CalidraWindow_Create(), nullptr, 0), -1);
}

TEST(MessageWindow, AWaiterWakesForAPostFromAnotherThread) {
    HWND window = CalidraWindow_Create();
    std::thread poster([window] { MessageWindowTable::Instance().Post(window, WM_CAMERA_FRAME, 0, 77); });
    CALIDRA_MSG msg{};
    ASSERT_EQ(CalidraWindow_WaitMessage(window, &msg, 30000), 1);
    EXPECT_EQ(msg.lParam, 77);
    poster.join();
    CalidraWindow_Destroy(window);
}

TEST(MessageWindow, DestroyWakesAWaiter) {
    HWND window = CalidraWindow_Create();
    std::thread destroyer([window] { CalidraWindow_Destroy(window); });
    CALIDRA_MSG msg{};
    int result = CalidraWindow_WaitMessage(window, &msg, 30000);
    EXPECT_EQ(result, -1);
    destroyer.join();
}

#if defined(_WIN32)
TEST(MessageWindow, AClientsMessageOnlyWindowGetsFramesWhoseIdsRead) {
    CalidraSim_Reset();
    HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const unsigned long handle = Calidra_Initialize(window);
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    SetTimer(window, 1, 30000, nullptr);  // the hang guard
    MSG msg;
    unsigned long id = 0;
    while (id == 0 && GetMessageW(&msg, window, 0, 0) > 0 && msg.message != WM_TIMER)
        if (msg.message == WM_CAMERA_FRAME) id = static_cast<std::uint32_t>(msg.lParam);
    ASSERT_NE(id, 0u) << "no WM_CAMERA_FRAME within 30 s";
    std::vector<unsigned short> raw(640 * 480);
    EXPECT_EQ(Calidra_GetRaw(handle, id, raw.data(), static_cast<unsigned long>(raw.size() * 2)), 1);
    EXPECT_EQ(Calidra_Release(handle), 1);
    DestroyWindow(window);
}

TEST(MessageWindow, ALibraryWindowIsARealWindowThatAnyonePostsTo) {
    HWND window = CalidraWindow_Create();
    ASSERT_TRUE(IsWindow(window));
    ASSERT_TRUE(PostMessageW(window, WM_APP + 7, 0, 42));
    CALIDRA_MSG msg{};
    ASSERT_EQ(CalidraWindow_WaitMessage(window, &msg, 30000), 1);
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_APP + 7));
    EXPECT_EQ(msg.lParam, 42);
    EXPECT_EQ(CalidraWindow_Destroy(window), 1);
    EXPECT_FALSE(PostMessageW(window, WM_APP + 7, 0, 42));
}
#endif

}  // namespace
}  // namespace calidra
