// SPDX-License-Identifier: MIT
// The window's menu, written once for every front end: the menu bar's titles
// and, in order, their items with command number, caption, shortcut and
// check group; and what choosing an item does.
#pragma once

#include "duel/duel.h"
#include "platform/key_codes.h"
#include "platform/platform.h"

#include <cstdint>
#include <optional>

namespace tarvo {

struct MenuEntry {
    enum Kind : std::uint8_t { Command, Radio, Separator };
    int title;                        // the menu it is in: an index into kMenuTitles
    Kind kind;                        // a Radio item is checked alone among its menu's
    std::optional<MenuItem> item;     // what choosing it does; none for a separator
    int id;                           // the command number: the Windows menu id, the page's too
    const char16_t *caption;          // none for a separator
    KeyStroke shortcut{};             // key 0: none
    const char16_t *keyText = nullptr; // the shortcut as the menu shows it
    bool checked = false;             // at start
    const char *name = nullptr;       // the separator's control name

    // An item that carries out a command; one of a group of which one alone
    // is checked; a line between items.
    static constexpr MenuEntry Choice(int title, MenuItem item, int id, const char16_t *caption, KeyStroke shortcut = {},
                                      const char16_t *keyText = nullptr) {
        return {title, Command, item, id, caption, shortcut, keyText};
    }
    static constexpr MenuEntry OneOf(int title, MenuItem item, int id, const char16_t *caption, bool checked) {
        return {title, Radio, item, id, caption, {}, nullptr, checked};
    }
    static constexpr MenuEntry Line(int title, int id, const char *name) {
        return {title, Separator, std::nullopt, id, nullptr, {}, nullptr, false, name};
    }
};

inline constexpr const char16_t *kMenuTitles[] = {u"ゲーム", u"対戦相手", u"ヘルプ"};

// Numbered on from the window's ten controls, as the Windows program's
// command ids are.
inline constexpr MenuEntry kMenu[] = {
    MenuEntry::Choice(0, MenuItem::Start, 12, u"スタート", {LetterKey('S'), kMaskCtrl}, u"Ctrl+S"),
    MenuEntry::Choice(0, MenuItem::Quit, 13, u"終わる"),
    MenuEntry::OneOf(1, MenuItem::HumanVsHuman, 15, u"人対人", true),
    MenuEntry::OneOf(1, MenuItem::HumanVsMachine, 16, u"人対機械", false),
    MenuEntry::Choice(2, MenuItem::Rules, 18, u"ルール"),
    MenuEntry::Choice(2, MenuItem::Keys, 19, u"キー操作"),
    MenuEntry::Choice(2, MenuItem::AboutOpponent, 20, u"対戦相手について"),
    MenuEntry::Line(2, 21, "Menubar1"),
    MenuEntry::Choice(2, MenuItem::Score, 22, u"対戦成績", {FunctionKey(12), 0}, u"F12"),
};

// The entry of an item (every item has one: the tests choose each).
constexpr const MenuEntry &MenuEntryOf(MenuItem item) {
    for (const MenuEntry &e : kMenu)
        if (e.item == item) return e;
    return kMenu[0]; // not reached
}
// The item with that command number, or nullptr (also for a separator).
constexpr const MenuEntry *MenuEntryWithId(int id) {
    for (const MenuEntry &e : kMenu)
        if (e.item && e.id == id) return &e;
    return nullptr;
}

// What choosing the item does: the duel's handlers and the help menu's boxes.
void Choose(MenuItem item, Duel &duel, Platform &platform);

} // namespace tarvo
