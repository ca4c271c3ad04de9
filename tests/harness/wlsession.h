// SPDX-License-Identifier: MIT
// A private Wayland compositor for the tests that play the real game: sway,
// headless, drawing in software, in a runtime folder of its own
// (compositor.h). Keys go through one virtual keyboard that stays attached
// from start to end (a keyboard that appears only for one key press loses
// that press: the window gets the new keyboard only after it); what is on
// screen is read with grim, and the windows with their titles from sway's
// tree.
#pragma once

#include "compositor.h"

#include <memory>

namespace tarvo::testing {

class Sway : public Compositor {
public:
    Sway();
    ~Sway() override;
    void key(const QString &keys) override;
    bool hasWindow(const QString &title) override;
    QString appId(const QString &title) override;
    QImage grab(const QString &title) override;
    QImage screen() override { return grim({}); }
    // The compositor gives a new window the keyboard and gives it back when a
    // box closes: nothing to do, as for a player.
    void focus(const QString &) override {}
    void setScale(int scale) override;
    int scale() const override { return scale_; }
    QString whyNot(Ability a) const override;

    // swaymsg with these arguments; its output.
    QByteArray swaymsg(const QStringList &args) const;

private:
    struct Keyboard;
    // grim's picture of a region ("x,y wxh"), or of the whole output.
    QImage grim(const QString &geometry) const;
    QString ipc_;
    std::unique_ptr<Keyboard> keyboard_;
    int scale_ = 1;
};

} // namespace tarvo::testing
