// SPDX-License-Identifier: MIT
#include "bmp_image.h"

namespace tarvo {

namespace {

std::uint32_t Le32(const unsigned char *p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::int32_t Le32s(const unsigned char *p) { return std::int32_t(Le32(p)); }
std::uint16_t Le16(const unsigned char *p) { return std::uint16_t(p[0] | p[1] << 8); }

} // namespace

bool DecodeBmp8(const unsigned char *b, std::size_t size, BmpImage &out) {
    if (size < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const std::uint32_t offset = Le32(b + 10), header = Le32(b + 14);
    const std::int32_t width = Le32s(b + 18), height = Le32s(b + 22);
    const std::uint32_t colours = Le32(b + 46) == 0 ? 256 : Le32(b + 46);
    if (header < 40 || width <= 0 || height == 0 || width > 4096 || height > 4096 || height < -4096) return false;
    if (Le16(b + 28) != 8 || Le32(b + 30) != 0 || colours > 256) return false;
    const std::size_t rows = std::size_t(height < 0 ? -height : height), stride = (std::size_t(width) + 3) / 4 * 4;
    if (14 + std::size_t(header) + 4 * colours > offset || offset + stride * rows > size) return false;
    const unsigned char *palette = b + 14 + header;
    out.width = width;
    out.height = int(rows);
    out.pixels.assign(std::size_t(width) * rows, 0);
    for (std::size_t y = 0; y < rows; ++y) {
        const unsigned char *row = b + offset + stride * (height < 0 ? y : rows - 1 - y); // stored bottom-up
        for (std::size_t x = 0; x < std::size_t(width); ++x) {
            const unsigned i = row[x];
            if (i >= colours) return false;
            const unsigned char *c = palette + 4 * i; // blue, green, red, unused
            out.pixels[y * std::size_t(width) + x] = 0xff000000u | std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2];
        }
    }
    return true;
}

} // namespace tarvo
