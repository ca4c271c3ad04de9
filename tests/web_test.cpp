// SPDX-License-Identifier: MIT
// What only the browser page has, in headless Chromium: its menus by mouse,
// by keys and by taps, taps on the stage, the boxes' texts as they are laid
// out, a bout in a page that goes to the background, and that the page loads
// nothing but its own files and logs no error. The play cases it shares with
// the programs are in play_test.cpp.
#include <QCoreApplication>
#include <gtest/gtest.h>

// Qt's network headers first: X11's macros (None) clash with them.
#include "static_server.h"
#include "websession.h"

namespace tarvo::testing {
namespace {

class WebPage : public ::testing::Test {
protected:
    WebSession web;
    std::unique_ptr<Game> game;
    void open(const QString &page = TARVO_BINARY) {
        game.reset();
        game = std::make_unique<Game>(web, QProcessEnvironment::systemEnvironment(), page, QStringList{}, 30000);
        ASSERT_TRUE(game->ok()) << "no page with the two figures at start-up";
    }
    void SetUp() override { ASSERT_TRUE(web.ok()) << web.error().toStdString(); }
    void TearDown() override {
        const QString dir = qEnvironmentVariable("TARVO_SCREENSHOTS");
        if (!dir.isEmpty() && game)
            web.screen().save(QString("%1/web-%2.png").arg(dir, ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    bool shows(const char *banner, int ms = 2000) {
        return game->waitFor([=](const QImage &s) { return Shows(s, banner); }, ms) >= 0;
    }
    // The state a menu item shows: its check mark, and whether it is grayed.
    QString mark(int id) {
        return web.run("return getComputedStyle(document.querySelector('[data-id=\"' + arguments[0] + '\"]'), '::before').content;",
                       {id}).toString();
    }
    bool grayed(int id) {
        return web.run("const el = document.querySelector('[data-id=\"' + arguments[0] + '\"]');"
                       "return getComputedStyle(el).color !== getComputedStyle(el.parentElement).color;", {id}).toBool();
    }
    QString item(int id) { return QString("[data-id=\"%1\"]").arg(id); }
    QString title(int n) { return QString("#menubar .menu:nth-child(%1) .title").arg(n); }
    bool menuOpen(int n) {
        return web.run("return !document.querySelector(arguments[0]).nextElementSibling.hidden;", {title(n)}).toBool();
    }
};

TEST_F(WebPage, TheMenusWorkByMouseAndByKeys) {
    open();
    EXPECT_EQ(mark(15), "\"✓\"") << "人対人 is checked at start-up";
    EXPECT_EQ(mark(16), "\"\"");
    // By mouse: 対戦相手, then 人対機械.
    web.click(web.centreOf(title(2)), 1);
    ASSERT_TRUE(menuOpen(2)) << "a click opens the menu";
    web.click(web.centreOf(item(16)), 1);
    EXPECT_FALSE(menuOpen(2)) << "choosing an item closes it";
    EXPECT_EQ(mark(15), "\"\"");
    EXPECT_EQ(mark(16), "\"✓\"");
    // A bout against the machine, started from the menu: スタート is grayed
    // while it runs, and a click on it does nothing.
    web.click(web.centreOf(title(1)), 1);
    web.click(web.centreOf(item(12)), 1);
    ASSERT_TRUE(shows("ready.bmp")) << "スタート starts a bout";
    web.click(web.centreOf(title(1)), 1);
    EXPECT_TRUE(grayed(12)) << "スタート is grayed during the bout";
    EXPECT_FALSE(grayed(13));
    web.click(web.centreOf(item(12)), 1);
    EXPECT_TRUE(menuOpen(1)) << "a grayed item is not chosen";
    web.key("Escape");
    EXPECT_FALSE(menuOpen(1)) << "Escape closes the menu";
    ASSERT_TRUE(shows("win2p.bmp", 15000)) << "the machine wins when nobody fires";
    EXPECT_FALSE(grayed(12)) << "スタート again after the bout";
    // By keys, as on a desktop: F10, Right to 対戦相手, Down to 人対人, Enter.
    web.key("F10");
    web.key("Right");
    web.key("Down");
    EXPECT_TRUE(menuOpen(2));
    web.key("Return");
    EXPECT_EQ(mark(15), "\"✓\"") << "人対人 chosen by keys";
    EXPECT_EQ(mark(16), "\"\"");
    // And the keys reach the game again: Shift during Ready? is 1P's foul.
    web.key("ctrl+s");
    ASSERT_TRUE(shows("ready.bmp"));
    web.key("shift");
    EXPECT_TRUE(shows("fall1p.bmp", 1000));
}

TEST_F(WebPage, OnAPhoneTheMenusAndBothHalvesOfTheStageAreTapped) {
    web.setViewport(QSize(360, 640), true);
    open();
    const auto tapStart = [&] {
        web.tap(web.centreOf(title(1)));
        web.tap(web.centreOf(item(12)));
        return shows("ready.bmp");
    };
    const QRect stage = web.rectOf("#stage");
    ASSERT_TRUE(tapStart()) << "スタート by taps";
    web.tap(QPoint(stage.left() + stage.width() / 4, stage.center().y()));
    EXPECT_TRUE(game->waitFor([](const QImage &s) { return Shows(s, "fall1p.bmp") && Slot1P(s) == Cell(7, 0); }, 1000) >= 0)
        << "a tap on the left half is 1P's shot: a foul during Ready?";
    ASSERT_TRUE(tapStart());
    web.tap(QPoint(stage.right() - stage.width() / 4, stage.center().y()));
    EXPECT_TRUE(game->waitFor([](const QImage &s) { return Shows(s, "fall2p.bmp") && Slot2P(s) == Cell(7, 1); }, 1000) >= 0)
        << "a tap on the right half is 2P's";
    EXPECT_LE(web.rectOf("#form1").right(), 360) << "the page fits the phone's width";
}

TEST_F(WebPage, TheBoxesShowTheirTextsLineByLineWhileTheBoutGoesOn) {
    open();
    // The lines as the box lays them out, one string each.
    const auto lines = [&] {
        QStringList out;
        for (const auto &l : web.run("const r = document.createRange(); const t = document.getElementById('box-text');"
                                     "r.selectNodeContents(t); const tops = [...new Set([...r.getClientRects()].map(c => Math.round(c.top)))];"
                                     "return t.textContent.split('\\n').length === tops.length ? t.textContent.split('\\n') : ['laid out in ' + tops.length + ' lines'];")
                                    .toArray())
            out << l.toString();
        return out;
    };
    web.click(web.centreOf(title(3)), 1);
    web.click(web.centreOf(item(19)), 1);
    ASSERT_TRUE(web.hasWindow("キー操作"));
    EXPECT_EQ(lines(), (QStringList{"＜キー操作＞", "１Ｐ：Ｓｈｉｆｔ", "２Ｐ：\u3000\u3000→", "で撃ちます。"}));
    web.key("Return");
    EXPECT_FALSE(web.hasWindow("キー操作")) << "Enter is the box's OK";
    // F12 during Ready?; the bout goes on behind the box.
    web.key("ctrl+s");
    ASSERT_TRUE(shows("ready.bmp"));
    web.key("F12");
    ASSERT_TRUE(web.hasWindow("対戦成績"));
    EXPECT_EQ(web.run("return document.getElementById('box-text').textContent").toString(),
              "現在の対戦成績は、１Ｐ： 0\u3000２Ｐ： 0\u3000回勝っています。");
    web.key("shift"); // the box has the keys: no foul
    // Nor are the shortcuts the browser's while it is open (Save, developer tools).
    web.run("window.__kept = []; addEventListener('keydown', e => __kept.push(e.defaultPrevented));");
    web.key("ctrl+s");
    web.key("F12");
    EXPECT_EQ(web.run("return __kept.filter(p => p).length").toInt(), 2) << "Ctrl+S and F12 were left to the browser";
    QThread::msleep(4200);
    web.key("Return");
    EXPECT_TRUE(shows("kill.bmp", 300)) << "KILL came while the box was open";
}

TEST_F(WebPage, APageInTheBackgroundHoldsItsBout) {
    open();
    web.run("window.hiddenOnce = false; document.addEventListener('visibilitychange', () => { if (document.hidden) window.hiddenOnce = true; });");
    web.key("ctrl+s");
    ASSERT_TRUE(shows("ready.bmp"));
    QElapsedTimer clock;
    clock.start();
    web.hidePage(true);
    QThread::msleep(5000);
    web.hidePage(false);
    ASSERT_TRUE(web.run("return window.hiddenOnce;").toBool()) << "the page was hidden meanwhile";
    EXPECT_TRUE(Shows(game->stage(), "ready.bmp")) << "still Ready? after 5 s in the background";
    const qint64 back = clock.elapsed();
    ASSERT_TRUE(shows("kill.bmp", 4500));
    EXPECT_LE(clock.elapsed() - back, 3900) << "the countdown went on from where it stood";
}

TEST_F(WebPage, ItLoadsOnlyItsOwnFilesAndLogsNoError) {
    StaticServer server(QFileInfo(TARVO_BINARY).absolutePath());
    open(server.url());
    QThread::msleep(1000);
    const QStringList loaded = server.requests();
    // A bout with a foul, a box, and a whole bout to its result.
    web.key("ctrl+s");
    ASSERT_TRUE(shows("ready.bmp"));
    web.key("Right");
    ASSERT_TRUE(shows("fall2p.bmp"));
    web.key("F12");
    web.key("Return");
    web.key("ctrl+s");
    ASSERT_TRUE(shows("kill.bmp", 5000));
    web.key("shift");
    ASSERT_TRUE(shows("win1p.bmp", 3000));
    QThread::msleep(2000);
    EXPECT_EQ(server.requests(), loaded) << "nothing fetched after the page had loaded";
    EXPECT_EQ(loaded, QStringList{"GET /"}) << "the page alone, from its own folder: everything is inside it";
    const QStringList console = web.console();
    EXPECT_TRUE(console.filter(QRegularExpression("^(SEVERE|ERROR)")).isEmpty()) << console.join("\n").toStdString();
    // The same from disk.
    open();
    web.key("ctrl+s");
    web.key("shift");
    ASSERT_TRUE(shows("fall1p.bmp"));
    EXPECT_TRUE(web.console().filter(QRegularExpression("^(SEVERE|ERROR)")).isEmpty()) << web.console().join("\n").toStdString();
}

// A page whose menu bar has lost スタート: Ctrl+S's command then cannot read
// the item, and the game stops with a box that says so; nothing of it runs on.
TEST_F(WebPage, AFailedOperationShowsABoxAndStopsTheGame) {
    open();
    web.run("document.querySelector('[data-id=\"12\"]').remove();");
    web.key("ctrl+s");
    EXPECT_EQ(web.run("const d = document.getElementById('box'); return d.open ? document.getElementById('box-title').textContent"
                      " + ': ' + document.getElementById('box-text').textContent : 'no box';").toString(),
              "TARVO: Enabled: no menu item 12");
    web.key("Return");
    EXPECT_FALSE(web.hasWindow("TARVO")) << "the game's window is gone";
    EXPECT_EQ(web.run("return document.getElementById('stopped').hidden").toBool(), false) << "the page says it stopped";
    web.key("F12");
    EXPECT_EQ(web.run("return document.getElementById('box').open").toBool(), false) << "nothing answers any more";
}

} // namespace
} // namespace tarvo::testing
