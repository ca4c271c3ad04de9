// SPDX-License-Identifier: MIT
// The keys as the duel reads them, written once for the engine, every front
// end and the tests: Windows' virtual-key numbers (Right arrow 39, Shift 16,
// 'A' 65, ...) with the modifier bits Shift 1, Ctrl 2, Alt 4. Windows gives
// them as they are; the other front ends name their keys and map them with
// the table below.
#pragma once

#include <cstdint>

namespace tarvo {

// The modifier bits of Form_KeyDown's mask.
inline constexpr std::uint16_t kMaskShift = 1, kMaskCtrl = 2, kMaskAlt = 4;

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

// The named keys' codes: kKeyShift, kKeyRight, ...
enum NamedKey : std::uint16_t {
#define TARVO_KEY_CODE(code, qt, browser) kKey##qt = code,
    TARVO_NAMED_KEYS(TARVO_KEY_CODE)
#undef TARVO_KEY_CODE
};

// 'A' to 'Z' are 65 to 90, '0' to '9' 48 to 57, F1 to F24 112 to 135.
inline constexpr std::uint16_t kKeyA = 65, kKey0 = 48, kKeyF1 = 112;
inline constexpr int kFunctionKeys = 24;
constexpr std::uint16_t LetterKey(char letter) { return std::uint16_t(kKeyA + (letter - 'A')); }
constexpr std::uint16_t FunctionKey(int n) { return std::uint16_t(kKeyF1 + n - 1); }

// A key as it goes down, with the modifiers held.
struct KeyStroke {
    std::uint16_t key, mask;
};
// The players' triggers, which a tap on their half of the stage stands for
// where there is no keyboard: 1P's Shift alone, 2P's Right arrow.
inline constexpr KeyStroke kTrigger1P{kKeyShift, kMaskShift}, kTrigger2P{kKeyRight, 0};

} // namespace tarvo
