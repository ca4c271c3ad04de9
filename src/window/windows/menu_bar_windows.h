// SPDX-License-Identifier: MIT
// The window's menu bar with the Windows API, built from the shared menu
// table: the menus, and the shortcuts' accelerator table.
#pragma once

#include <windows.h>

namespace tarvo::on_windows {

struct MenuBar {
    HMENU menu = nullptr;        // owned by the window it is given to
    HACCEL accelerators = nullptr;
};

// The menus and the shortcuts, each item sending its command id; false (with
// GetLastError) when the system refuses.
bool BuildMenuBar(MenuBar &out);

} // namespace tarvo::on_windows
