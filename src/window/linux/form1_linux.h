// SPDX-License-Identifier: MIT
// The game's one window: a 200 x 100 stage under a menu bar, the banner
// display over its top half, the picture holders, the 100 ms timer, and the
// platform services the duel runs on.
#pragma once

#include "duel/duel.h"
#include "platform/platform.h"
#include "pulse_player_linux.h"

#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>
#include <array>
#include <map>

class QAction;

namespace tarvo::on_linux {

// Image7: shows one holder's picture, shared, never copied.
class BannerDisplay : public QWidget {
public:
    explicit BannerDisplay(QWidget *parent);
    void setPicture(const QPixmap &picture);
    const QPixmap &picture() const { return picture_; }
protected:
    void paintEvent(QPaintEvent *) override;
private:
    QPixmap picture_;
};

// The persistent drawing surface of the stage; what is drawn stays.
class Stage : public QWidget {
public:
    explicit Stage(QWidget *parent);
    void copyCell(const QImage &sheet, int x1, int y1, int x2, int y2);
    const QImage &surface() const { return surface_; }
protected:
    void paintEvent(QPaintEvent *) override;
private:
    QImage surface_;
};

class Form1 : public QMainWindow, public Platform {
    Q_OBJECT
public:
    Form1();
    ~Form1() override;

    // Platform
    void DrawCell(int x1, int y1, int x2, int y2) override;
    void SetBanner(Holder holder) override;
    bool BannerShows(Holder holder) override;
    bool Enabled(MenuItem item) override;
    void SetEnabled(MenuItem item, bool enabled) override;
    bool Checked(MenuItem item) override;
    void SetChecked(MenuItem item, bool checked) override;
    void SetTimer1Enabled(bool enabled) override;
    void MessageBox(const std::u16string &text, const std::u16string &title) override;
    double Random() override { return random_.next(); }
    std::vector<std::uint8_t> LoadSoundResource(int id) override;
    void PlaySoundFromMemory(const std::uint8_t *image, std::size_t size) override;
    void CloseWindow() override { close(); }
    [[noreturn]] void RaiseError(const std::string &operation, const std::string &reason) override;

    // For the tests and the benchmarks.
    Duel &duel() { return duel_; }
    QAction *action(MenuItem item) const { return actions_.at(item); }
    QImage stageImage() const;            // what the 200 x 100 client area shows
    const QPixmap &holderPicture(Holder h) { return holder(h); }
    const QTimer &timer1() const { return timer1_; }
    PulsePlayer &player() { return player_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // The window shows no focus frame, so nothing is repainted when it gains
    // or loses the keyboard. QWidget's own handlers repaint the menu bar
    // there, and the first key pressed in the window waited for it.
    void focusInEvent(QFocusEvent *) override {}
    void focusOutEvent(QFocusEvent *) override {}

private:
    QPixmap loadPicture(const char *resource);
    const QPixmap &holder(Holder h); // its picture, loaded at its first use

    Duel duel_{*this};
    StdRandom random_;
    Stage *stage_ = nullptr;
    BannerDisplay *image7_ = nullptr;
    std::array<QPixmap, 9> holders_;
    QImage sheet_;
    QTimer timer1_;
    PulsePlayer player_;
    std::map<MenuItem, QAction *> actions_;
    bool ownTitleBar_ = false; // the window and its boxes draw their own title bars
};

} // namespace tarvo::on_linux
