// Message windows: ordered queues behind ids, a pollable descriptor, and
// harmless posts to windows that are gone.
#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

#include "calidra.h"
#include "platform/MessageWindowTable.h"

namespace calidra {
namespace {

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
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

}  // namespace
}  // namespace calidra
