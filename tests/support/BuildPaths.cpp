#include "support/BuildPaths.h"

namespace calidra::test {

const char* TempRoot() { return CALIDRA_TEST_TMP; }

}  // namespace calidra::test
