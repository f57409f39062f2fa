// A camera data set ("VL-DATSET-V1011") as a camera maker ships one, built for
// the tests: identity correction planes, one defective pixel, the default
// level table and an empty block of NUC tables.
#pragma once

#include <string>

namespace calidra::test {

class DataSetFile {
public:
    static void Write(const std::string& path);
};

}  // namespace calidra::test
