// SPDX-License-Identifier: MIT
#include "wlsession.h"

#include "process.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace tarvo::testing {

namespace {

// The whole output as sway sees it, with every window on it.
QJsonObject Tree(const Sway &s) { return QJsonDocument::fromJson(s.swaymsg({"-t", "get_tree"})).object(); }

// The first view with this exact title, or an empty object.
QJsonObject FindView(const QJsonObject &node, const QString &title) {
    if (node["name"].toString() == title && node.contains("pid") && node["visible"].toBool()) return node;
    for (const char *kids : {"nodes", "floating_nodes"})
        for (const QJsonValue &kid : node[kids].toArray())
            if (QJsonObject found = FindView(kid.toObject(), title); !found.isEmpty()) return found;
    return {};
}

} // namespace

// The virtual keyboard: our own connection to the compositor, a keymap (US
// layout) and the state of its modifiers.
struct Sway::Keyboard {
    wl_display *display = nullptr;
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *manager = nullptr;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    xkb_context *context = nullptr;
    xkb_keymap *keymap = nullptr;
    xkb_state *state = nullptr;
    QElapsedTimer clock;

    static void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
        auto *k = static_cast<Keyboard *>(data);
        if (!std::strcmp(interface, wl_seat_interface.name) && !k->seat)
            k->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        else if (!std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name))
            k->manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
    static void globalRemove(void *, wl_registry *, uint32_t) {}

    // Empty when attached, else why not.
    QString attach(const QString &socket) {
        clock.start();
        if (!(display = wl_display_connect(socket.toLocal8Bit().constData()))) return "cannot connect to " + socket;
        static const wl_registry_listener listener{global, globalRemove};
        wl_registry *registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip(display);
        wl_registry_destroy(registry);
        if (!seat || !manager) return "the compositor offers no seat or no virtual keyboard";
        context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        if (!context || !(keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS)))
            return "no US keymap (xkb-data)";
        state = xkb_state_new(keymap);
        keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
        char *text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("tarvo-keymap", MFD_CLOEXEC);
        const bool written = fd >= 0 && write(fd, text, size) == ssize_t(size);
        std::free(text);
        if (!written) return "cannot hand over the keymap";
        zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
        close(fd);
        if (wl_display_roundtrip(display) < 0) return "the compositor refused the virtual keyboard";
        return {};
    }
    ~Keyboard() {
        if (keyboard) zwp_virtual_keyboard_v1_destroy(keyboard);
        if (manager) zwp_virtual_keyboard_manager_v1_destroy(manager);
        if (seat) wl_seat_destroy(seat);
        if (display) wl_display_disconnect(display);
        if (state) xkb_state_unref(state);
        if (keymap) xkb_keymap_unref(keymap);
        if (context) xkb_context_unref(context);
    }

    // The key that gives `name` without modifiers, as an xkb keycode; 0 if none.
    xkb_keycode_t keycodeOf(QString name) const {
        static const QMap<QString, QString> aliases{
            {"ctrl", "Control_L"}, {"control", "Control_L"}, {"shift", "Shift_L"}, {"alt", "Alt_L"}};
        name = aliases.value(name.toLower(), name);
        xkb_keysym_t sym = xkb_keysym_from_name(name.toLatin1().constData(), XKB_KEYSYM_NO_FLAGS);
        if (sym == XKB_KEY_NoSymbol)
            sym = xkb_keysym_from_name(name.toLatin1().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
            const xkb_keysym_t *syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms);
            for (int i = 0; i < n; ++i)
                if (syms[i] == sym) return code;
        }
        return 0;
    }
    void send(xkb_keycode_t code, bool down) {
        // Evdev numbers on the wire: xkb's keycodes less 8.
        zwp_virtual_keyboard_v1_key(keyboard, uint32_t(clock.elapsed()), code - 8,
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        xkb_state_update_key(state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                                          xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                                          xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                                          xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
    }
};

Sway::Sway() : Compositor("sway", {"sway", "swaymsg", "grim"}, "sway and grim") {
    if (!ok()) return;
    QFile config(filePath("config"));
    if (!config.open(QIODevice::WriteOnly)) {
        error_ = "cannot write sway's configuration";
        return;
    }
    config.write("output HEADLESS-1 mode 640x480 position 0 0\n"
                 "xwayland disable\n");
    config.close();
    QProcessEnvironment env;
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_RENDERER", "pixman");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    // Its sockets appear in the runtime folder once it listens.
    const QDir d(dir());
    const auto listening = [&] {
        for (const QString &f : d.entryList({"wayland-*"}, QDir::System))
            if (!f.endsWith(".lock")) socket_ = d.filePath(f);
        for (const QString &f : d.entryList({"sway-ipc.*.sock"}, QDir::System)) ipc_ = d.filePath(f);
        return !socket_.isEmpty() && !ipc_.isEmpty();
    };
    if (!start({"sway", "-c", config.fileName()}, env, listening, 10000, 20, "sway did not open its sockets")) return;
    keyboard_ = std::make_unique<Keyboard>();
    if (const QString why = keyboard_->attach(socket_); !why.isEmpty()) fail(why);
}

Sway::~Sway() {
    keyboard_.reset();
    stop();
}

QByteArray Sway::swaymsg(const QStringList &args) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SWAYSOCK", ipc_);
    QByteArray out;
    Run("swaymsg", args, env, 10000, &out);
    return out;
}

void Sway::key(const QString &keys) {
    if (!keyboard_ || !keyboard_->keyboard) return;
    std::vector<xkb_keycode_t> codes;
    for (const QString &name : keys.split('+')) {
        const xkb_keycode_t code = keyboard_->keycodeOf(name);
        if (!code) qFatal("no key gives %s", qPrintable(name));
        codes.push_back(code);
    }
    for (xkb_keycode_t code : codes) keyboard_->send(code, true);
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) keyboard_->send(*it, false);
    wl_display_roundtrip(keyboard_->display);
}

bool Sway::hasWindow(const QString &title) { return !FindView(Tree(*this), title).isEmpty(); }
QString Sway::appId(const QString &title) { return FindView(Tree(*this), title)["app_id"].toString(); }

QImage Sway::grab(const QString &title) {
    const QJsonObject view = FindView(Tree(*this), title);
    if (view.isEmpty()) return {};
    // The window's inside: its place on the output, less sway's frame.
    const QJsonObject rect = view["rect"].toObject(), inner = view["window_rect"].toObject();
    const QString geometry = QString("%1,%2 %3x%4")
                                 .arg(rect["x"].toInt() + inner["x"].toInt())
                                 .arg(rect["y"].toInt() + inner["y"].toInt())
                                 .arg(inner["width"].toInt())
                                 .arg(inner["height"].toInt());
    return grim(geometry);
}

QImage Sway::grim(const QString &geometry) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("WAYLAND_DISPLAY", socket_);
    QByteArray ppm;
    const QStringList args = (geometry.isEmpty() ? QStringList() : QStringList{"-g", geometry}) + QStringList{"-t", "ppm", "-"};
    if (Run("grim", args, env, 10000, &ppm) != 0) return {};
    return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
}

QString Sway::whyNot(Ability a) const {
    return a == OwnTitleBar ? "sway draws a window's title bar itself, not the game" : Compositor::whyNot(a);
}

void Sway::setScale(int scale) {
    swaymsg({"output", "HEADLESS-1", "scale", QString::number(scale)});
    scale_ = scale;
}

} // namespace tarvo::testing
