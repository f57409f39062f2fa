// What every test of the calidra tool needs: a scratch folder of its own and
// a way to run the tool in it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestFiles.h"

namespace calidra::test {

class ToolFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = TestFiles::ScratchDir(std::string(info->test_suite_name()) + "." + info->name());
    }

    ProcessResult Run(const std::string& program, std::vector<std::string> args,
                      std::chrono::seconds timeout = std::chrono::seconds(120)) {
        args.insert(args.begin(), program);
        return ChildProcess::Run(args, dir_, timeout);
    }
    ProcessResult Tool(std::vector<std::string> args, std::chrono::seconds timeout = std::chrono::seconds(120)) {
        return Run(BuiltPrograms::kTool, std::move(args), timeout);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // The full path of an installed program, or empty.
    static std::string FindProgram(const std::string& name);

    std::string dir_;
};

// Everything the process wrote, for failure messages.
std::string Describe(const ProcessResult& result);

}  // namespace calidra::test
