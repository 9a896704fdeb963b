#include "platform/image/PngFile.h"

#include "common/FileSaver.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace linlangok {
namespace {

void WriteBytes(png_structp png, png_bytep bytes, png_size_t count)
{
    if (!static_cast<CFileSaver*>(png_get_io_ptr(png))->Write(bytes, count))
        png_error(png, "write failed");
}

void Flush(png_structp) { }

} // namespace

bool SavePng(const std::filesystem::path& path, const SongFrame& frame)
{
    if (frame.width <= 0 || frame.height <= 0
        || frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height))
        return false;
    std::vector<png_byte> rows(frame.pixels.size() * 4);
    for (size_t i = 0; i < frame.pixels.size(); ++i) {
        const std::uint32_t pixel = frame.pixels[i];
        rows[4 * i] = static_cast<png_byte>(pixel >> 16);
        rows[4 * i + 1] = static_cast<png_byte>(pixel >> 8);
        rows[4 * i + 2] = static_cast<png_byte>(pixel);
        rows[4 * i + 3] = static_cast<png_byte>(pixel >> 24);
    }
    std::vector<png_bytep> rowPointers(static_cast<size_t>(frame.height));
    for (size_t row = 0; row < rowPointers.size(); ++row)
        rowPointers[row] = &rows[row * static_cast<size_t>(frame.width) * 4];

    CFileSaver saver(path);
    if (!saver.IsOpen())
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    // libpng reports its errors by a long jump back here; nothing above holds a destructor that
    // the jump would skip, and the saver discards the temporary file.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &saver, WriteBytes, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width), static_cast<png_uint_32>(frame.height), 8,
        PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rowPointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return saver.Commit();
}

} // namespace linlangok
