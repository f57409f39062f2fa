#include "ErrorCodes.h"

#include <iterator>

#include "calidra.h"

namespace calidra::tool {

namespace {

constexpr ErrorCode kCodes[] = {
    // clang-format off
    // names.md: errors (written by tools/names.py from src/api/names.md)
    {ERR_NO_IMAGE, "ERR_NO_IMAGE", "a still picture was asked for before any frame was stored"},
    {ERR_CAMERA, "ERR_CAMERA", "the camera is absent or cannot be set up"},
    {ERR_FRAME, "ERR_FRAME", "reading a frame failed, or no trigger edge came within 3000 ms"},
    {ERR_STREAM_END, "ERR_STREAM_END", "the stream failed or gave no frame for 6000 ms; acquisition stopped"},
    {ERR_ARGUMENT, "ERR_ARGUMENT", "an argument is out of range, or a frame id is not in the ring"},
    {ERR_MEMORY, "ERR_MEMORY", "an image could not be created, or a buffer is too small"},
    {ERR_THREAD, "ERR_THREAD", "the acquisition thread could not be created"},
    {ERR_DEVICE, "ERR_DEVICE", "the device stream failed to start or to stop"},
    {ERR_FILE, "ERR_FILE", "a file could not be read or written"},
    {ERR_UNSUPPORTED, "ERR_UNSUPPORTED", "the call or parameter is not supported by this camera"},
    // names.md: end
    // clang-format on
};

}  // namespace

const ErrorCode* ErrorCodes::Find(int code) {
    for (const ErrorCode& entry : kCodes) {
        if (entry.code == code) return &entry;
    }
    return nullptr;
}

std::string ErrorCodes::Describe(int code) {
    const ErrorCode* entry = Find(code);
    if (entry == nullptr) return "unknown code " + std::to_string(code) + " (not one the library documents)";
    return std::string(entry->name) + " (" + std::to_string(code) + "): " + std::string(entry->meaning);
}

std::string_view ErrorCodes::Name(int code) {
    const ErrorCode* entry = Find(code);
    return entry == nullptr ? std::string_view("unknown code") : entry->name;
}

const ErrorCode* ErrorCodes::begin() { return std::begin(kCodes); }
const ErrorCode* ErrorCodes::end() { return std::end(kCodes); }

}  // namespace calidra::tool
