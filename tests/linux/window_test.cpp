// SPDX-License-Identifier: MIT
// The real window, offscreen: what the stage shows, the menus, the keys,
// the message boxes.
#include "window/linux/form1_linux.h"
#include "window/linux/key_mapping_linux.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace tarvo::on_linux {
namespace {

QImage asset(const char *name) { return QImage(QString(TARVO_ASSETS_DIR) + "/" + name).convertToFormat(QImage::Format_RGB32); }
QImage cell(int column, int row) { return asset("sprites.bmp").copy(50 * column, 50 * row, 50, 50); }
bool white(const QImage &img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xffffff) != 0xffffff) return false;
    return true;
}

class WindowTest : public ::testing::Test {
protected:
    Form1 form;
    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    QImage stage() { return form.stageImage(); }
    QImage banner() { return stage().copy(0, 0, 200, 50); }
    QImage slot1P() { return stage().copy(0, 50, 50, 50); }
    QImage slot2P() { return stage().copy(150, 50, 50, 50); }
    QImage middle() { return stage().copy(50, 50, 100, 50); }
    void trigger(MenuItem item) { form.action(item)->trigger(); }
};

TEST_F(WindowTest, IsAFixed200By100StageCaptionedTarvo) {
    EXPECT_EQ(form.windowTitle(), "TARVO");
    EXPECT_EQ(form.centralWidget()->size(), QSize(200, 100));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the user cannot resize it";
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(32, 32)));
    EXPECT_EQ(form.stageImage().size(), QSize(200, 100));
    EXPECT_EQ(QApplication::focusWidget(), &form) << "the window itself takes the keys";
}

TEST_F(WindowTest, AfterLoadTheBannerIsWhiteAndTheFiguresStandBackToBack) {
    EXPECT_TRUE(white(banner()));
    EXPECT_EQ(slot1P(), cell(0, 1));
    EXPECT_EQ(slot2P(), cell(0, 0));
    EXPECT_TRUE(white(middle()));
    EXPECT_TRUE(form.timer1().isActive());
    EXPECT_EQ(form.timer1().interval(), 100);
    EXPECT_EQ(form.timer1().timerType(), Qt::PreciseTimer);
}

TEST_F(WindowTest, StartShowsReadyAndTurnsTheFiguresToFaceEachOther) {
    trigger(MenuItem::Start);
    QApplication::processEvents();
    EXPECT_EQ(banner(), asset("ready.bmp"));
    EXPECT_EQ(slot1P(), cell(0, 0));
    EXPECT_EQ(slot2P(), cell(0, 1));
    EXPECT_TRUE(white(middle()));
    EXPECT_FALSE(form.action(MenuItem::Start)->isEnabled());
    const std::uint8_t kill = form.duel().state.killTick;
    trigger(MenuItem::Start); // disabled: nothing happens
    EXPECT_EQ(form.duel().state.killTick, kill);
}

// The banners are loaded once the window is up; a Start before that still
// shows Ready? at once.
TEST(WindowStart, StartTheMomentTheWindowAppearsShowsReady) {
    Form1 form;
    form.show();
    form.action(MenuItem::Start)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(form.stageImage().copy(0, 0, 200, 50), asset("ready.bmp"));
    EXPECT_TRUE(form.BannerShows(Holder::Image3));
}

TEST_F(WindowTest, BannersAreToldApartByPictureIdentity) {
    for (Holder h : {Holder::Image2, Holder::Image3, Holder::Image4, Holder::Image5, Holder::Image6, Holder::Image8,
                     Holder::Image9})
        EXPECT_FALSE(form.BannerShows(h)) << "an empty display shows no holder";
    form.SetBanner(Holder::Image3);
    EXPECT_TRUE(form.BannerShows(Holder::Image3));
    EXPECT_FALSE(form.BannerShows(Holder::Image2));
    std::set<qint64> keys;
    for (Holder h : {Holder::Image1, Holder::Image2, Holder::Image3, Holder::Image4, Holder::Image5, Holder::Image6,
                     Holder::Image8, Holder::Image9})
        keys.insert(form.holderPicture(h).cacheKey());
    EXPECT_EQ(keys.size(), 8u);
    EXPECT_FALSE(keys.count(0));
    form.SetBanner(Holder::Image2);
    EXPECT_TRUE(form.BannerShows(Holder::Image2));
    EXPECT_FALSE(form.BannerShows(Holder::Image3));
}

