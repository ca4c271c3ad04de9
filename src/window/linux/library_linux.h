// SPDX-License-Identifier: MIT
// A system library opened while the game runs rather than linked to it, so
// that the game starts without it and loads it only where it is needed
// (libpulse once the window is up, libwayland-client on Wayland alone).
#pragma once

#include <dlfcn.h>

#include <type_traits>

namespace tarvo::on_linux {

// A table of a library's functions is written from an X-macro list of their
// names: `struct Table { LIST(TARVO_LIBRARY_FUNCTION) };`, filled by
// `OpenLibrary<Table>(soname, [](Table &table, auto find) {
// LIST(TARVO_FIND_FUNCTION) })`.
#define TARVO_LIBRARY_FUNCTION(name) decltype(&::name) name = nullptr;
#define TARVO_FIND_FUNCTION(name) find(table.name, #name);

// Opens the library `soname` the first time it is asked for and has
// `fill(table, find)` look up what `Table` holds, `find(member, "symbol")`
// for each member. The table, or nullptr where the library or any symbol is
// missing. The library and the table stay for the program's life.
template <typename Table, typename Fill>
const Table *OpenLibrary(const char *soname, Fill fill) {
    static Table table;
    static const Table *const opened = [&]() -> const Table * {
        void *library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!library) return nullptr;
        bool all = true;
        fill(table, [&](auto &member, const char *symbol) {
            member = reinterpret_cast<std::remove_reference_t<decltype(member)>>(dlsym(library, symbol));
            all = all && member != nullptr;
        });
        return all ? &table : nullptr;
    }();
    return opened;
}

} // namespace tarvo::on_linux
