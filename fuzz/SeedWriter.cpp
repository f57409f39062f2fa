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
#include <cstring>
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

namespace calidra {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

void Put32(Bytes& out, std::size_t at, std::uint32_t value) {
    if (out.size() < at + 4) out.resize(at + 4);
    PutLE32(out.data() + at, value);
}
void PutDouble(Bytes& out, std::size_t at, double value) {
    if (out.size() < at + 8) out.resize(at + 8);
    PutLEDouble(out.data() + at, value);
}
void PutText(Bytes& out, std::size_t at, const std::string& text) {
    if (out.size() < at + text.size()) out.resize(at + text.size());
    std::memcpy(out.data() + at, text.data(), text.size());
}

bool Save(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

Bytes Load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Data set: a 48-byte file header, then five sections of a 16-byte header
// holding the length, the data and zeros up to 16 bytes.
Bytes DataSet(const std::vector<Bytes>& sections, const std::string& version = "1011") {
    Bytes file;
    PutText(file, 0, "VL-DATSET-V" + version);
    file.resize(48);
    for (const Bytes& data : sections) {
        const std::size_t header = file.size();
        file.resize(header + 16);
        PutLE32(file.data() + header, static_cast<std::uint32_t>(data.size()));
        file.insert(file.end(), data.begin(), data.end());
        file.resize((file.size() + 15) / 16 * 16);
    }
    return file;
}

Bytes BadPixelSection(int count) {
    Bytes data(32);
    Put32(data, 16, static_cast<std::uint32_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::size_t at = data.size();
        Put32(data, at, static_cast<std::uint32_t>(i * 97 % kFrameWidth));
        Put32(data, at + 4, static_cast<std::uint32_t>(i * 31 % kFrameHeight));
        Put32(data, at + 8, static_cast<std::uint32_t>(i % 2));
        Put32(data, at + 12, 0);
    }
    return data;
}

Bytes SettingsSection(const std::string& version) {
    Bytes data;
    PutText(data, 0, "VL-SETTING-" + version);
    const std::uint32_t values[] = {636, 2, 2098, 1041, 1660, 3459, 2220, 2854, 0};
    for (std::size_t k = 0; k < std::size(values); ++k) Put32(data, 16 + 4 * k, values[k]);
    Put32(data, 52, 6000);
    return data;
}

// Four planes of pixels doubles each, the first pixels of a 640 x 480 frame.
Bytes PlaneSection(int pixels) {
    Bytes data(48);
    data[24] = 0x34;
    data[25] = 0x12;
    Put32(data, 28, static_cast<std::uint32_t>(pixels * 8));
    PutDouble(data, 32, 1024.0);
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < pixels; ++i) PutDouble(data, 48 + (k * pixels + i) * 8, k == 0 ? 1.0 + i / 64.0 : k * 3.0);
    }
    return data;
}

Bytes LevelSection(int count) {
    Bytes data(48);
    Put32(data, 16, static_cast<std::uint32_t>(count));
    for (int k = 0; k < 5; ++k) Put32(data, 20 + 4 * k, 100 + k);
    for (int i = 0; i < count; ++i) {
        PutDouble(data, 48 + 8 * i, -40.0 + 190.0 * i / count);
        PutDouble(data, 48 + 8 * (count + i), 0.25 * i);
    }
    return data;
}

Bytes NucBlock(int width, int height, int records) {
    Bytes data;
    PutText(data, 0, "VL-NUCTBL-V1040");
    data.resize(48);
    Put32(data, 16, static_cast<std::uint32_t>(width));
    Put32(data, 20, static_cast<std::uint32_t>(height));
    Put32(data, 24, static_cast<std::uint32_t>(records));
    Put32(data, 28, 77);
    Put32(data, 32, 88);
    for (int r = 0; r < records; ++r) {
        const std::size_t at = data.size();
        for (int k = 0; k < 3; ++k) Put32(data, at + 4 * k, static_cast<std::uint32_t>(10 * r + k));
        data.resize(at + 12 + 2 * static_cast<std::size_t>(width * height));
        for (int i = 0; i < width * height; ++i)
            PutLE16(data.data() + at + 12 + 2 * i, static_cast<std::uint16_t>(r + i));
    }
    return data;
}

