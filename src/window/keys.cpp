// SPDX-License-Identifier: MIT
#include "keys.h"

namespace tarvo {

std::uint16_t KeyCodeOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return std::uint16_t(65 + key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return std::uint16_t(48 + key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return std::uint16_t(112 + key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: case Qt::Key_AltGr: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Meta: return 91;
    default: return 0;
    }
}

std::uint16_t ModifierMaskOf(int key, Qt::KeyboardModifiers modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier || key == Qt::Key_Shift) mask |= 1;
    if (modifiers & Qt::ControlModifier || key == Qt::Key_Control) mask |= 2;
    if (modifiers & Qt::AltModifier || key == Qt::Key_Alt) mask |= 4;
    return mask;
}

} // namespace tarvo
