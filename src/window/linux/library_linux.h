// SPDX-License-Identifier: MIT
// A system library opened while the game runs rather than linked to it, so
// that the game starts without it and loads it only where it is needed
// (libpulse once the window is up, libwayland-client on Wayland alone).
#pragma once

#include <dlfcn.h>

#include <type_traits>

namespace tarvo::on_linux {

// Opens the library `soname` and has `fill(table, find)` look up what
// `Table` holds, `find(member, "symbol")` for each member. The table, or
// nullptr where the library or any symbol is missing. The library stays
// open for the program's life; the caller keeps the table (a static).
template <typename Table, typename Fill>
const Table *OpenLibrary(const char *soname, Table &table, Fill fill) {
    void *library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    bool all = true;
    fill(table, [&](auto &member, const char *symbol) {
        member = reinterpret_cast<std::remove_reference_t<decltype(member)>>(dlsym(library, symbol));
        all = all && member != nullptr;
    });
    return all ? &table : nullptr;
}

} // namespace tarvo::on_linux
