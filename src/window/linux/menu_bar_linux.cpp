// SPDX-License-Identifier: MIT
#include "menu_bar_linux.h"

#include "key_mapping_linux.h"
#include "window/menu.h"

#include <vector>

namespace tarvo::on_linux {

std::map<MenuItem, QAction *> BuildMenuBar(QMenuBar *bar, std::function<void(MenuItem)> chosen) {
    std::map<MenuItem, QAction *> actions;
    std::vector<QMenu *> menus;
    for (const char16_t *title : kMenuTitles) menus.push_back(bar->addMenu(QString::fromUtf16(title)));
    for (const MenuEntry &e : kMenu) {
        QMenu *menu = menus[size_t(e.title)];
        if (e.kind == MenuEntry::Separator) {
            menu->addSeparator()->setObjectName(QString::fromLatin1(e.name));
            continue;
        }
        QAction *a = menu->addAction(QString::fromUtf16(e.caption));
        QObject::connect(a, &QAction::triggered, bar, [chosen, item = *e.item] { chosen(item); });
        if (e.shortcut.key) {
            int modifiers = 0;
            if (e.shortcut.mask & kMaskShift) modifiers |= Qt::SHIFT;
            if (e.shortcut.mask & kMaskCtrl) modifiers |= Qt::CTRL;
            if (e.shortcut.mask & kMaskAlt) modifiers |= Qt::ALT;
            a->setShortcut(QKeySequence(modifiers | QtKeyOf(e.shortcut.key)));
        }
        a->setShortcutContext(Qt::WindowShortcut);
        if (e.kind == MenuEntry::Radio) {
            a->setCheckable(true);
            a->setChecked(e.checked);
        }
        actions[*e.item] = a;
    }
    return actions;
}

} // namespace tarvo::on_linux
