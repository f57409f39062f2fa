// The correction-data file: the device's four correction planes and their
// header values in a "VL-CORSET-V1020" file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "device/SensorFrame.h"

namespace calidra {

class CorrectionPlanes;

// Format of the file: magic and version, then the header and the planes.
inline constexpr char kCorrectionMagic[] = "VL-CORSET-V1020";
inline constexpr std::size_t kCorrectionHeaderBytes = 48;
// Files of earlier versions end after the shutter-offset plane.
inline constexpr int kCorrectionVersionWithScalePlane = 1020;
inline constexpr int kCorrectionOldestVersion = 1000;

// The version written in a 16-byte magic: the decimal number at offset 11, read
// as "%d" would but never beyond the 16 bytes; 1000 when there is no number.
int CorrectionFileVersion(const std::uint8_t* magic16);

// The bytes of the file that keeps planes, into image (resized to fit; memory
// it already holds is reused). false for planes missing or of another size than
// the header's width x height, or when memory runs out.
bool CorrectionFileImage(const CorrectionPlanes& planes, std::vector<std::uint8_t>& image);

// Writes a file image to path: 1 on success; 0 for a null path or an empty
// image, or a failed create or write.
int WriteCorrectionFile(std::span<const std::uint8_t> image, const wchar_t* path);

// Writes planes to path through CorrectionFileImage and WriteCorrectionFile.
int SaveCorrectionFile(const CorrectionPlanes& planes, const wchar_t* path);

// The most bytes a correction-data file of the 640 x 480 frame holds (four
// planes); a reader never needs more of a file.
inline constexpr std::size_t kCorrectionFileMaxBytes = kCorrectionHeaderBytes + 4 * kFramePixels * 8;

// Reads the size bytes of a correction-data file image into planes. 1 on
// success; 0 when its magic or version is refused, its plane size is not
// width x height x 8, its size is not the 640 x 480 frame the correction
// covers, it ends before its last plane, or memory runs out. Bytes beyond the
// last plane are ignored. On 0 the planes in use are left exactly as they were.
int LoadCorrectionBytes(CorrectionPlanes& planes, const std::uint8_t* data, std::size_t size);

// Reads at most kCorrectionFileMaxBytes of path into bytes: false when it
// cannot be opened or read, or memory runs out.
bool ReadCorrectionFile(const wchar_t* path, std::vector<std::uint8_t>& bytes);

// Reads path into planes through ReadCorrectionFile and LoadCorrectionBytes: 1 on success; 0 when
// the file cannot be opened or read, or its bytes are refused, and then the
// planes in use are left exactly as they were.
int LoadCorrectionFile(CorrectionPlanes& planes, const wchar_t* path);

}  // namespace calidra
