#include "output/FileAccess.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pipeline/ThermoTable.h"
#include "platform/File.h"
#include "platform/ModuleResources.h"
#include "platform/TextConversion.h"
#include "resources/BuiltinTables.h"
#include "support/BuildPaths.h"

namespace calidra {
namespace {

class FileAccessTest : public testing::Test {
protected:
    void SetUp() override {
        std::string name = std::string(calidra::test::TempRoot()) + "/FileAccess_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
        path_ = TextConversion::WideFromNarrow(name.c_str());
        File::Remove(path_.c_str());
    }
    void TearDown() override { File::Remove(path_.c_str()); }

    void Put(const std::string& content) {
        std::ofstream out(File::SystemPath(path_.c_str()), std::ios::binary | std::ios::trunc);
        out << content;
    }
    std::string Contents() const {
        std::ifstream in(File::SystemPath(path_.c_str()), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::wstring path_;
};

TEST_F(FileAccessTest, OpenForWriteEmptiesOrCreates) {
    FileAccess file;
    ASSERT_TRUE(file.OpenForWrite(path_.c_str()));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Write("abc", 3));
    file.Close();
    EXPECT_EQ(Contents(), "abc");

    Put("a much longer old content");
    ASSERT_TRUE(file.OpenForWrite(path_.c_str()));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_TRUE(file.Write("xy", 2));
    file.Close();
    EXPECT_EQ(Contents(), "xy");
}

TEST_F(FileAccessTest, OpenAlwaysWritesFromTheFirstByteAndKeepsTheTail) {
    Put("0123456789");
    FileAccess file;
    ASSERT_TRUE(file.OpenAlways(path_.c_str()));
    EXPECT_EQ(file.Size(), 10u);
    EXPECT_TRUE(file.Write("ab", 2));
    file.Close();
    EXPECT_EQ(Contents(), "ab23456789");

    File::Remove(path_.c_str());
    ASSERT_TRUE(file.OpenAlways(path_.c_str()));
    EXPECT_EQ(file.Size(), 0u);
}

TEST_F(FileAccessTest, SeekPatchesAndSeekToEndAppends) {
    FileAccess file;
    ASSERT_TRUE(file.OpenForWrite(path_.c_str()));
    ASSERT_TRUE(file.Write("hello", 5));
    ASSERT_TRUE(file.Seek(1));
    ASSERT_TRUE(file.Write("E", 1));
    ASSERT_TRUE(file.SeekToEnd());
    EXPECT_EQ(file.FilePosition(), 5u);
    ASSERT_TRUE(file.Write("!", 1));
    file.Close();
    EXPECT_EQ(Contents(), "hEllo!");
}

TEST_F(FileAccessTest, WriteWithoutAFileFails) {
    FileAccess file;
    EXPECT_FALSE(file.Write("a", 1));
    EXPECT_FALSE(file.Seek(0));
    EXPECT_FALSE(file.SeekToEnd());
    EXPECT_FALSE(file.OpenForWrite(nullptr));
    const std::wstring missingDirectory = path_ + L".missing/file";
    EXPECT_FALSE(file.OpenForWrite(missingDirectory.c_str()));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Write("a", 1));
}

TEST_F(FileAccessTest, LoadReadsTheWholeFile) {
    Put(std::string("\x01\x00\x02", 3));
    FileAccess file;
    const std::uint8_t* block = file.Load(path_.c_str());
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(file.Size(), 3u);
    EXPECT_EQ(file.Begin(), block);
    EXPECT_EQ(file.Position(), block);
    EXPECT_EQ(file.End(), block + 3);
    EXPECT_EQ(block[2], 2);
    EXPECT_FALSE(file.IsOpen());
    file.Close();
    EXPECT_EQ(file.Begin(), nullptr);
    EXPECT_EQ(file.Size(), 0u);
}

TEST_F(FileAccessTest, LoadOfAnEmptyFileGivesAnEmptyBlock) {
    Put("");
    FileAccess file;
    const std::uint8_t* block = file.Load(path_.c_str());
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(file.Begin(), file.End());
    EXPECT_EQ(file.Size(), 0u);
}

TEST_F(FileAccessTest, LoadOfAMissingFileOrResourceFails) {
    FileAccess file;
    ASSERT_TRUE(file.OpenForWrite(path_.c_str()));
    const std::wstring missing = path_ + L".missing";
    EXPECT_EQ(file.Load(missing.c_str()), nullptr);
    EXPECT_FALSE(file.IsOpen());

    ModuleResources module;
    EXPECT_EQ(file.Load(114, &module, L"TBL"), nullptr);
    EXPECT_EQ(file.Load(999, nullptr, L"TBL"), nullptr);
    EXPECT_EQ(file.Load(114, nullptr, L"OTHER"), nullptr);
    EXPECT_EQ(file.Begin(), nullptr);
    EXPECT_EQ(file.End(), nullptr);
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileAccessTest, LoadOfAResourceBorrowsTheModulesBlock) {
    static const std::uint8_t kBlock[] = {4, 3, 2, 1};
    ModuleResources module;
    ASSERT_TRUE(module.Add({L"TBL", 5, kBlock, sizeof kBlock}));
    FileAccess file;
    EXPECT_EQ(file.Load(5, &module, L"TBL"), kBlock);
    EXPECT_EQ(file.End(), kBlock + 4);
    EXPECT_EQ(file.Size(), 4u);
}

// The path an instance takes at start-up: each built-in table through the file
// access object into a thermo table.
TEST_F(FileAccessTest, BuiltInTablesLoadIntoThermoTables) {
    for (std::uint32_t id : {BuiltinTables::kThermoNormalId, BuiltinTables::kThermoHighId}) {
        FileAccess file;
        const std::uint8_t* block = file.Load(id, nullptr, BuiltinTables::kType);
        ASSERT_NE(block, nullptr) << id;
        EXPECT_EQ(file.Size(), 131076u);
        ThermoTable table;
        ASSERT_TRUE(table.Load(block, file.Size(), 0));
        table.BuildLookup();
        EXPECT_EQ(table.TemperatureOf(0), -999.0f);
        EXPECT_EQ(table.TemperatureOf(10), id == 114 ? -270.72f : -219.15f);
        EXPECT_EQ(table.TemperatureOf(16382), id == 114 ? 178.23f : 825.87f);
    }
}

}  // namespace
}  // namespace calidra
