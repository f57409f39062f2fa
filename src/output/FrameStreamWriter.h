// The headerless recordings: one raw image, or one picture of float
// temperatures, after another in a plain file.
#pragma once

#include <cstdint>
#include <vector>

#include "output/FileAccess.h"

namespace calidra {

class DibImage;
class ThermoTable;

class FrameStreamWriter {
public:
    enum class Content { kRawLevels, kTemperatures };

    FrameStreamWriter() = default;
    FrameStreamWriter(const FrameStreamWriter&) = delete;
    FrameStreamWriter& operator=(const FrameStreamWriter&) = delete;

    // Closes first, then empties or creates path. Temperature pictures are
    // width x height floats; their buffer is taken here. false (closed) for a
    // null path, a temperature size that is not positive, no memory or a file
    // that cannot be opened.
    bool Open(const wchar_t* path, Content content, std::int32_t width = 0, std::int32_t height = 0);

    // Raw levels: the image's stored lines as they are (Stride() x Height()
    // bytes), last line first with flip. Temperatures: each level through the
    // thermo table as a little-endian float, width floats per row, rows from
    // stored line k or, with flip, line height - 1 - k; the image must have
    // the size given at Open. false, with nothing written, when no file is open
    // or the image or table is missing or unfit; false also when the write
    // fails, and then the part of the frame that was written is cut off again,
    // so that the file holds whole frames only.
    bool Append(const DibImage* raw, const ThermoTable* thermo, bool flip);

    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    // A write of the open file failed (a full disk, a file-size limit).
    bool WriteFailed() const { return writeFailed_; }

private:
    bool AppendLevels(const DibImage& raw, bool flip);
    bool AppendTemperatures(const DibImage& raw, const ThermoTable& thermo, bool flip);
    bool WriteFrame(const void* bytes, std::size_t count);

    FileAccess file_;
    Content content_ = Content::kRawLevels;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<std::uint8_t> buffer_;  // one converted or reordered frame
    bool writeFailed_ = false;
};

}  // namespace calidra
