// Little-endian packers for the binary formats the library reads and writes.
// Every number in a file of ours is little-endian whatever the host is.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace calidra {

inline void PutLE16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutLE32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void PutLE64(std::uint8_t* out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void PutLEDouble(std::uint8_t* out, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutLE64(out, bits);
}

inline void PutLEFloat(std::uint8_t* out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutLE32(out, bits);
}

inline std::uint16_t GetLE16(const std::uint8_t* in) { return static_cast<std::uint16_t>(in[0] | (in[1] << 8)); }

inline std::uint32_t GetLE32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
           (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

inline std::uint64_t GetLE64(const std::uint8_t* in) {
    return static_cast<std::uint64_t>(GetLE32(in)) | (static_cast<std::uint64_t>(GetLE32(in + 4)) << 32);
}

inline double GetLEDouble(const std::uint8_t* in) {
    std::uint64_t bits = GetLE64(in);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// values.size() doubles, one after another from out on: a plane of a file in
// one copy where the host is little-endian too.
inline void PutLEDoubles(std::uint8_t* out, std::span<const double> values) {
    if constexpr (std::endian::native == std::endian::little) {
        if (!values.empty()) std::memcpy(out, values.data(), values.size_bytes());
    } else {
        for (double value : values) {
            PutLEDouble(out, value);
            out += 8;
        }
    }
}

// out.size() doubles, one after another from in: a plane of a file in one copy
// where the host is little-endian too.
inline void GetLEDoubles(const std::uint8_t* in, std::span<double> out) {
    if constexpr (std::endian::native == std::endian::little) {
        if (!out.empty()) std::memcpy(out.data(), in, out.size_bytes());
    } else {
        for (double& value : out) {
            value = GetLEDouble(in);
            in += 8;
        }
    }
}

inline float GetLEFloat(const std::uint8_t* in) {
    std::uint32_t bits = GetLE32(in);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A read-only view of untrusted bytes: every read names its offset and fails
// instead of running past the end.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Size() const { return size_; }
    const std::uint8_t* Data() const { return data_; }
    bool Has(std::size_t offset, std::size_t length) const { return offset <= size_ && length <= size_ - offset; }
    bool U32(std::size_t offset, std::uint32_t& value) const {
        if (!Has(offset, 4)) return false;
        value = GetLE32(data_ + offset);
        return true;
    }
    bool I32(std::size_t offset, std::int32_t& value) const {
        std::uint32_t raw;
        if (!U32(offset, raw)) return false;
        value = static_cast<std::int32_t>(raw);
        return true;
    }
    bool U16(std::size_t offset, std::uint16_t& value) const {
        if (!Has(offset, 2)) return false;
        value = GetLE16(data_ + offset);
        return true;
    }
    bool Double(std::size_t offset, double& value) const {
        if (!Has(offset, 8)) return false;
        value = GetLEDouble(data_ + offset);
        return true;
    }
    bool Float(std::size_t offset, float& value) const {
        if (!Has(offset, 4)) return false;
        value = GetLEFloat(data_ + offset);
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace calidra
