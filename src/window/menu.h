// SPDX-License-Identifier: MIT
// The window's menu, written once for every front end: the menu bar's titles
// and, in order, their items with command number, caption, shortcut and
// check group; and what choosing an item does.
#pragma once

#include "duel/duel.h"
#include "platform/platform.h"

#include <cstdint>

namespace tarvo {

struct MenuEntry {
    enum Kind : std::uint8_t { Command, Radio, Separator };
    int title;                // the menu it is in: an index into kMenuTitles
    Kind kind;                // a Radio item is checked alone among its menu's
    MenuItem item;            // (none for a separator)
    int id;                   // the command number: the Windows menu id, the page's too
    const char16_t *caption;  // (none for a separator)
    std::uint16_t key = 0;    // the shortcut as the duel's key code, or 0
    std::uint16_t mask = 0;   // and its modifier bits
    const char16_t *keyText = nullptr; // the shortcut as the menu shows it
    bool checked = false;     // at start
    const char *name = nullptr; // the separator's control name
};

inline constexpr const char16_t *kMenuTitles[] = {u"ゲーム", u"対戦相手", u"ヘルプ"};

// Numbered on from the window's ten controls, as the Windows program's
// command ids are.
inline constexpr MenuEntry kMenu[] = {
    {0, MenuEntry::Command, MenuItem::Start, 12, u"スタート", 'S', kMaskCtrl, u"Ctrl+S"},
    {0, MenuEntry::Command, MenuItem::Quit, 13, u"終わる"},
    {1, MenuEntry::Radio, MenuItem::HumanVsHuman, 15, u"人対人", 0, 0, nullptr, true},
    {1, MenuEntry::Radio, MenuItem::HumanVsMachine, 16, u"人対機械"},
    {2, MenuEntry::Command, MenuItem::Rules, 18, u"ルール"},
    {2, MenuEntry::Command, MenuItem::Keys, 19, u"キー操作"},
    {2, MenuEntry::Command, MenuItem::AboutOpponent, 20, u"対戦相手について"},
    {2, MenuEntry::Separator, MenuItem::Score, 21, nullptr, 0, 0, nullptr, false, "Menubar1"},
    {2, MenuEntry::Command, MenuItem::Score, 22, u"対戦成績", 123 /* F12 */, 0, u"F12"},
};

// The entry of an item (every item has one).
const MenuEntry &MenuEntryOf(MenuItem item);
// The item with that command number, or nullptr (also for a separator).
const MenuEntry *MenuEntryWithId(int id);

// What choosing the item does: the duel's handlers and the help menu's boxes.
void Choose(MenuItem item, Duel &duel, Platform &platform);

} // namespace tarvo
