// SPDX-License-Identifier: MIT
// The floor the game is measured against: a bare Qt window that loads the same
// toolkit pieces (a main window with the same Japanese menu bar, a 200 x 100
// white client area) and repaints on every key press, but has no game in it.
#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>

namespace {

class Area : public QWidget {
public:
    Area() { setFixedSize(200, 100); }
    void flip() { dark_ = !dark_; update(); }
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
        QMenu *game = menuBar()->addMenu("ゲーム");
        game->addAction("スタート")->setShortcut(QKeySequence("Ctrl+S"));
        game->addAction("終わる");
        QMenu *opp = menuBar()->addMenu("対戦相手");
        opp->addAction("人対人")->setCheckable(true);
        opp->addAction("人対機械")->setCheckable(true);
        QMenu *help = menuBar()->addMenu("ヘルプ");
        help->addAction("ルール");
        help->addAction("キー操作");
        help->addAction("対戦相手について");
        help->addSeparator();
        help->addAction("対戦成績")->setShortcut(QKeySequence("F12"));
        layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
protected:
    void keyPressEvent(QKeyEvent *) override { area_->flip(); }
private:
    Area *area_;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    Bare w;
    w.show();
    return app.exec();
}
