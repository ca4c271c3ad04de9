// SPDX-License-Identifier: MIT
// Turns Qt's keys into the key codes and modifier bits the duel reads, and
// back (for the menu's shortcuts), through the shared key table.
#pragma once

#include <QKeyEvent>
#include <cstdint>

namespace tarvo::on_linux {

std::uint16_t KeyCodeOf(int qtKey);
// Only Shift, Ctrl and Alt count; a modifier's own press carries its bit.
std::uint16_t ModifierMaskOf(int qtKey, Qt::KeyboardModifiers modifiers);
// The Qt key of a key code, or 0.
int QtKeyOf(std::uint16_t code);

} // namespace tarvo::on_linux
