// SPDX-License-Identifier: MIT
// The floor the Windows game is measured against: a bare Win32 window with the
// same style, the same Japanese menu bar (from the game's menu table), a 200 x 100 white client area and
// the same timer kept the same way (the game's own high-resolution ticker,
// ticking from the start); no game. Ctrl+S restarts the timer and turns the
// top half black thirty ticks later, as a bout's KILL comes; Shift turns it
// black or white at once, as a foul's banner does.
#include "window/windows/menu_bar_windows.h"
#include "window/windows/timer1_windows.h"

namespace {

constexpr UINT kTick = WM_APP + 1;
bool dark = false;
int ticks = 1000;
tarvo::on_windows::Timer1 timer1;

void Show(HWND w, bool now) {
    dark = now;
    const RECT top{0, 0, 200, 50};
    InvalidateRect(w, &top, FALSE);
}

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
    case WM_KEYDOWN:
        if (wp == VK_SHIFT) Show(w, !dark);
        if (wp == 'S' && GetKeyState(VK_CONTROL) < 0) {
            Show(w, false);
            ticks = 0;
            timer1.setEnabled(false);
            timer1.setEnabled(true);
        }
        return 0;
    case kTick:
        if (timer1.take(wp) && ++ticks == 30) Show(w, true);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        const RECT top{0, 0, 200, 50}, bottom{0, 50, 200, 100};
        FillRect(dc, &top, static_cast<HBRUSH>(GetStockObject(dark ? BLACK_BRUSH : WHITE_BRUSH)));
        FillRect(dc, &bottom, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        EndPaint(w, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"Bare";
    RegisterClassExW(&wc);
    tarvo::on_windows::MenuBar bar;
    if (!tarvo::on_windows::BuildMenuBar(bar)) return 1;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT r{0, 0, 200, 100};
    AdjustWindowRectEx(&r, style, TRUE, 0);
    HWND w = CreateWindowExW(0, L"Bare", L"BARE", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                             r.bottom - r.top, nullptr, bar.menu, instance, nullptr);
    if (!w || !timer1.start(w, kTick)) return 1;
    timer1.setEnabled(true);
    ShowWindow(w, show);
    UpdateWindow(w);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
