// SPDX-License-Identifier: MIT
#include "title_strip_linux.h"

#include "library_linux.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <wayland-client.h>

#include <cstring>

namespace tarvo::on_linux {

namespace {

// The Wayland client library, opened only on Qt's Wayland platform, which has
// loaded it already. On X11 the game never loads it: linked, the system's
// loader would map it and libffi before the first frame, for nothing.
#define TARVO_WAYLAND_FUNCTIONS(F)                                                                                 \
    F(wl_display_connect) F(wl_display_disconnect) F(wl_display_roundtrip) F(wl_proxy_add_listener)              \
    F(wl_proxy_destroy) F(wl_proxy_get_version) F(wl_proxy_marshal_flags)

struct Wayland {
    TARVO_WAYLAND_FUNCTIONS(TARVO_LIBRARY_FUNCTION)
    const wl_interface *registryInterface = nullptr;
};

// The library's functions, or nullptr where it cannot be had.
const Wayland *OpenWayland() {
    return OpenLibrary<Wayland>("libwayland-client.so.0", [](Wayland &table, auto find) {
        TARVO_WAYLAND_FUNCTIONS(TARVO_FIND_FUNCTION)
        find(table.registryInterface, "wl_registry_interface");
    });
}

} // namespace

bool NeedsOwnTitleBar() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return false;
    const Wayland *wl = OpenWayland();
    if (!wl) return false;
    // A connection of our own for one look at the globals: a round trip, a
    // millisecond or so. Qt has already taken its own connection.
    wl_display *display = wl->wl_display_connect(nullptr);
    if (!display) return false;
    bool offered = false;
    static const wl_registry_listener listener{
        [](void *data, wl_registry *, uint32_t, const char *interface, uint32_t) {
            if (!std::strcmp(interface, "zxdg_decoration_manager_v1")) *static_cast<bool *>(data) = true;
        },
        [](void *, wl_registry *, uint32_t) {}};
    // What wayland-client-protocol.h's wl_display_get_registry,
    // wl_registry_add_listener and wl_registry_destroy do, through the
    // library opened here.
    auto *const displayProxy = reinterpret_cast<wl_proxy *>(display);
    wl_proxy *registry = wl->wl_proxy_marshal_flags(displayProxy, WL_DISPLAY_GET_REGISTRY, wl->registryInterface,
                                                    wl->wl_proxy_get_version(displayProxy), 0, nullptr);
    bool answered = false;
    if (registry) {
        wl->wl_proxy_add_listener(registry, reinterpret_cast<void (**)(void)>(const_cast<wl_registry_listener *>(&listener)),
                                  &offered);
        answered = wl->wl_display_roundtrip(display) >= 0;
        wl->wl_proxy_destroy(registry);
    }
    wl->wl_display_disconnect(display);
    return answered && !offered;
}

void TitleStrip::attach(QWidget *window) {
    // Frameless only without the title and button hints: Qt drops it beside them.
    window->setWindowFlags((window->windowFlags() & Qt::WindowType_Mask) | Qt::FramelessWindowHint);
    new TitleStrip(window);
    window->setContentsMargins(0, kHeight, 0, 0);
}

TitleStrip::TitleStrip(QWidget *window)
    : QWidget(window),
      icon_(window->windowIcon().pixmap(32).toImage().scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)) {
    setGeometry(0, 0, window->width(), kHeight);
    setFocusPolicy(Qt::NoFocus);
    window->installEventFilter(this);
}

bool TitleStrip::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Resize) setGeometry(0, 0, static_cast<QWidget *>(watched)->width(), kHeight);
    return false;
}

void TitleStrip::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xe8, 0xe8, 0xe8));
    p.fillRect(0, kHeight - 1, width(), 1, QColor(0xc0, 0xc0, 0xc0));
    p.drawImage(4, 4, icon_);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(QRect(kHeight, 0, width() - 2 * kHeight, kHeight - 1), Qt::AlignCenter, window()->windowTitle());
    // The close button: a cross.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.6));
    const QRectF cross = QRectF(closeBox()).adjusted(8, 8, -8, -8);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
}

void TitleStrip::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    closing_ = closeBox().contains(event->position().toPoint());
    if (!closing_) window()->windowHandle()->startSystemMove();
}

void TitleStrip::mouseReleaseEvent(QMouseEvent *event) {
    if (closing_ && event->button() == Qt::LeftButton && closeBox().contains(event->position().toPoint())) window()->close();
    closing_ = false;
}

} // namespace tarvo::on_linux
