// The handle registry: the circular list and its moving head, and the exported
// functions' handling of registered and unregistered handles.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "api/AnsiToWide.h"
#include "api/CSdkChain.h"
#include "calidra.h"

namespace calidra {
namespace {

CSDKDATA Record(std::uint32_t handle) { return CSDKDATA{handle, nullptr, nullptr, nullptr}; }

TEST(CTRing, EmptyListRejectsEveryHandleIncludingZero) {
    CSdkChain chain;
    EXPECT_EQ(chain.Find(0), 0);
    EXPECT_EQ(chain.Find(12345), 0);
    EXPECT_EQ(chain.Lookup(0), nullptr);
    EXPECT_EQ(chain.RemoveHead(), 0);
    EXPECT_EQ(chain.count, 0);
}

TEST(CTRing, AddInsertsBeforeTheHeadAndBecomesHead) {
    CSdkChain chain;
    CSDKDATA* a = chain.Add(Record(1));
    EXPECT_EQ(a->next, a);
    EXPECT_EQ(a->prev, a);
    CSDKDATA* b = chain.Add(Record(2));
    CSDKDATA* c = chain.Add(Record(3));
    EXPECT_EQ(chain.head, c);
    EXPECT_EQ(chain.count, 3);
    // c went in front of b, and a (the last node) kept its place.
    EXPECT_EQ(c->next, b);
    EXPECT_EQ(b->next, a);
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(c->prev, a);
}

TEST(CTRing, FindMovesTheHeadAndFindsInAnyOrder) {
    CSdkChain chain;
    chain.Add(Record(10));
    chain.Add(Record(20));
    for (std::uint32_t h : {10u, 20u, 20u, 10u}) {
        ASSERT_EQ(chain.Find(h), 1);
        EXPECT_EQ(chain.head->handle, h);
    }
    chain.Add(Record(30));
    for (std::uint32_t h : {10u, 30u, 20u, 30u, 10u}) {
        ASSERT_EQ(chain.Find(h), 1);
        EXPECT_EQ(chain.head->handle, h);
    }
}

TEST(CTRing, UnknownHandleVisitsEachNodeOnceAndStopsBeforeOldHead) {
    CSdkChain chain;
    for (std::uint32_t h = 1; h <= 5; ++h) chain.Add(Record(h));
    CSDKDATA* oldHead = chain.head;
    CSDKDATA* before = oldHead->prev;
    EXPECT_EQ(chain.Find(99), 0);
    EXPECT_EQ(chain.head, before);
    EXPECT_EQ(chain.count, 5);
}

TEST(CTRing, RemovingLeavesTheOthersReachable) {
    CSdkChain chain;
    chain.Add(Record(1));
    chain.Add(Record(2));
    chain.Add(Record(3));
    ASSERT_EQ(chain.Find(2), 1);
    ASSERT_EQ(chain.RemoveHead(), 1);
    EXPECT_EQ(chain.count, 2);
    EXPECT_EQ(chain.Find(1), 1);
    EXPECT_EQ(chain.Find(3), 1);
    EXPECT_EQ(chain.Find(2), 0);
    chain.RemoveAll();
    EXPECT_EQ(chain.head, nullptr);
    EXPECT_EQ(chain.count, 0);
}

TEST(AnsiToWide, NullStaysNullAndTextIsWidened) {
    EXPECT_EQ(AnsiToWide(nullptr).Get(), nullptr);
#if defined(_WIN32)
    AnsiToWide wide("b\xE4r.bmp");  // the ANSI code page, 1252 under the tests' locale
#else
    AnsiToWide wide("b\xC3\xA4r.bmp");
#endif
    EXPECT_STREQ(wide.Get(), L"b\u00E4r.bmp");
}

TEST(ExportedHandles, UnregisteredHandleGivesZeroAndTouchesNothing) {
    // The last one only differs from the one before where unsigned long has 64 bits.
    const unsigned long handles[] = {0ul, 1ul, 0xFFFFFFFFul, static_cast<unsigned long>(0x1FFFFFFFFull)};
    for (unsigned long h : handles) {
        int ok = 7;
        unsigned short raw[4] = {};
        float temp[4] = {};
        unsigned char color[4] = {};
        char name[32] = "x";
        wchar_t wname[32] = L"x";
        EXPECT_EQ(Calidra_Release(h), 0);
        EXPECT_EQ(Calidra_SetWindowHandle(h, nullptr), 0);
        EXPECT_EQ(Calidra_SetCameraNumber(h, 0), 0);
        EXPECT_EQ(Calidra_IsCameraEnableA(h, 0, name, 32), 0);
        EXPECT_EQ(Calidra_IsCameraEnableW(h, 0, wname, 32), 0);
        EXPECT_STREQ(name, "x");
        EXPECT_EQ(Calidra_Preview(h), 0);
        EXPECT_EQ(Calidra_Close(h), 0);
        EXPECT_EQ(Calidra_Start(h), 0);
        EXPECT_EQ(Calidra_Pause(h), 0);
        EXPECT_EQ(Calidra_OneShot(h), 0ul);
        EXPECT_EQ(Calidra_Trigger(h), 0ul);
        EXPECT_EQ(Calidra_SaveA(h, "a.bmp", 0), 0);
        EXPECT_EQ(Calidra_SaveW(h, L"a.bmp", 0), 0);
        EXPECT_EQ(Calidra_RecA(h, "a.avi", 2), 0);
        EXPECT_EQ(Calidra_RecW(h, L"a.avi", 2), 0);
        EXPECT_EQ(Calidra_GetNewID(h), 0ul);
        EXPECT_EQ(Calidra_GetRaw(h, 1, raw, sizeof raw), 0);
        EXPECT_EQ(Calidra_GetTemperature(h, 1, temp, sizeof temp), 0);
        EXPECT_EQ(Calidra_GetColor(h, 1, color, sizeof color), 0);
        EXPECT_EQ(Calidra_Nuc(h), 0);
        EXPECT_EQ(Calidra_SetOffsetValue(h, 1, 1.0), 0);
        EXPECT_EQ(Calidra_GetOffsetValue(h, 1, &ok), 0.0);
        EXPECT_EQ(Calidra_SetThermoTable(h, 1, 1.0), 0);
        EXPECT_EQ(Calidra_GetThermoTable(h, 1, &ok), 0.0);
        EXPECT_EQ(Calidra_SaveNucDataA(h, "n.dat", FILESAVETYPE_CORSET), 0);
        EXPECT_EQ(Calidra_SaveNucDataW(h, L"n.dat", FILESAVETYPE_CORSET), 0);
        EXPECT_EQ(Calidra_LoadNucDataA(h, "n.dat", FILESAVETYPE_CORSET), 0);
        EXPECT_EQ(Calidra_LoadNucDataW(h, L"n.dat", FILESAVETYPE_CORSET), 0);
        EXPECT_EQ(Calidra_SetCameraType(h, 0), 0);
        EXPECT_EQ(Calidra_GetParam(h, 8), 0);
        EXPECT_EQ(Calidra_SetParam(h, 9, 5), 0);
        EXPECT_EQ(Calidra_SetTableA(h, "t.dat"), 0);
        EXPECT_EQ(Calidra_SetTableW(h, L"t.dat"), 0);
        EXPECT_EQ(Calidra_GetInternalTemperature(h, &ok), 0.0f);
        EXPECT_EQ(Calidra_GetLastError(h), 0);
        EXPECT_EQ(ok, 7);
    }
}

TEST(ExportedHandles, InstancesAreFoundUntilReleasedOnce) {
    unsigned long a = Calidra_Initialize(nullptr);
    unsigned long b = Calidra_Initialize(nullptr);
    unsigned long c = Calidra_Initialize(nullptr);
    ASSERT_NE(a, 0ul);
    ASSERT_NE(b, 0ul);
    ASSERT_NE(c, 0ul);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(Calidra_SetWindowHandle(b, nullptr), 1);
    EXPECT_EQ(Calidra_Release(b), 1);
    EXPECT_EQ(Calidra_Release(b), 0);
    EXPECT_EQ(Calidra_SetWindowHandle(a, nullptr), 1);
    EXPECT_EQ(Calidra_SetWindowHandle(c, nullptr), 1);
    EXPECT_EQ(Calidra_Release(a), 1);
    EXPECT_EQ(Calidra_Release(c), 1);
    EXPECT_EQ(Calidra_SetWindowHandle(c, nullptr), 0);
}

TEST(ExportedHandles, VersionNeedsNoHandle) { EXPECT_EQ(Calidra_GetDllVersion(), 1311821ul); }

TEST(ExportedHandles, SetCameraTypeRecordsUnsupported) {
    unsigned long h = Calidra_Initialize(nullptr);
    for (int type : {0, 1, -1}) {
        EXPECT_EQ(Calidra_SetCameraType(h, type), 0);
        EXPECT_EQ(Calidra_GetLastError(h), ERR_UNSUPPORTED);
        EXPECT_EQ(Calidra_GetLastError(h), 0);
    }
    Calidra_Release(h);
}

TEST(ExportedHandles, ClientThreadsMayCallAndReleaseConcurrently) {
    std::vector<std::thread> clients;
    for (int t = 0; t < 4; ++t) {
        clients.emplace_back([] {
            for (int i = 0; i < 50; ++i) {
                unsigned long h = Calidra_Initialize(nullptr);
                Calidra_SetCameraType(h, 0);
                EXPECT_EQ(Calidra_GetLastError(h), ERR_UNSUPPORTED);
                EXPECT_EQ(Calidra_Release(h), 1);
            }
        });
    }
    for (auto& client : clients) client.join();
}

}  // namespace
}  // namespace calidra