TEST_F(WindowTest, MenusHaveTheirCaptionsOrderShortcutsAndFirstStates) {
    const QList<QAction *> top = form.menuBar()->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), "ゲーム");
    EXPECT_EQ(top[1]->text(), "対戦相手");
    EXPECT_EQ(top[2]->text(), "ヘルプ");
    auto captions = [](QAction *menu) {
        QStringList out;
        for (QAction *a : menu->menu()->actions()) out << (a->isSeparator() ? "-" : a->text());
        return out;
    };
    EXPECT_EQ(captions(top[0]), QStringList({"スタート", "終わる"}));
    EXPECT_EQ(captions(top[1]), QStringList({"人対人", "人対機械"}));
    EXPECT_EQ(captions(top[2]), QStringList({"ルール", "キー操作", "対戦相手について", "-", "対戦成績"}));
    EXPECT_EQ(form.action(MenuItem::Start)->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(form.action(MenuItem::Score)->shortcut(), QKeySequence("F12"));
    for (QAction *t : top)
        for (QAction *a : t->menu()->actions()) {
            EXPECT_FALSE(a->text().contains('&')) << "no access keys";
            if (!a->isSeparator()) {
                EXPECT_TRUE(a->isEnabled());
            }
            if (a != form.action(MenuItem::HumanVsHuman)) {
                EXPECT_FALSE(a->isChecked()) << a->text().toStdString();
            }
        }
    EXPECT_TRUE(form.action(MenuItem::HumanVsHuman)->isChecked());
}

TEST_F(WindowTest, OpponentMarksStayMutuallyExclusive) {
    QAction *hvh = form.action(MenuItem::HumanVsHuman), *hvm = form.action(MenuItem::HumanVsMachine);
    const MenuItem sequence[] = {MenuItem::HumanVsHuman, MenuItem::HumanVsMachine, MenuItem::HumanVsMachine,
                                 MenuItem::HumanVsHuman, MenuItem::HumanVsHuman};
    for (MenuItem item : sequence) {
        trigger(item); // a checkable item toggles itself first; the command sets both marks
        EXPECT_NE(hvh->isChecked(), hvm->isChecked());
        EXPECT_EQ(hvh->isChecked(), item == MenuItem::HumanVsHuman);
    }
}

TEST_F(WindowTest, KeyPressesReachTheDuelAsCodeAndMask) {
    EXPECT_EQ(KeyCodeOf(Qt::Key_Right), 39);
    EXPECT_EQ(KeyCodeOf(Qt::Key_A), 65);
    EXPECT_EQ(KeyCodeOf(Qt::Key_Shift), 16);
    EXPECT_EQ(ModifierMaskOf(Qt::Key_Shift, Qt::NoModifier), 1) << "Shift's own press carries its bit";
    EXPECT_EQ(ModifierMaskOf(Qt::Key_Shift, Qt::ShiftModifier), 1);
    EXPECT_EQ(ModifierMaskOf(Qt::Key_Right, Qt::KeypadModifier), 0);
    EXPECT_EQ(ModifierMaskOf(Qt::Key_A, Qt::ShiftModifier | Qt::KeypadModifier | Qt::MetaModifier), 1);
    EXPECT_EQ(ModifierMaskOf(Qt::Key_Shift, Qt::ControlModifier), 3);
    EXPECT_EQ(ModifierMaskOf(Qt::Key_Alt, Qt::NoModifier), 4);

    // Through the window: Shift during Ready? is 1P's foul.
    trigger(MenuItem::Start);
    QTest::keyPress(&form, Qt::Key_Shift, Qt::NoModifier);
    QApplication::processEvents();
    EXPECT_TRUE(form.BannerShows(Holder::Image8));
    EXPECT_EQ(slot1P(), cell(7, 0));
    EXPECT_EQ(slot2P(), cell(0, 1));
    EXPECT_EQ(banner(), asset("fall1p.bmp"));
    // A keypad Right arrow during Ready? is 2P's.
    trigger(MenuItem::Start);
    QTest::keyPress(&form, Qt::Key_Right, Qt::KeypadModifier);
    EXPECT_TRUE(form.BannerShows(Holder::Image9));
    EXPECT_EQ(form.duel().state.wins1P, 1);
    EXPECT_EQ(form.duel().state.wins2P, 1);
}

TEST_F(WindowTest, WhatIsDrawnSurvivesHidingAndRepainting) {
    trigger(MenuItem::Start);
    form.DrawCell(0, 50, 250, 0);
    const QImage before = stage();
    form.hide();
    QApplication::processEvents();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.repaint();
    EXPECT_EQ(stage(), before);
    EXPECT_EQ(slot1P(), cell(5, 0));
}

