// Writes a preview as an 8-bit RGBA, non-interlaced PNG with libpng.
#pragma once

#include <cstdio>
#include <string>

#include "imaging/Image.h"

namespace quarnel {

// Pixel (x, y) of the PNG is pixel (x, y) of the image, its 0xAARRGGBB value split into red,
// green, blue and alpha bytes. Compresses at zlib's fastest level: a render must not spend
// its time compressing. False with a message when libpng or the stream fails; the stream is
// flushed but not closed.
bool WritePng(std::FILE* file, const pavo::CImage32& image, std::string& error);

}  // namespace quarnel
