// calidra repair: a recording whose process died before the recording ended
// (killed, crashed, out of power) made whole again.
#include <cmath>
#include <filesystem>
#include <optional>

#include "AviRepair.h"
#include "Catalog.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitCode.h"
#include "Numbers.h"
#include "ReplacementFile.h"

namespace calidra::tool {

namespace {

constexpr const char* kHelp =
    "Usage: calidra repair [--kind raw|avi|temp] [--fps F] FILE\n"
    "\n"
    "Makes a recording whose process died before the recording ended (killed, crashed,\n"
    "out of power) whole again, writing what the end of the recording would have written:\n"
    "  avi   the header's sizes and frame totals and the 'idx1' index of the whole frame\n"
    "        chunks in the file, and the frame time measured from the file's creation to its\n"
    "        last write (the nominal 30 frames per second where the file system keeps no\n"
    "        creation time); whatever follows the last whole chunk is dropped\n"
    "  raw   cut to whole frames of 614,400 bytes\n"
    "  temp  cut to whole frames of 1,228,800 bytes\n"
    "A finished file is left as it is, and so is one another program still has open (a\n"
    "recording still running). The repaired file is written beside FILE, as FILE.repair-tmp\n"
    "(there must be room for it), and takes FILE's place only once it is complete and on\n"
    "the disk: a repair that is itself cut short changes nothing.\n"
    "\n"
    "  --kind raw|avi|temp  what FILE holds; needed unless its name ends in .avi, .raw or\n"
    "                       .temp as 'record' names them, since a headerless stream does not say\n"
    "  --fps F              the frame rate to write into an AVI instead of the measured one; for\n"
    "                       a recording made into an existing file, which kept that file's\n"
    "                       creation time\n";

constexpr int kAviKind = 2;

int RepairStream(const std::string& path, const RecordKind& kind, Console& console) {
    std::error_code code;
    const auto bytes = static_cast<long long>(std::filesystem::file_size(path, code));
    if (code) {
        console.Error("cannot read " + path + ": " + code.message());
        return kExitFileError;
    }
    const long long frames = bytes / kind.frameBytes;
    const long long partial = bytes % kind.frameBytes;
    const std::string whole = std::to_string(frames) + " whole " + std::string(kind.name) + " frames";
    if (partial == 0) {
        console.Out(path + " holds " + whole + "; nothing to repair");
        return kExitOk;
    }
    std::string error;
    ReplacementFile out(path);
    if (!out.Open(&error) || !out.CopyFromTarget(0, static_cast<std::uint64_t>(bytes - partial), &error) ||
        !out.Commit(&error)) {
        console.Error(error);
        return kExitFileError;
    }
    console.Out("repaired " + path + ": " + whole + " kept, the " + Numbers::Grouped(partial) +
                " bytes of an unfinished frame cut off");
    return kExitOk;
}

int RepairAvi(const std::string& path, std::optional<double> fps, Console& console) {
    AviContents contents;
    std::string error;
    if (!AviRepair::Inspect(path, contents, &error)) {
        console.Error(error);
        return kExitFileError;
    }
    const std::string frames = std::to_string(contents.frames) + " frames";
    if (contents.finished) {
        console.Out(path + " is finished (" + frames + "); nothing to repair");
        return kExitOk;
    }
    // Measured before the repair: the new file has a creation time of its own.
    std::uint32_t rate = 0;
    std::string how = "as given";
    if (fps) {
        rate = static_cast<std::uint32_t>(std::max(1.0, std::round(*fps * 100.0)));
    } else {
        rate = AviRepair::MeasuredRate(path, contents.frames);
        how = rate != 0 ? "measured from the file's times" : "nominal: the file's times do not tell";
        if (rate == 0) rate = AviRepair::kNominalRate;
    }
    if (!AviRepair::Rebuild(path, contents, rate, &error)) {
        console.Error(error);
        return kExitFileError;
    }
    const long long kept = 232 + static_cast<long long>(contents.frames) * (8 + contents.frameBytes);
    const long long dropped = static_cast<long long>(contents.bytes) - kept;
    console.Out(
        "repaired " + path + ": " + frames + " indexed at " + Numbers::Fixed(rate / 100.0, 2) + " fps (" + how + ")" +
        (dropped > 0 ? ", the " + Numbers::Grouped(dropped) + " bytes after the last whole frame dropped" : ""));
    return kExitOk;
}

}  // namespace

int RunRepair(CommandArgs args) {
    CommandLine line("repair", kHelp, {{"kind", true}, {"fps", true}}, false);
    if (auto exit = line.Parse(args)) return *exit;
    const ArgParser& options = line.Args();
    if (line.Positionals().size() != 1) return line.UsageError("repair takes exactly one FILE");
    const std::string path = line.Positionals()[0];
    const RecordKind* kind = nullptr;
    if (auto text = options.Get("kind")) {
        kind = Catalog::FindRecordKind(*text);
        if (kind == nullptr) return line.UsageError("--kind takes raw, avi or temp");
    } else {
        const std::string extension = std::filesystem::path(path).extension().string();
        for (const RecordKind& entry : Catalog::RecordKinds()) {
            if (entry.extension == extension) kind = &entry;
        }
        if (kind == nullptr)
            return line.UsageError("say --kind raw, avi or temp: the name of " + path + " does not tell");
    }
    std::optional<double> fps;
    if (auto text = options.Get("fps")) {
        fps = Numbers::ParseDouble(*text);
        if (!fps || !(*fps > 0.0) || *fps > 1000000.0) return line.UsageError("--fps takes frames per second");
    }
    Console& console = line.Out();
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) {
        console.Error("cannot read " + path +
                      (std::filesystem::exists(path, code) ? ": not a file" : ": no such file"));
        return kExitFileError;
    }
    return kind->kind == kAviKind ? RepairAvi(path, fps, console) : RepairStream(path, *kind, console);
}

}  // namespace calidra::tool