TEST_F(WindowTest, AWholeBoutWithoutASoundServerGoesOnInSilence) {
    trigger(MenuItem::Start);
    // Wait for KILL on the real timer, then fire.
    QElapsedTimer clock;
    clock.start();
    while (!form.BannerShows(Holder::Image2) && clock.elapsed() < 6000) QTest::qWait(5);
    ASSERT_TRUE(form.BannerShows(Holder::Image2));
    EXPECT_GE(clock.elapsed(), 2950);
    EXPECT_LE(clock.elapsed(), 4100);
    QTest::keyPress(&form, Qt::Key_Right);
    EXPECT_TRUE(form.BannerShows(Holder::Image4));
    clock.restart();
    while (!form.BannerShows(Holder::Image6) && clock.elapsed() < 3000) QTest::qWait(5);
    EXPECT_TRUE(form.BannerShows(Holder::Image6));
    EXPECT_EQ(slot2P(), cell(8, 1));
    EXPECT_EQ(form.duel().state.wins2P, 1);
    EXPECT_TRUE(form.action(MenuItem::Start)->isEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no box about the missing sound";
}

// Opens a box from `open`, hands it to `inspect` while it is up, then closes it.
void withBox(const std::function<void()> &open, const std::function<void(QMessageBox *)> &inspect) {
    bool seen = false;
    QTimer::singleShot(50, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        inspect(box);
        box->button(QMessageBox::Ok)->click();
    });
    open();
    EXPECT_TRUE(seen);
}

QLabel *textLabel(QMessageBox *box) {
    for (QLabel *l : box->findChildren<QLabel *>())
        if (l->objectName() == "qt_msgbox_label") return l;
    return nullptr;
}

TEST_F(WindowTest, TheKeysBoxShowsExactlyFourLines) {
    withBox([&] { trigger(MenuItem::Keys); }, [](QMessageBox *box) {
        EXPECT_EQ(box->windowTitle(), "キー操作");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->buttons().size(), 1);
        QLabel *label = textLabel(box);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text().split('\n'),
                  QStringList({"＜キー操作＞", "１Ｐ：Ｓｈｉｆｔ", "２Ｐ：\u3000\u3000→", "で撃ちます。"}));
        // As laid out: exactly as tall as the same four lines set one under
        // another, not as three or five.
        auto tall = [&](const QString &text) {
            QLabel ref;
            ref.setFont(label->font());
            ref.setWordWrap(label->wordWrap());
            ref.setText(text);
            return ref.heightForWidth(label->contentsRect().width());
        };
        const int h = label->heightForWidth(label->contentsRect().width());
        EXPECT_EQ(h, tall("＜キー操作＞\n１Ｐ：Ｓｈｉｆｔ\n２Ｐ：\u3000\u3000→\nで撃ちます。"));
        EXPECT_GT(h, tall("＜キー操作＞\n１Ｐ：Ｓｈｉｆｔ\n２Ｐ：\u3000\u3000→"));
        EXPECT_LT(h, tall("＜キー操作＞\n\n１Ｐ：Ｓｈｉｆｔ\n２Ｐ：\u3000\u3000→\nで撃ちます。"));
    });
}

TEST_F(WindowTest, TheRulesBoxWrapsItsOneLongLine) {
    withBox([&] { trigger(MenuItem::Rules); }, [](QMessageBox *box) {
        EXPECT_EQ(box->windowTitle(), "ルール");
        QLabel *label = textLabel(box);
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->text().startsWith("スタートを押すと"));
        EXPECT_GT(label->height(), 2 * label->fontMetrics().lineSpacing()) << "wrapped";
        EXPECT_LE(box->width(), QApplication::primaryScreen()->availableGeometry().width());
    });
}

TEST_F(WindowTest, F12OpensTheScoreInAnyPhaseAndTheKeysComeBackAfter) {
    form.duel().state.wins1P = 12;
    form.duel().state.wins2P = 100;
    trigger(MenuItem::Start);
    withBox([&] { QTest::keyClick(&form, Qt::Key_F12); }, [](QMessageBox *box) {
        EXPECT_EQ(box->windowTitle(), "対戦成績");
        EXPECT_EQ(textLabel(box)->text(), "現在の対戦成績は、１Ｐ： 12\u3000２Ｐ： 100\u3000回勝っています。");
    });
    QElapsedTimer clock;
    clock.start();
    while (QApplication::focusWidget() != &form && clock.elapsed() < 2000) QTest::qWait(10);
    EXPECT_EQ(QApplication::focusWidget(), &form);
    EXPECT_FALSE(form.action(MenuItem::Start)->isEnabled()) << "the bout goes on";
}

TEST(WindowFailure, AFailedOperationShowsOneBoxAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Form1 form;
            form.show();
            QTimer::singleShot(200, [] {
                // Close the error box the way a player would.
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    std::fprintf(stderr, "box: %s\n", qPrintable(box->text()));
                    box->button(QMessageBox::Ok)->click();
                }
            });
            form.LoadSoundResource(110);
            std::exit(0); // not reached
        },
        ::testing::ExitedWithCode(1), "box: LoadSoundResource: no built-in sound 110");
}

} // namespace
} // namespace tarvo::on_linux
