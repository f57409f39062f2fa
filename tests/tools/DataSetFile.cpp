#include "DataSetFile.h"

#include "support/DataSetBytes.h"

namespace calidra::test {

void DataSetFile::Write(const std::string& path) {
    constexpr int kLevels = 16384;
    ShippedDataSet file;
    file.badPixels = {{10, 5, 0, 0}};  // direction 0: the value of the line below
    file.tag = 0x1234;
    for (int level = 0; level < kLevels; ++level) file.temperatures.push_back((level - 2595) * 125.0 / 3890.0);
    file.offsets.assign(kLevels, 0.0);
    SaveBytes(path, file.Build());
}

}  // namespace calidra::test
