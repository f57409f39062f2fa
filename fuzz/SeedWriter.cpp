// Writes the seed corpora of the fuzz targets: valid files, each into the
// folder named after its target under the directory given. What the library
// writes itself (correction data, the built-in thermo tables) comes from the
// library; the data-set and table layouts it only reads are put together field
// by field, with small planes and tables so the seeds stay small.
//
//   calidra_fuzz_seeds <directory>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "device/CorrectionPlanes.h"
#include "device/SensorFrame.h"
#include "output/CorrectionFile.h"
#include "platform/LittleEndian.h"
#include "platform/ModuleResources.h"
#include "resources/BuiltinTables.h"
#include "support/DataSetBytes.h"

namespace calidra {
namespace {

using test::Bytes;
using test::DataSetBytes;
using test::Put32;
using test::PutText;
using test::SaveBytes;
namespace fs = std::filesystem;

Bytes Load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes DataSet(const std::vector<Bytes>& sections, const std::string& version = "1011") {
    DataSetBytes file(version);
    for (const Bytes& data : sections) file.Section(data);
    return file.bytes();
}

Bytes BadPixelSection(int count) {
    std::vector<test::BadPixelRecord> records;
    for (int i = 0; i < count; ++i) {
        records.push_back({i * 97 % kFrameWidth, i * 31 % kFrameHeight, i % 2, 0});
    }
    return test::BadPixelSection(records, static_cast<std::uint32_t>(count));
}

Bytes SettingsSection(const std::string& version) {
    return test::SettingsSection("VL-SETTING-" + version, test::kShippedSensorValues, 6000);
}

// Four planes of pixels doubles each, the first pixels of a 640 x 480 frame.
Bytes PlaneSection(int pixels) {
    return test::PlaneSection(0x1234, 1024.0, static_cast<std::size_t>(pixels), [](int k, std::size_t i) {
        return k == 0 ? 1.0 + static_cast<double>(i) / 64.0 : k * 3.0;
    });
}

Bytes LevelSection(int count) {
    std::vector<double> values(2 * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        values[static_cast<std::size_t>(i)] = -40.0 + 190.0 * i / count;
        values[static_cast<std::size_t>(count + i)] = 0.25 * i;
    }
    return test::LevelSection(static_cast<std::uint32_t>(count), values, {100, 101, 102, 103, 104});
}

Bytes NucBlock(int width, int height, int records) { return test::NucBlock(width, height, records, records, 1); }

bool WriteDataSetSeeds(const fs::path& dir) {
    bool ok = SaveBytes(dir / "small-1011", DataSet({BadPixelSection(3), SettingsSection("1011"), PlaneSection(16),
                                                     LevelSection(16), NucBlock(2, 2, 2)}));
    ok &= SaveBytes(dir / "old-1000", DataSet({BadPixelSection(0), SettingsSection("1000"), PlaneSection(4),
                                               LevelSection(4), NucBlock(3, 2, 1)},
                                              "1000"));
    ok &= SaveBytes(dir / "no-nuc",
                    DataSet({BadPixelSection(8), SettingsSection("1011"), PlaneSection(1), LevelSection(2)}));
    return ok;
}

bool WriteNucTableSeeds(const fs::path& dir) {
    bool ok = SaveBytes(dir / "2x2-two", NucBlock(2, 2, 2));
    ok &= SaveBytes(dir / "4x3-three", NucBlock(4, 3, 3));
    ok &= SaveBytes(dir / "empty", NucBlock(640, 480, 0));
    return ok;
}

// Thermo tables: the index byte the target reads first, then the block.
Bytes WithIndex(std::uint8_t index, const Bytes& block) {
    Bytes input{index};
    input.insert(input.end(), block.begin(), block.end());
    return input;
}

Bytes Points(const std::uint8_t* bare, std::size_t size, std::size_t step, std::size_t count) {
    Bytes points;
    const std::size_t available = size < 4 ? 0 : (size - 4) / 8;
    for (std::size_t k = 0; k < count && k * step < available; ++k) {
        const std::uint8_t* point = bare + 4 + 8 * k * step;
        points.insert(points.end(), point, point + 8);
    }
    return points;
}

Bytes Counted(const Bytes& points) {
    Bytes table(4);
    PutLE32(table.data(), static_cast<std::uint32_t>(points.size() / 8));
    table.insert(table.end(), points.begin(), points.end());
    return table;
}

bool WriteThermoTableSeeds(const fs::path& dir) {
    const std::uint8_t* normal = nullptr;
    const std::uint8_t* high = nullptr;
    std::size_t normalSize = 0, highSize = 0;
    if (!ModuleResources::Library().Find(BuiltinTables::kThermoNormalId, BuiltinTables::kType, normal, normalSize) ||
        !ModuleResources::Library().Find(BuiltinTables::kThermoHighId, BuiltinTables::kType, high, highSize)) {
        return false;
    }
    bool ok = SaveBytes(dir / "bare-normal", WithIndex(0, Bytes(normal, normal + normalSize)));
    ok &= SaveBytes(dir / "bare-high", WithIndex(0, Bytes(high, high + highSize)));
    ok &= SaveBytes(dir / "bare-short", WithIndex(0, Counted(Points(normal, normalSize, 800, 20))));

    Bytes single;
    PutText(single, 0, "VELMAR THERMO TABLE 1000");
    const Bytes singleTable = Counted(Points(high, highSize, 400, 40));
    single.insert(single.end(), singleTable.begin(), singleTable.end());
    ok &= SaveBytes(dir / "single", WithIndex(0, single));

    // A collection of two tables: count, directory, then each table's count and points.
    Bytes collection;
    PutText(collection, 0, "VELMAR THERMO TABLE 2000");
    Put32(collection, 24, 2);
    const Bytes first = Counted(Points(normal, normalSize, 500, 24));
    const Bytes second = Counted(Points(high, highSize, 700, 16));
    Put32(collection, 28, 36);
    Put32(collection, 32, static_cast<std::uint32_t>(36 + first.size()));
    collection.insert(collection.end(), first.begin(), first.end());
    collection.insert(collection.end(), second.begin(), second.end());
    ok &= SaveBytes(dir / "collection-0", WithIndex(0, collection));
    ok &= SaveBytes(dir / "collection-1", WithIndex(1, collection));
    return ok;
}

// Correction data as the library saves it (nearly 10 MB, so only ever written
// here at run time), an older three-plane version of it and short heads.
bool WriteCorrectionFileSeeds(const fs::path& dir) {
    CorrectionPlanes planes;
    if (!planes.InitPlanes(kFrameWidth, kFrameHeight)) return false;
    for (int k = 0; k < CorrectionPlanes::kPlaneCount; ++k) {
        auto values = planes.Values(static_cast<CorrectionPlanes::Plane>(k));
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = (k + 1) * 0.5 + static_cast<double>(i % 640) / 640.0;
    }
    planes.SetTagValue(0x1234);
    planes.SetScaleValue(2048.0);
    const fs::path full = dir / "saved-1020";
    if (SaveCorrectionFile(planes, full.wstring().c_str()) != 1) return false;
    const Bytes saved = Load(full);
    if (saved.size() != kCorrectionHeaderBytes + 4 * kFramePixels * 8) return false;

    Bytes older(saved.begin(),
                saved.begin() + static_cast<std::ptrdiff_t>(kCorrectionHeaderBytes + 3 * kFramePixels * 8));
    PutText(older, 0, "VL-CORSET-V1010");
    bool ok = SaveBytes(dir / "saved-1010", older);
    ok &= SaveBytes(dir / "head", Bytes(saved.begin(), saved.begin() + kCorrectionHeaderBytes));
    ok &= SaveBytes(dir / "head-and-some", Bytes(saved.begin(), saved.begin() + kCorrectionHeaderBytes + 4096));
    return ok;
}

// Driver replies: the target takes its choices from the end of the input and
// reply bytes from the front, so a seed is the front bytes followed by the
// choices in reverse order of use.
class Script {
public:
    Script& Choice(std::uint8_t value) {
        back_.push_back(value);
        return *this;
    }
    // One open that succeeds and calls control calls answered in full; replies
    // bytes taken from the front (mode 0x08 for a call, 0x00 for none).
    Script& Exchange(std::initializer_list<std::uint8_t> modes) {
        Choice(1);
        for (std::uint8_t mode : modes) Choice(mode);
        return *this;
    }
    Script& Front(std::size_t count, std::uint8_t seed) {
        for (std::size_t i = 0; i < count; ++i) front_.push_back(static_cast<std::uint8_t>(seed + 37 * i));
        return *this;
    }
    Bytes Build() const {
        Bytes out = front_;
        out.insert(out.end(), back_.rbegin(), back_.rend());
        return out;
    }

private:
    Bytes front_;
    Bytes back_;
};

constexpr std::uint8_t kExactNoFill = 0x00;
constexpr std::uint8_t kExactHead = 0x08;
constexpr std::uint8_t kExactPattern = 0x18;

bool WriteDriverReplySeeds(const fs::path& dir) {
    // An input takes one frame step. No set-up step; a register read of 44,
    // the temperature, 16-bit transfers, then a capture.
    Script capture;
    capture.Front(64 * 8 + 256 * 8, 5).Choice(0xFF);
    capture.Choice(1).Choice(0).Choice(46).Exchange({kExactNoFill, kExactHead, kExactHead});
    capture.Choice(4).Exchange({kExactNoFill, kExactHead, kExactHead}).Exchange({kExactNoFill, kExactHead, kExactHead});
    capture.Choice(5).Choice(1).Exchange({kExactNoFill}).Exchange({kExactNoFill});
    capture.Choice(7).Exchange({kExactNoFill, kExactPattern});
    bool ok = SaveBytes(dir / "capture", capture.Build());

    // 16-bit transfers, then a stream of three frames.
    Script stream;
    stream.Front(256 * 8, 11).Choice(0xFF);
    stream.Choice(5).Choice(1).Exchange({kExactNoFill}).Exchange({kExactNoFill});
    stream.Choice(8).Choice(5).Choice(1);
    for (int frame = 0; frame < 3; ++frame) stream.Choice(kExactNoFill).Choice(kExactPattern);
    ok &= SaveBytes(dir / "stream", stream.Build());

    // Camera set-up of index 0 (first choice 0xA4, then the index) with the
    // calls answered in full.
    Script setup;
    setup.Front(64 * 32, 9).Choice(0xA4).Choice(1);
    for (int i = 0; i < 60; ++i) setup.Exchange({kExactNoFill, kExactHead, kExactHead});
    ok &= SaveBytes(dir / "setup", setup.Build());

    ok &= SaveBytes(dir / "zeros", Bytes(512, 0));
    return ok;
}

}  // namespace
}  // namespace calidra

int main(int argc, char** argv) {
    using namespace calidra;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    struct Corpus {
        const char* name;
        bool (*write)(const fs::path&);
    };
    const Corpus corpora[] = {{"DataSet", WriteDataSetSeeds},
                              {"NucTable", WriteNucTableSeeds},
                              {"ThermoTable", WriteThermoTableSeeds},
                              {"CorrectionFile", WriteCorrectionFileSeeds},
                              {"DriverReply", WriteDriverReplySeeds}};
    int failures = 0;
    for (const Corpus& corpus : corpora) {
        std::error_code error;
        fs::create_directories(root / corpus.name, error);
        if (error || !corpus.write(root / corpus.name)) {
            std::fprintf(stderr, "could not write the %s seeds\n", corpus.name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
