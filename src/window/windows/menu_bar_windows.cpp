// SPDX-License-Identifier: MIT
#include "menu_bar_windows.h"

#include "window/menu.h"

#include <string>
#include <vector>

namespace tarvo::on_windows {

bool BuildMenuBar(MenuBar &out) {
    out.menu = CreateMenu();
    if (!out.menu) return false;
    std::vector<HMENU> menus;
    for (size_t i = 0; i < std::size(kMenuTitles); ++i) {
        menus.push_back(CreatePopupMenu());
        if (!menus.back()) return false;
    }
    std::vector<ACCEL> keys;
    for (const MenuEntry &e : kMenu) {
        if (e.kind == MenuEntry::Separator) {
            if (!AppendMenuW(menus[size_t(e.title)], MF_SEPARATOR, UINT_PTR(e.id), nullptr)) return false;
            continue;
        }
        // Windows shows a shortcut after a tab, right-aligned in the item.
        std::u16string caption = e.caption;
        if (e.keyText) {
            caption += u'\t';
            caption += e.keyText;
        }
        const UINT flags = MF_STRING | (e.checked ? MF_CHECKED : 0);
        if (!AppendMenuW(menus[size_t(e.title)], flags, UINT_PTR(e.id), reinterpret_cast<const wchar_t *>(caption.c_str())))
            return false;
        if (e.shortcut.key) {
            BYTE virt = FVIRTKEY;
            if (e.shortcut.mask & kMaskShift) virt |= FSHIFT;
            if (e.shortcut.mask & kMaskCtrl) virt |= FCONTROL;
            if (e.shortcut.mask & kMaskAlt) virt |= FALT;
            keys.push_back(ACCEL{virt, WORD(e.shortcut.key), WORD(e.id)});
        }
    }
    for (size_t i = 0; i < menus.size(); ++i)
        if (!AppendMenuW(out.menu, MF_POPUP, reinterpret_cast<UINT_PTR>(menus[i]),
                         reinterpret_cast<const wchar_t *>(kMenuTitles[i])))
            return false;
    out.accelerators = CreateAcceleratorTableW(keys.data(), int(keys.size()));
    return out.accelerators != nullptr;
}

} // namespace tarvo::on_windows
