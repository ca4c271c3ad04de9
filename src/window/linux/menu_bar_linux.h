// SPDX-License-Identifier: MIT
// The window's menu bar in Qt, built from the shared menu table.
#pragma once

#include "platform/platform.h"

#include <QAction>
#include <QMenuBar>
#include <functional>
#include <map>

namespace tarvo::on_linux {

// Fills `bar` with the menus; choosing an item (or its shortcut, while the
// window has the focus) calls `chosen`. Gives each item's action.
std::map<MenuItem, QAction *> BuildMenuBar(QMenuBar *bar, std::function<void(MenuItem)> chosen);

} // namespace tarvo::on_linux
