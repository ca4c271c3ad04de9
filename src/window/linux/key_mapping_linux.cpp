// SPDX-License-Identifier: MIT
#include "key_mapping_linux.h"

#include "platform/key_codes.h"

namespace tarvo::on_linux {

std::uint16_t KeyCodeOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return std::uint16_t(kKeyA + key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return std::uint16_t(kKey0 + key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key < Qt::Key_F1 + kFunctionKeys) return std::uint16_t(kKeyF1 + key - Qt::Key_F1);
    switch (key) {
#define TARVO_QT_KEY(code, qt, browser) case Qt::Key_##qt: return code;
    TARVO_NAMED_KEYS(TARVO_QT_KEY)
#undef TARVO_QT_KEY
    // Qt's own names for keys above.
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Enter: return 13;
    case Qt::Key_AltGr: return 18;
    default: return 0;
    }
}

int QtKeyOf(std::uint16_t code) {
    if (code >= kKeyA && code < kKeyA + 26) return Qt::Key_A + (code - kKeyA);
    if (code >= kKey0 && code < kKey0 + 10) return Qt::Key_0 + (code - kKey0);
    if (code >= kKeyF1 && code < kKeyF1 + kFunctionKeys) return Qt::Key_F1 + (code - kKeyF1);
    switch (code) {
#define TARVO_QT_KEY(code, qt, browser) case code: return Qt::Key_##qt;
    TARVO_NAMED_KEYS(TARVO_QT_KEY)
#undef TARVO_QT_KEY
    default: return 0;
    }
}

std::uint16_t ModifierMaskOf(int key, Qt::KeyboardModifiers modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier || key == Qt::Key_Shift) mask |= kMaskShift;
    if (modifiers & Qt::ControlModifier || key == Qt::Key_Control) mask |= kMaskCtrl;
    if (modifiers & Qt::AltModifier || key == Qt::Key_Alt) mask |= kMaskAlt;
    return mask;
}

} // namespace tarvo::on_linux
