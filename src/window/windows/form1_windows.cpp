// SPDX-License-Identifier: MIT
#include "form1_windows.h"

#include "menu_bar_windows.h"
#include "resource_windows.h"
#include "window/media_table.h"
#include "window/menu.h"

#include <cstring>
#include <utility>

namespace tarvo::on_windows {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' texts are UTF-16");

namespace {

constexpr wchar_t kClassName[] = L"Form1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU; // no sizing, no minimize or maximize
constexpr UINT kTimer1Message = WM_APP + 1;

const wchar_t *W(const std::u16string &s) { return reinterpret_cast<const wchar_t *>(s.c_str()); }

std::wstring Widen(const std::string &utf8) {
    std::wstring out(utf8.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), int(out.size()));
    out.resize(n > 0 ? size_t(n) : 0);
    return out;
}

std::string Narrow(const wchar_t *text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(size_t(n - 1));
    return out;
}

// What the system says about an error code, in UTF-8.
std::string SystemMessage(DWORD code) {
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string out = "error " + std::to_string(code);
    if (n > 0 && text) {
        std::string said = Narrow(text);
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.pop_back();
        out += ": " + said;
    }
    if (text) LocalFree(text);
    return out;
}

// The window's outer rectangle for the stage at `dpi`'s scale under a menu
// bar of one line.
bool OuterRect(UINT dpi, RECT &out) {
    out = RECT{0, 0, 200 * StageScaleFor(dpi), 100 * StageScaleFor(dpi)};
    return AdjustWindowRectExForDpi(&out, kStyle, TRUE, 0, dpi) != FALSE;
}

} // namespace

int StageScaleFor(UINT dpi) { return std::max(1, int((dpi + 48) / 96)); }

Form1::Form1(HINSTANCE instance) : instance_(instance) {
    // The icon: Windows picks the rendition nearest to each size it shows.
    bigIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TARVO), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TARVO), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!bigIcon_ || !smallIcon_) fail("LoadIcon");
    iconSize_ = {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CXICON)};

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Form1::WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = bigIcon_;
    wc.hIconSm = smallIcon_;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) fail("RegisterClass");

    // The stage surface, white, 32 bits a pixel, top row first.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 200;
    bi.bmiHeader.biHeight = -100;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    stageDc_ = CreateCompatibleDC(nullptr);
    pictureDc_ = CreateCompatibleDC(nullptr);
    if (!stageDc_ || !pictureDc_) fail("CreateCompatibleDC");
    stage_ = CreateDIBSection(stageDc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!stage_ || !bits) fail("CreateDIBSection");
    std::memset(bits, 0xff, 200 * 100 * 4);
    stageWas_ = static_cast<HBITMAP>(SelectObject(stageDc_, stage_));

    // The holders keep their pictures, untouched, for the window's life: the
    // bitmaps' own pixels and palettes, as stored.
    for (size_t i = 0; i < holders_.size(); ++i)
        if (const char *name = kHolderPictures[i]) holders_[i] = loadPicture(kPictureResourceBase + int(i) + 1, name);
    pictureWas_ = static_cast<HBITMAP>(SelectObject(pictureDc_, holders_[size_t(Holder::Image1)]));

    MenuBar bar;
    if (!BuildMenuBar(bar)) fail("CreateMenu");
    menu_ = bar.menu;
    accelerators_ = bar.accelerators;
    // Made at its size for the system's dpi, which fit() then finds right
    // unless the window's screen asks for another: each new size costs the
    // window a new surface under Wine.
    RECT outer;
    if (!OuterRect(GetDpiForSystem(), outer)) fail("AdjustWindowRectEx");
    hwnd_ = CreateWindowExW(0, kClassName, L"TARVO", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, menu_, instance_, this);
    if (!hwnd_) fail("CreateWindow");
    fit(GetDpiForWindow(hwnd_), nullptr);

    if (!timer1_.start(hwnd_, kTimer1Message)) fail("Timer1");
    timer1_.setEnabled(true);
    if (!sound_.start()) fail("SoundPlayer");

    duel_.Form_Load();
}

