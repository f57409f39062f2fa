// calidra convert: one frame of a headerless raw or temperature file into a
// PNG, a TIFF or a CSV table that other programs open.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "CentiKelvin.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitCode.h"
#include "GreyImageFile.h"
#include "Numbers.h"

namespace calidra::tool {

namespace {

constexpr const char* kHelp =
    "Usage: calidra convert IN --to png16|tiff16|csv [options] OUT\n"
    "\n"
    "Turns one frame of a headerless file into a file other programs open. IN is a raw\n"
    "stream ('record --kind raw') or raw still ('snap --format raw'): 614,400 bytes of\n"
    "16-bit levels per frame; or a temperature stream ('record --kind temp') or float\n"
    "temperature still ('snap --format temp-f32'): 1,228,800 bytes of 32-bit floats in\n"
    "degrees C per frame. Rows are stored bottom row first; OUT has the top row first.\n"
    "\n"
    "  --to png16|tiff16|csv  what to write:\n"
    "                           png16, tiff16  16-bit grey: raw levels as they are (0..16383);\n"
    "                                          temperatures in hundredths of a kelvin\n"
    "                                          ((C + 273.15) x 100, 0..65535)\n"
    "                           csv            480 lines of 640 values: levels, or degrees C\n"
    "                                          written as the shortest exact decimal\n"
    "  --frame K              which frame, counted from 0 (default 0)\n"
    "  --from raw|temp        what IN holds; needed unless its name ends in .raw (raw), or\n"
    "                         .temp or .f32 (temperatures), since a headerless file does not say\n"
    "  --flipped              IN holds the top row first (written with 'flip-file' set)\n";

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

}  // namespace

int RunConvert(CommandArgs args) {
    CommandLine line("convert", kHelp, {{"to", true}, {"frame", true}, {"from", true}, {"flipped", false}}, false);
    if (auto exit = line.Parse(args)) return *exit;
    const ArgParser& options = line.Args();
    Console& console = line.Out();
    if (line.Positionals().size() != 2) return line.UsageError("convert takes IN and OUT");
    const std::string in = line.Positionals()[0];
    const std::string out = line.Positionals()[1];
    const std::string to = options.Get("to").value_or("");
    if (to != "png16" && to != "tiff16" && to != "csv") return line.UsageError("--to takes png16, tiff16 or csv");
    int frame = 0;
    if (auto text = options.Get("frame")) {
        auto value = Numbers::ParseInt(*text);
        if (!value || *value < 0) return line.UsageError("--frame takes a frame number counted from 0");
        frame = *value;
    }
    std::string from = options.Get("from").value_or("");
    if (from.empty()) {
        std::string extension = std::filesystem::path(in).extension().string();
        if (extension == ".raw") from = "raw";
        if (extension == ".temp" || extension == ".f32") from = "temp";
    }
    if (from != "raw" && from != "temp") {
        return line.UsageError("say --from raw or --from temp: the name of " + in + " does not tell");
    }
    const bool temperatures = from == "temp";
    const std::size_t frameBytes = kPixels * (temperatures ? 4 : 2);

    std::error_code error;
    const auto size = std::filesystem::file_size(in, error);
    if (error) {
        console.Error("cannot read " + in + ": " + error.message());
        return kExitFileError;
    }
    const std::uintmax_t frames = size / frameBytes;
    if (size % frameBytes != 0) {
        console.Warning(in + " ends in a partial frame (" +
                        Numbers::Grouped(static_cast<long long>(size % frameBytes)) + " bytes); it is ignored");
    }
    if (static_cast<std::uintmax_t>(frame) >= frames) {
        console.Error(in + " holds " + std::to_string(frames) + " whole " + (temperatures ? "temperature" : "raw") +
                      " frames of " + Numbers::Grouped(static_cast<long long>(frameBytes)) +
                      " bytes; there is no frame " + std::to_string(frame));
        return kExitFileError;
    }
    std::vector<unsigned char> bytes(frameBytes);
    std::ifstream file(in, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(frame) * static_cast<std::streamoff>(frameBytes));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(frameBytes))) {
        console.Error("cannot read frame " + std::to_string(frame) + " of " + in);
        return kExitFileError;
    }

    // Sample i of the output (top row first) comes from stored row
    // height - 1 - row, unless the file was written top row first.
    const bool flipped = options.Has("flipped");
    auto source = [&](int row, int column) {
        int stored = flipped ? row : kHeight - 1 - row;
        return bytes.data() + (std::size_t(stored) * kWidth + column) * (temperatures ? 4 : 2);
    };
    auto level = [&](int row, int column) {
        const unsigned char* p = source(row, column);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    };
    auto degrees = [&](int row, int column) {
        const unsigned char* p = source(row, column);
        std::uint32_t bits =
            std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };

    bool written = false;
    if (to == "csv") {
        std::ofstream csv(out, std::ios::trunc);
        std::string text;
        for (int row = 0; row < kHeight; ++row) {
            text.clear();
            for (int column = 0; column < kWidth; ++column) {
                if (column > 0) text += ',';
                text +=
                    temperatures ? Numbers::ShortestFloat(degrees(row, column)) : std::to_string(level(row, column));
            }
            text += '\n';
            csv << text;
        }
        csv.close();
        written = !csv.fail();
    } else {
        std::vector<std::uint16_t> pixels(kPixels);
        for (int row = 0; row < kHeight; ++row) {
            for (int column = 0; column < kWidth; ++column) {
                pixels[std::size_t(row) * kWidth + column] =
                    temperatures ? CentiKelvin::FromCelsius(degrees(row, column)) : level(row, column);
            }
        }
        written = to == "png16" ? GreyImageFile::WritePng(out, kWidth, kHeight, pixels)
                                : GreyImageFile::WriteTiff(out, kWidth, kHeight, pixels);
    }
    if (!written) {
        console.Error("cannot write " + out);
        return kExitFileError;
    }
    console.Out("wrote " + out + " (frame " + std::to_string(frame) + " of " + std::to_string(frames) + ", " + to +
                ")");
    return kExitOk;
}

}  // namespace calidra::tool
