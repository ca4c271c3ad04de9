// SPDX-License-Identifier: MIT
// The window's title bar where nobody else draws one: on Wayland, a
// compositor that leaves decorations to its clients (GNOME's mutter) would
// get Qt's own title bar, with maximize and minimize buttons that a fixed-size
// window must not have. There the window goes frameless and shows this strip
// instead (its boxes too): the icon, the caption and a close button. Pressing anywhere else
// on it moves the window; nothing on it maximizes or minimizes.
#pragma once

#include <QImage>
#include <QWidget>

namespace tarvo::on_linux {

// Whether the window needs the strip: on Qt's Wayland platform, when the
// compositor does not offer to decorate windows itself (no
// zxdg_decoration_manager_v1 among its globals).
bool NeedsOwnTitleBar();

class TitleStrip : public QWidget {
public:
    static constexpr int kHeight = 24;
    // Makes `window` (the game's or a box) frameless, with the strip across
    // its top and its contents below it.
    static void attach(QWidget *window);


protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *) override {} // no maximizing

private:
    explicit TitleStrip(QWidget *window);
    QRect closeBox() const { return QRect(width() - kHeight, 0, kHeight, kHeight); }
    QImage icon_;
    bool closing_ = false;
};

} // namespace tarvo::on_linux
