// SPDX-License-Identifier: MIT
// Reads an 8-bit palettized BMP image (the game's pictures are all of that
// kind) into RGBA pixels, rows from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvo {

struct BmpImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xAABBGGRR: the bytes R, G, B, A in memory
};

// Decodes the image; false when it is not an 8-bit BMP that fits its bytes.
bool DecodeBmp8(const unsigned char *bytes, std::size_t size, BmpImage &out);

} // namespace tarvo
