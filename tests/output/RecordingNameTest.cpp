#include "output/RecordingName.h"

#include <gtest/gtest.h>

namespace calidra {
namespace {

TEST(RecordingFileName, FirstFileKeepsTheClientsName) {
    EXPECT_EQ(RecordingFileName(L"/data/run.avi", 0), L"/data/run.avi");
}

TEST(RecordingFileName, CounterGoesBeforeTheExtension) {
    EXPECT_EQ(RecordingFileName(L"/data/run.avi", 1), L"/data/run_1.avi");
    EXPECT_EQ(RecordingFileName(L"/data/run.avi", 12), L"/data/run_12.avi");
    EXPECT_EQ(RecordingFileName(L"C:\\rec\\run.tar.raw", 2), L"C:\\rec\\run.tar_2.raw");
    EXPECT_EQ(RecordingFileName(L"run.avi", 3), L"run_3.avi");
}

TEST(RecordingFileName, DotsInDirectoriesAreNotExtensions) {
    EXPECT_EQ(RecordingFileName(L"/data.d/run", 1), L"/data.d/run_1");
    EXPECT_EQ(RecordingFileName(L"C:\\a.b\\run", 4), L"C:\\a.b\\run_4");
    EXPECT_EQ(RecordingFileName(L"", 1), L"_1");
}

}  // namespace
}  // namespace calidra
