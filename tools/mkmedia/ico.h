// SPDX-License-Identifier: MIT
// Writes Windows icon files: several renditions of one icon in one .ico.
#pragma once

#include <QByteArray>
#include <QImage>
#include <vector>

namespace mkmedia {

// One .ico holding each of `bitmaps` as a Windows bitmap (an 8-bit palettized
// image keeps its palette, any other is 32-bit with alpha; both with the mask
// of their transparent pixels), followed by `png256`, a 256 x 256 PNG, as
// Windows takes its largest rendition.
QByteArray encodeIco(const std::vector<QImage> &bitmaps, const QByteArray &png256);

} // namespace mkmedia
