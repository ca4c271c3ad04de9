// SPDX-License-Identifier: MIT
#include "platform.h"

#include <cmath>

namespace tarvo {

int RandomInt(double r, int n, int k) {
    // r * n is exact for a 32-bit fraction and small n, so the floor never
    // reaches n; adding k afterwards as an integer cannot round up either.
    int i = static_cast<int>(std::floor(r * n));
    if (i >= n) i = n - 1;
    if (i < 0) i = 0;
    return i + k;
}

std::u16string FormatByte(std::uint8_t b) {
    std::u16string digits;
    unsigned v = b;
    do {
        digits.insert(digits.begin(), char16_t(u'0' + v % 10));
        v /= 10;
    } while (v != 0);
    return u" " + digits;
}

} // namespace tarvo