Form1::~Form1() {
    sound_.stop(); // silent from here on
    if (pictureDc_) {
        SelectObject(pictureDc_, pictureWas_);
        DeleteDC(pictureDc_);
    }
    if (stageDc_) {
        SelectObject(stageDc_, stageWas_);
        DeleteDC(stageDc_);
    }
    if (stage_) DeleteObject(stage_);
    for (HBITMAP b : holders_)
        if (b) DeleteObject(b);
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

HBITMAP Form1::loadPicture(int id, const char *name) {
    auto *b = static_cast<HBITMAP>(LoadImageW(instance_, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!b) RaiseError("LoadPicture", std::string("the built-in picture ") + name + ": " + SystemMessage(GetLastError()));
    return b;
}

void Form1::fit(UINT dpi, const RECT *suggested) {
    if (dpi == 0) dpi = 96;
    scale_ = StageScaleFor(dpi);
    // The title bar's and the task switcher's icons, at this screen's sizes,
    // where they are not the sizes shown already (at first the class's, at
    // the system's sizes).
    for (auto [which, metric] : {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
        const int size = GetSystemMetricsForDpi(metric, dpi);
        if (size == iconSize_[which]) continue;
        if (auto *icon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TARVO), IMAGE_ICON, size, size, 0))) {
            if (HICON old = reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon))))
                if (old != bigIcon_ && old != smallIcon_) DestroyIcon(old);
            iconSize_[which] = size;
        }
    }
    const int w = 200 * scale_, h = 100 * scale_;
    RECT r;
    if (!OuterRect(dpi, r)) fail("AdjustWindowRectEx");
    RECT at;
    if (suggested) at = *suggested;
    else GetWindowRect(hwnd_, &at);
    int outerW = r.right - r.left, outerH = r.bottom - r.top;
    // A menu bar that wraps onto a second line takes from the client area:
    // grow until the stage fits. A window already where and as large as
    // asked is left alone.
    for (int tries = 0; tries < 3; ++tries) {
        RECT now;
        const RECT want{at.left, at.top, at.left + outerW, at.top + outerH};
        if (!(GetWindowRect(hwnd_, &now) && EqualRect(&now, &want)) &&
            !SetWindowPos(hwnd_, nullptr, at.left, at.top, outerW, outerH, SWP_NOZORDER | SWP_NOACTIVATE))
            fail("SetWindowPos");
        RECT c;
        GetClientRect(hwnd_, &c);
        if (c.right >= w && c.bottom >= h) break;
        outerW += std::max(0L, w - c.right);
        outerH += std::max(0L, h - c.bottom);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Form1::Show(int how) {
    ShowWindow(hwnd_, how);
    if (!UpdateWindow(hwnd_)) fail("UpdateWindow");
}

int Form1::Run() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return int(msg.wParam);
        if (got == -1) fail("GetMessage");
        // Ctrl+S and F12; a grayed item's shortcut sends no command.
        if (TranslateAcceleratorW(hwnd_, accelerators_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *self = static_cast<Form1 *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<Form1 *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    // What a tick, a key or a command drew is painted as soon as its handler
    // has returned, ahead of anything else waiting.
    switch (message) {
    case kTimer1Message:
        if (timer1_.take(wParam)) duel_.Timer1_Timer();
        paintNow();
        return 0;
    case WM_KEYDOWN:
        keyDown(wParam);
        paintNow();
        return 0;
    case WM_SYSKEYDOWN: // with Alt held, or F10: the key handler sees it, then Windows (menus, Alt+F4)
        keyDown(wParam);
        paintNow(); // Alt+Right is still 2P's key: its frame and sound come as for any key
        break;
    case WM_COMMAND:
        if (lParam == 0) { // a menu item or its shortcut
            command(LOWORD(wParam));
            paintNow();
            return 0;
        }
        break;
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND: {
        // White where the stage does not reach; the stage paints itself.
        RECT c;
        GetClientRect(hwnd_, &c);
        HDC dc = reinterpret_cast<HDC>(wParam);
        const HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RECT right{200 * scale_, 0, c.right, c.bottom}, below{0, 100 * scale_, 200 * scale_, c.bottom};
        FillRect(dc, &right, white);
        FillRect(dc, &below, white);
        return 1;
    }
    case WM_DPICHANGED:
        fit(HIWORD(wParam), reinterpret_cast<const RECT *>(lParam));
        return 0;
    case WM_DESTROY:
        timer1_.setEnabled(false);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Form1::command(int id) {
    if (const MenuEntry *e = MenuEntryWithId(id)) Choose(*e->item, duel_, *this);
}

void Form1::keyDown(WPARAM key) {
    // Windows' own virtual-key codes (Right arrow 39) and the state of the
    // modifiers as this key went down: a Shift key's own press holds Shift.
    std::uint16_t mask = 0;
    if (GetKeyState(VK_SHIFT) < 0) mask |= kMaskShift;
    if (GetKeyState(VK_CONTROL) < 0) mask |= kMaskCtrl;
    if (GetKeyState(VK_MENU) < 0) mask |= kMaskAlt;
    duel_.Form_KeyDown(static_cast<std::uint16_t>(key), mask);
}

void Form1::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (!dc) fail("BeginPaint");
    const int s = scale_;
    // Whole pixels only: each picture pixel becomes s x s screen pixels.
    SetStretchBltMode(dc, COLORONCOLOR);
    bool ok = true;
    if (image7_) {
        SelectObject(pictureDc_, image7_);
        ok &= StretchBlt(dc, 0, 0, 200 * s, 50 * s, pictureDc_, 0, 0, 200, 50, SRCCOPY) != FALSE;
    } else {
        ok &= StretchBlt(dc, 0, 0, 200 * s, 50 * s, stageDc_, 0, 0, 200, 50, SRCCOPY) != FALSE; // white
    }
    ok &= StretchBlt(dc, 0, 50 * s, 200 * s, 50 * s, stageDc_, 0, 50, 200, 50, SRCCOPY) != FALSE;
    EndPaint(hwnd_, &ps);
    if (!ok) fail("paint");
}

void Form1::invalidate(int x, int y, int w, int h) {
    const RECT r{x * scale_, y * scale_, (x + w) * scale_, (y + h) * scale_};
    InvalidateRect(hwnd_, &r, FALSE);
    drawn_ = true;
}

void Form1::paintNow() {
    if (drawn_ && IsWindow(hwnd_)) UpdateWindow(hwnd_);
    drawn_ = false;
    // Only now the sounds: a foul's banner is not held back while the foul's
    // sound stops the one before it.
    sound_.handOver();
}

void Form1::DrawCell(int x1, int y1, int x2, int y2) {
    SelectObject(pictureDc_, holders_[size_t(Holder::Image1)]);
    if (!BitBlt(stageDc_, x1, y1, 50, 50, pictureDc_, x2, y2, SRCCOPY)) fail("DrawCell");
    GdiFlush();
    invalidate(x1, y1, 50, 50);
}

void Form1::SetBanner(Holder holder) {
    image7_ = holders_[size_t(holder)];
    invalidate(0, 0, 200, 50);
}

bool Form1::BannerShows(Holder holder) {
    const HBITMAP held = holders_[size_t(holder)];
    return image7_ != nullptr && held != nullptr && image7_ == held;
}

bool Form1::Enabled(MenuItem item) {
    const UINT state = GetMenuState(menu_, UINT(MenuEntryOf(item).id), MF_BYCOMMAND);
    if (state == UINT(-1)) fail("Enabled");
    return (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void Form1::SetEnabled(MenuItem item, bool enabled) {
    if (EnableMenuItem(menu_, UINT(MenuEntryOf(item).id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED)) == -1)
        fail("SetEnabled");
}

bool Form1::Checked(MenuItem item) {
    const UINT state = GetMenuState(menu_, UINT(MenuEntryOf(item).id), MF_BYCOMMAND);
    if (state == UINT(-1)) fail("Checked");
    return (state & MF_CHECKED) != 0;
}

void Form1::SetChecked(MenuItem item, bool checked) {
    if (CheckMenuItem(menu_, UINT(MenuEntryOf(item).id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED)) == DWORD(-1))
        fail("SetChecked");
}

void Form1::SetTimer1Enabled(bool enabled) { timer1_.setEnabled(enabled); }

void Form1::MessageBox(const std::u16string &text, const std::u16string &title) {
    // Style 0: one OK button, no icon. Character 13 alone breaks the line in
    // the system's box. Timer1's ticks reach the window meanwhile.
    if (MessageBoxW(hwnd_, W(text), W(title), MB_OK) == 0) fail("MessageBox");
}

std::vector<std::uint8_t> Form1::LoadSoundResource(int id) {
    HRSRC found = FindResourceW(instance_, MAKEINTRESOURCEW(id), L"SOUND");
    if (!found) RaiseError("LoadSoundResource", "no built-in sound " + std::to_string(id) + ": " + SystemMessage(GetLastError()));
    HGLOBAL loaded = LoadResource(instance_, found);
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(instance_, found);
    if (!bytes) RaiseError("LoadSoundResource", "sound " + std::to_string(id) + ": " + SystemMessage(GetLastError()));
    const auto *first = static_cast<const std::uint8_t *>(bytes);
    return std::vector<std::uint8_t>(first, first + size);
}

void Form1::PlaySoundFromMemory(const std::uint8_t *image, std::size_t size) {
    // A copy, started by the sound player's thread once this handler's frame
    // is painted (sound_player.h): the duel keeps its bytes only until its
    // next call.
    sound_.ask(image, size);
}

void Form1::CloseWindow() {
    if (!DestroyWindow(hwnd_)) fail("CloseWindow");
}

void Form1::fail(const char *operation) { RaiseError(operation, SystemMessage(GetLastError())); }

void Form1::RaiseError(const std::string &operation, const std::string &reason) {
    timer1_.setEnabled(false);
    sound_.stop();
    const std::wstring text = Widen(operation + ": " + reason);
    MessageBoxW(hwnd_ && IsWindow(hwnd_) ? hwnd_ : nullptr, text.c_str(), L"TARVO", MB_OK | MB_ICONERROR);
    ExitProcess(1);
}

} // namespace tarvo::on_windows
