// SPDX-License-Identifier: MIT
// The floor the game is measured against: a bare Qt window that loads the same
// toolkit pieces (a main window with the same Japanese menu bar, from the
// game's own menu table, a 200 x 100
// white client area) and keeps the same timer the same way (a precise 100 ms
// timer, ticking from the start), but has no game in it. Ctrl+S restarts the
// timer and turns the top half black thirty ticks later, as a bout's KILL
// comes; Shift turns it black or white at once, as a foul's banner does.
#include "window/linux/menu_bar_linux.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

namespace {

class Area : public QWidget {
public:
    Area() { setFixedSize(200, 100); }
    void set(bool dark) { dark_ = dark; update(); }
    bool dark() const { return dark_; }
protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (dark_) p.fillRect(QRect(0, 0, 200, 50), Qt::black);
    }
private:
    bool dark_ = false;
};

class Bare : public QMainWindow {
public:
    Bare() {
        setWindowTitle("BARE");
        area_ = new Area;
        setCentralWidget(area_);
        tarvo::on_linux::BuildMenuBar(menuBar(), [this](tarvo::MenuItem item) {
            if (item != tarvo::MenuItem::Start) return;
            area_->set(false);
            ticks_ = 0;
            timer_.stop();
            timer_.start();
        });
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(100);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (++ticks_ == 30) area_->set(true);
        });
        timer_.start();
    }
protected:
    void keyPressEvent(QKeyEvent *e) override {
        if (e->key() == Qt::Key_Shift) area_->set(!area_->dark());
    }
private:
    Area *area_;
    QTimer timer_;
    int ticks_ = 1000;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    Bare w;
    w.show();
    return app.exec();
}
