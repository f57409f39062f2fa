// Where this build's tests write their files. The path is compiled into
// BuildPaths.cpp alone, so every other test source compiles the same in any
// clone of the sources, and a compiler cache can hand its object back.
#pragma once

namespace calidra::test {

const char* TempRoot();

}  // namespace calidra::test
