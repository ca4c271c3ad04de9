// SPDX-License-Identifier: MIT
// The key codes the duel reads are Windows' virtual-key numbers (Right arrow
// 39, Shift 16, 'A' 65, ...), with the modifier bits Shift 1, Ctrl 2, Alt 4.
// Windows gives them as they are; the other front ends name their keys and
// map them with this one table.
#pragma once

#include <cstdint>

// Each named key: X(code, Qt's name after Qt::Key_, the browser's
// KeyboardEvent.key). Letters, digits and function keys follow the rules
// below instead.
#define TARVO_NAMED_KEYS(X)                                                                                    \
    X(8, Backspace, "Backspace") X(9, Tab, "Tab") X(13, Return, "Enter") X(16, Shift, "Shift")                 \
    X(17, Control, "Control") X(18, Alt, "Alt") X(19, Pause, "Pause") X(20, CapsLock, "CapsLock")               \
    X(27, Escape, "Escape") X(32, Space, " ") X(33, PageUp, "PageUp") X(34, PageDown, "PageDown")              \
    X(35, End, "End") X(36, Home, "Home") X(37, Left, "ArrowLeft") X(38, Up, "ArrowUp")                        \
    X(39, Right, "ArrowRight") X(40, Down, "ArrowDown") X(45, Insert, "Insert") X(46, Delete, "Delete")        \
    X(91, Meta, "Meta")

namespace tarvo {

// 'A' to 'Z' are 65 to 90, '0' to '9' 48 to 57, F1 to F24 112 to 135.
inline constexpr std::uint16_t kKeyA = 65, kKey0 = 48, kKeyF1 = 112;
inline constexpr int kFunctionKeys = 24;

} // namespace tarvo
