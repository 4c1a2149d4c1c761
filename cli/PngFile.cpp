#include "cli/PngFile.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <new>
#include <vector>

namespace quarnel {
namespace {

// libpng reports errors by calling this; it must not return, so it jumps back to the
// setjmp in WriteRows with the message kept in the error pointer.
[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error != nullptr && error->empty()) *error = message != nullptr ? message : "libpng error";
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Everything between setjmp and a possible longjmp is plain data: no destructor can be
// skipped. rowBytes holds one row of RGBA bytes, allocated by the caller.
bool WriteRows(png_structp png, png_infop info, std::FILE* file, const pavo::CImage32& image,
               uint8_t* rowBytes) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_compression_level(png, Z_BEST_SPEED);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < image.height; ++y) {
    const uint32_t* row = image.RowAddress(y);
    for (int32_t x = 0; x < image.width; ++x) {
      const uint32_t c = row[x];
      uint8_t* out = rowBytes + 4 * static_cast<size_t>(x);
      out[0] = static_cast<uint8_t>(c >> 16);  // red
      out[1] = static_cast<uint8_t>(c >> 8);   // green
      out[2] = static_cast<uint8_t>(c);        // blue
      out[3] = static_cast<uint8_t>(c >> 24);  // alpha
    }
    png_write_row(png, rowBytes);
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

bool WritePng(std::FILE* file, const pavo::CImage32& image, std::string& error) {
  error.clear();
  if (image.pixels == nullptr || image.width < 1 || image.height < 1) {
    error = "the preview has no pixels";
    return false;
  }
  std::vector<uint8_t> rowBytes;
  try {
    rowBytes.resize(4 * static_cast<size_t>(image.width));
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    return false;
  }
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  if (png == nullptr) {
    error = "libpng could not start";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  bool ok = info != nullptr && WriteRows(png, info, file, image, rowBytes.data());
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  if (std::fflush(file) != 0 || std::ferror(file)) ok = false;
  if (!ok && error.empty()) error = "write error";
  return ok;
}

}  // namespace quarnel
