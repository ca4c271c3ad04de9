// SPDX-License-Identifier: MIT
// TARVO for Windows: the window, then its events until it is closed.
#include "form1_windows.h"

#include <cstdio>
#include <exception>

namespace {

// A fault that nothing caught ends the game with a box saying so, never with
// the system's crash dialog.
[[noreturn]] void Abandon(const wchar_t *what) {
    MessageBoxW(nullptr, what, L"TARVO", MB_OK | MB_ICONERROR);
    ExitProcess(3);
}

LONG WINAPI OnFault(EXCEPTION_POINTERS *e) {
    wchar_t text[128];
    std::swprintf(text, 128, L"internal error: exception 0x%08lX", e && e->ExceptionRecord ? e->ExceptionRecord->ExceptionCode : 0UL);
    Abandon(text);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(&OnFault);
    std::set_terminate([] { Abandon(L"internal error: the program cannot go on"); });
    // The manifest asks for this already; where the system read no manifest
    // (or an older format of it) the same is asked here.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    tarvo::on_windows::Form1 form(instance);
    form.Show(show);
    return form.Run();
}
