// Still pictures read back through the image libraries themselves, so a test
// sees what any other program opening the file would see.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace calidra::test {

struct PngPicture {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = -1;
    std::vector<std::vector<std::uint8_t>> rows;  // top first, samples as stored
};

inline PngPicture ReadPng(const std::filesystem::path& path) {
    PngPicture picture;
    std::FILE* in = std::fopen(path.string().c_str(), "rb");
    if (in == nullptr) return picture;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, in);
        png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        picture.width = png_get_image_width(png, info);
        picture.height = png_get_image_height(png, info);
        picture.bitDepth = png_get_bit_depth(png, info);
        picture.colourType = png_get_color_type(png, info);
        png_bytepp rows = png_get_rows(png, info);
        const std::size_t rowBytes = png_get_rowbytes(png, info);
        for (std::uint32_t y = 0; y < picture.height; ++y) picture.rows.emplace_back(rows[y], rows[y] + rowBytes);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(in);
    return picture;
}

struct TiffPicture {
    bool opened = false;
    std::uint32_t width = 0, height = 0, strips = 0, rowsPerStrip = 0;
    std::uint16_t bits = 0, samples = 0, photometric = 0, compression = 0, planar = 0;
    std::vector<std::uint8_t> strip;  // strip 0 as decoded (host byte order); empty when unreadable
    std::int64_t stripRead = -1;      // what decoding strip 0 gave
};

inline void SilentTiff(const char*, const char*, va_list) {}

inline TiffPicture ReadTiff(const std::filesystem::path& path) {
    TiffPicture picture;
    TIFFSetErrorHandler(SilentTiff);
    TIFFSetWarningHandler(SilentTiff);
    // "c": the strip as written, not cut into smaller ones by the reader.
    TIFF* tiff = TIFFOpen(path.string().c_str(), "rc");
    if (tiff == nullptr) return picture;
    picture.opened = true;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &picture.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &picture.height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &picture.bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &picture.samples);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &picture.photometric);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &picture.compression);
    TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &picture.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &picture.rowsPerStrip);
    picture.strips = TIFFNumberOfStrips(tiff);
    picture.strip.resize(static_cast<std::size_t>(TIFFStripSize(tiff)));
    picture.stripRead =
        TIFFReadEncodedStrip(tiff, 0, picture.strip.data(), static_cast<tmsize_t>(picture.strip.size()));
    if (picture.stripRead < 0) picture.strip.clear();
    TIFFClose(tiff);
    return picture;
}

struct JpegPicture {
    bool progressive = false;
    int width = 0, height = 0, components = 0;
    int lumaDc = 0;                               // the first value of the first quantisation table
    std::vector<std::uint8_t> topRow, bottomRow;  // red, green, blue
};

inline JpegPicture ReadJpeg(const std::filesystem::path& path) {
    JpegPicture picture;
    std::FILE* in = std::fopen(path.string().c_str(), "rb");
    if (in == nullptr) return picture;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    picture.progressive = cinfo.progressive_mode != 0;
    picture.lumaDc = cinfo.quant_tbl_ptrs[0] != nullptr ? cinfo.quant_tbl_ptrs[0]->quantval[0] : 0;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    picture.width = static_cast<int>(cinfo.output_width);
    picture.height = static_cast<int>(cinfo.output_height);
    picture.components = cinfo.output_components;
    std::vector<std::uint8_t> row(cinfo.output_width * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        if (cinfo.output_scanline == 1) picture.topRow = row;
    }
    picture.bottomRow = row;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    return picture;
}

}  // namespace calidra::test
