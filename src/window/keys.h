// SPDX-License-Identifier: MIT
// Turns Qt key events into the key code and modifier mask the duel reads:
// Windows virtual-key numbers (Right arrow 39, Shift 16, 'A' 65, ...) and
// the bits Shift 1, Ctrl 2, Alt 4.
#pragma once

#include <QKeyEvent>
#include <cstdint>

namespace tarvo {

std::uint16_t KeyCodeOf(int qtKey);
// Only Shift, Ctrl and Alt count; a modifier's own press carries its bit.
std::uint16_t ModifierMaskOf(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace tarvo
