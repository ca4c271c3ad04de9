// SPDX-License-Identifier: MIT
// Writes 8-bit palettized Windows bitmaps (BITMAPINFOHEADER, 256-colour palette,
// uncompressed, bottom-up rows) from an RGB image, choosing the palette itself.
#pragma once

#include <QImage>
#include <QByteArray>

namespace mkmedia {

// Reduces `image` to at most 256 colours. Pure white stays pure white; when the
// picture already has 256 colours or fewer they are kept exactly.
QImage quantize(const QImage &image);

// The complete BMP file for an image of at most 256 colours (see quantize()).
QByteArray encodeBmp8(const QImage &indexedOrRgb);

} // namespace mkmedia