bool WriteDataSetSeeds(const fs::path& dir) {
    bool ok = Save(dir / "small-1011", DataSet({BadPixelSection(3), SettingsSection("1011"), PlaneSection(16),
                                                LevelSection(16), NucBlock(2, 2, 2)}));
    ok &=
        Save(dir / "old-1000",
             DataSet({BadPixelSection(0), SettingsSection("1000"), PlaneSection(4), LevelSection(4), NucBlock(3, 2, 1)},
                     "1000"));
    ok &=
        Save(dir / "no-nuc", DataSet({BadPixelSection(8), SettingsSection("1011"), PlaneSection(1), LevelSection(2)}));
    return ok;
}

bool WriteNucTableSeeds(const fs::path& dir) {
    bool ok = Save(dir / "2x2-two", NucBlock(2, 2, 2));
    ok &= Save(dir / "4x3-three", NucBlock(4, 3, 3));
    ok &= Save(dir / "empty", NucBlock(640, 480, 0));
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
    bool ok = Save(dir / "bare-normal", WithIndex(0, Bytes(normal, normal + normalSize)));
    ok &= Save(dir / "bare-high", WithIndex(0, Bytes(high, high + highSize)));
    ok &= Save(dir / "bare-short", WithIndex(0, Counted(Points(normal, normalSize, 800, 20))));

    Bytes single;
    PutText(single, 0, "VELMAR THERMO TABLE 1000");
    const Bytes singleTable = Counted(Points(high, highSize, 400, 40));
    single.insert(single.end(), singleTable.begin(), singleTable.end());
    ok &= Save(dir / "single", WithIndex(0, single));

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
    ok &= Save(dir / "collection-0", WithIndex(0, collection));
    ok &= Save(dir / "collection-1", WithIndex(1, collection));
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
    bool ok = Save(dir / "saved-1010", older);
    ok &= Save(dir / "head", Bytes(saved.begin(), saved.begin() + kCorrectionHeaderBytes));
    ok &= Save(dir / "head-and-some", Bytes(saved.begin(), saved.begin() + kCorrectionHeaderBytes + 4096));
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
    // No set-up step; a capture, a register read of 44, the temperature, 16-bit
    // transfers, another capture, and a stream of three frames.
    Script session;
    session.Front(64 * 8 + 256 * 8, 5).Choice(0xFF);
    session.Choice(7).Exchange({kExactNoFill, kExactPattern});
    session.Choice(1).Choice(0).Choice(46).Exchange({kExactNoFill, kExactHead, kExactHead});
    session.Choice(4).Exchange({kExactNoFill, kExactHead, kExactHead}).Exchange({kExactNoFill, kExactHead, kExactHead});
    session.Choice(5).Choice(1).Exchange({kExactNoFill}).Exchange({kExactNoFill});
    session.Choice(7).Exchange({kExactNoFill, kExactPattern});
    session.Choice(8).Choice(5).Choice(1);
    for (int frame = 0; frame < 3; ++frame) session.Choice(kExactNoFill).Choice(kExactPattern);
    bool ok = Save(dir / "session", session.Build());

    // Camera set-up of index 0 (first choice 0xA4, then the index) with the
    // calls answered in full.
    Script setup;
    setup.Front(64 * 32, 9).Choice(0xA4).Choice(1);
    for (int i = 0; i < 60; ++i) setup.Exchange({kExactNoFill, kExactHead, kExactHead});
    ok &= Save(dir / "setup", setup.Build());

    ok &= Save(dir / "zeros", Bytes(512, 0));
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
