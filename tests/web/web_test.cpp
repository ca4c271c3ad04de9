// SPDX-License-Identifier: MIT
// What only the browser page has, in the browser TARVO_BROWSER picks
// (websession.h; one display for all the cases): its menus by mouse,
// by keys and by taps, taps on the stage, the boxes' texts as they are laid
// out, a bout in a page that goes to the background, that the page loads
// nothing but its own files, refuses every other and logs no error, that it
// plays offline after one visit and takes a new build at the next, and that
// each of its sounds is heard. The play cases it shares with the programs are
// in play_test.cpp.
#include <QCoreApplication>
#include <gtest/gtest.h>

// Qt's network headers first: X11's macros (None) clash with them.
#include "static_server.h"
#include "websession.h"

#include "likeness.h"
#include "pulse_server.h"
#include "sound/sound_ids.h"
#include "window/menu.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <map>

namespace tarvo::testing {
namespace {

class WebPage : public ::testing::Test {
protected:
    static inline std::unique_ptr<WebSession> shared;
    static void SetUpTestSuite() { shared = std::make_unique<WebSession>(); }
    static void TearDownTestSuite() { shared.reset(); }
    WebSession &web = *shared;
    std::unique_ptr<Game> game;
    void open(const QString &page = TARVO_BINARY, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
        game.reset();
        game = std::make_unique<Game>(web, std::make_unique<Page>(web, page), env);
        ASSERT_TRUE(game->ok()) << "no page with the two figures at start-up";
    }
    void SetUp() override { ASSERT_TRUE(web.ok()) << web.error().toStdString(); }
    void TearDown() override {
        const QString dir = qEnvironmentVariable("TARVO_SCREENSHOTS");
        if (!dir.isEmpty() && game)
            web.screen().save(QString("%1/web-%2.png").arg(dir, ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        game.reset();
        web.setViewport(QSize(240, 180));
    }
    bool shows(const char *banner, int ms = 2000) {
        return game->waitFor([=](const QImage &s) { return Shows(s, banner); }, ms) >= 0;
    }
    // The state a menu item shows: its check mark, and whether it is grayed.
    static int id(MenuItem item) { return MenuEntryOf(item).id; }
    QString mark(MenuItem item) {
        return web.run("return getComputedStyle(document.querySelector('[data-id=\"' + arguments[0] + '\"]'), '::before').content;",
                       {id(item)}).toString();
    }
    bool grayed(MenuItem item) {
        return web.run("const el = document.querySelector('[data-id=\"' + arguments[0] + '\"]');"
                       "return getComputedStyle(el).color !== getComputedStyle(el.parentElement).color;", {id(item)}).toBool();
    }
    QString item(MenuItem item) { return QString("[data-id=\"%1\"]").arg(id(item)); }
    QString title(int n) { return QString("#menubar .menu:nth-child(%1) .title").arg(n); }
    bool menuOpen(int n) {
        return web.run("return !document.querySelector(arguments[0]).nextElementSibling.hidden;", {title(n)}).toBool();
    }
};

// The page builds its menu bar from the window's menu table as it starts:
// the same titles, items, order, roles, shortcuts and first checks.
TEST_F(WebPage, TheMenuBarIsTheMenuTable) {
    open();
    QStringList expected;
    for (int t = 0; t < int(std::size(kMenuTitles)); ++t) {
        expected << "title " + QString::fromUtf16(kMenuTitles[t]);
        for (const MenuEntry &e : kMenu) {
            if (e.title != t) continue;
            if (e.kind == MenuEntry::Separator) expected << QString("separator %1").arg(e.name);
            else
                expected << QString("%1 %2 %3 [%4] %5")
                                .arg(e.kind == MenuEntry::Radio ? "menuitemradio" : "menuitem").arg(e.id)
                                .arg(QString::fromUtf16(e.caption), e.keyText ? QString::fromUtf16(e.keyText) : QString())
                                .arg(e.kind == MenuEntry::Radio ? (e.checked ? "true" : "false") : "-");
        }
    }
    const QString shown = web.run(
        "const out = [];"
        "for (const menu of document.querySelectorAll('#menubar .menu')) {"
        "  out.push('title ' + menu.querySelector('.title').textContent);"
        "  for (const el of menu.querySelector('.items').children) {"
        "    if (el.classList.contains('separator')) { out.push('separator ' + el.id); continue; }"
        "    const key = el.querySelector('.key');"
        "    out.push(el.getAttribute('role') + ' ' + el.dataset.id + ' ' + el.firstElementChild.textContent + ' [' +"
        "             (key ? key.textContent : '') + '] ' + (el.getAttribute('aria-checked') || '-'));"
        "  }"
        "}"
        "return out.join('\\n');").toString();
    EXPECT_EQ(shown.toStdString(), expected.join('\n').toStdString());
}

TEST_F(WebPage, TheMenusWorkByMouseAndByKeys) {
    open();
    EXPECT_EQ(mark(MenuItem::HumanVsHuman), "\"✓\"") << "人対人 is checked at start-up";
    EXPECT_EQ(mark(MenuItem::HumanVsMachine), "\"\"");
    // By mouse: 対戦相手, then 人対機械.
    web.click(web.centreOf(title(2)), 1);
    ASSERT_TRUE(menuOpen(2)) << "a click opens the menu";
    web.click(web.centreOf(item(MenuItem::HumanVsMachine)), 1);
    EXPECT_FALSE(menuOpen(2)) << "choosing an item closes it";
    EXPECT_EQ(mark(MenuItem::HumanVsHuman), "\"\"");
    EXPECT_EQ(mark(MenuItem::HumanVsMachine), "\"✓\"");
    // A bout against the machine, started from the menu: スタート is grayed
    // while it runs, and a click on it does nothing.
    web.click(web.centreOf(title(1)), 1);
    web.click(web.centreOf(item(MenuItem::Start)), 1);
    ASSERT_TRUE(shows("ready.bmp")) << "スタート starts a bout";
    web.click(web.centreOf(title(1)), 1);
    EXPECT_TRUE(grayed(MenuItem::Start)) << "スタート is grayed during the bout";
    EXPECT_FALSE(grayed(MenuItem::Quit));
    web.click(web.centreOf(item(MenuItem::Start)), 1);
    EXPECT_TRUE(menuOpen(1)) << "a grayed item is not chosen";
    web.key("Escape");
    EXPECT_FALSE(menuOpen(1)) << "Escape closes the menu";
    ASSERT_TRUE(shows("win2p.bmp", 15000)) << "the machine wins when nobody fires";
    EXPECT_FALSE(grayed(MenuItem::Start)) << "スタート again after the bout";
    // By keys, as on a desktop: F10, Right to 対戦相手, Down to 人対人, Enter.
    web.key("F10");
    web.key("Right");
    web.key("Down");
    EXPECT_TRUE(menuOpen(2));
    web.key("Return");
    EXPECT_EQ(mark(MenuItem::HumanVsHuman), "\"✓\"") << "人対人 chosen by keys";
    EXPECT_EQ(mark(MenuItem::HumanVsMachine), "\"\"");
    // And the keys reach the game again: Shift during Ready? is 1P's foul.
    web.key("ctrl+s");
    ASSERT_TRUE(shows("ready.bmp"));
    web.key("shift");
    EXPECT_TRUE(shows("fall1p.bmp", 1000));
}

TEST_F(WebPage, OnAPhoneTheMenusAndBothHalvesOfTheStageAreTapped) {
    if (!web.can(WebSession::Touch)) GTEST_SKIP() << "this browser's driver taps with the mouse, and its window is wider than a phone";
    web.setViewport(QSize(360, 640), true);
    open();
    const auto tapStart = [&] {
        web.tap(web.centreOf(title(1)));
        web.tap(web.centreOf(item(MenuItem::Start)));
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
    web.click(web.centreOf(item(MenuItem::Keys)), 1);
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

TEST_F(WebPage, ItLoadsOnlyItsOwnFilesRefusesEveryOtherAndLogsNoError) {
    const QDir folder = QFileInfo(TARVO_BINARY).absoluteDir();
    StaticServer server(folder.path()), elsewhere(folder.path());
    open(server.url());
    // Served from a host it asks for what installs it, and its worker keeps
    // the page: then nothing more.
    for (int i = 0; i < 200 && !web.run("return !!navigator.serviceWorker.controller").toBool(); ++i) QThread::msleep(50);
    QThread::msleep(500);
    const QStringList loaded = server.requests();
    for (const QString &r : loaded)
        EXPECT_TRUE(r == "GET /" || (r.startsWith("GET /") && folder.exists(r.mid(5)))) << r.toStdString() << ": none of its own files";
    for (const char *own : {"GET /manifest.webmanifest", "GET /sw.js"}) EXPECT_TRUE(loaded.contains(own)) << own;
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
    const QStringList console = web.console();
    EXPECT_TRUE(console.filter(QRegularExpression("^(SEVERE|ERROR)")).isEmpty()) << console.join("\n").toStdString();
    // Anything from another host is refused by the browser, which says so,
    // and never reaches it.
    web.run("window.__refused = []; document.addEventListener('securitypolicyviolation', e => __refused.push(e.effectiveDirective));"
            "fetch(arguments[0] + 'index.html').catch(() => {});"
            "const i = new Image(); i.src = arguments[0] + 'icon-192.png'; document.body.append(i);"
            "const s = document.createElement('script'); s.src = arguments[0] + 'sw.js'; document.head.append(s);",
            {elsewhere.url()});
    QStringList refused;
    for (int i = 0; i < 100 && refused.size() < 3; ++i, QThread::msleep(30)) {
        refused.clear();
        for (const auto &d : web.run("return window.__refused || []").toArray()) refused << d.toString().remove("-elem");
    }
    refused.sort();
    EXPECT_EQ(refused, (QStringList{"connect-src", "img-src", "script-src"})) << "the browser refused each, and said so";
    EXPECT_EQ(elsewhere.requests(), QStringList{}) << "nothing reached the other host";
    // The same from disk: the page alone.
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
    web.run("document.querySelector(arguments[0]).remove();", {item(MenuItem::Start)});
    web.key("ctrl+s");
    EXPECT_EQ(web.run("const d = document.getElementById('box'); return d.open ? document.getElementById('box-title').textContent"
                      " + ': ' + document.getElementById('box-text').textContent : 'no box';").toString(),
              QString("TARVO: Enabled: no menu item %1").arg(id(MenuItem::Start)));
    web.key("Return");
    EXPECT_FALSE(web.hasWindow("TARVO")) << "the game's window is gone";
    EXPECT_EQ(web.run("return document.getElementById('stopped').hidden").toBool(), false) << "the page says it stopped";
    web.key("F12");
    EXPECT_EQ(web.run("return document.getElementById('box').open").toBool(), false) << "nothing answers any more";
}

// The page served from a host: after one visit it opens from what its
// worker kept, whatever the host does (answers, is gone, or takes the
// connection and never answers), and plays. A new build on the host is found
// in the background: the visit that finds it still gets the kept build, the
// next one the new build, and the old build's copy is deleted. A host caught
// halfway through putting up a new build (its worker there, its page not
// yet) changes nothing that was kept. In Chromium, the browser finds the
// page installable.
TEST_F(WebPage, AfterOneVisitItPlaysOfflineAndANewBuildReplacesTheOld) {
    QTemporaryDir site;
    const QDir built = QFileInfo(TARVO_BINARY).absoluteDir();
    for (const QString &f : built.entryList({"*.html", "*.js", "*.webmanifest", "*.png"}, QDir::Files))
        ASSERT_TRUE(QFile::copy(built.filePath(f), QDir(site.path()).filePath(f))) << f.toStdString();
    const auto file = [&](const QString &name) { return QDir(site.path()).filePath(name); };
    auto host = std::make_unique<StaticServer>(site.path());
    const QString url = host->url();
    const quint16 port = host->port();
    open(url);
    // What the worker keeps, once it runs the page: the names of its caches.
    const auto kept = [&](const std::function<bool(const QString &)> &want) {
        QString names;
        for (int i = 0; i < 200; ++i) {
            names = web.run("return navigator.serviceWorker.controller ? caches.keys().then(k => k.join(' ')) : 'no worker'")
                        .toString();
            if (want(names)) break;
            QThread::msleep(50);
        }
        return names;
    };
    const QString first = kept([](const QString &n) { return n.startsWith("tarvo-"); });
    ASSERT_TRUE(first.startsWith("tarvo-")) << first.toStdString();
    if (web.can(WebSession::Installable)) {
        EXPECT_EQ(web.installabilityErrors(), QStringList{}) << "Chromium would not offer to install it";
    }
    const auto visit = [&] {
        web.run("window.__left = true; location.assign(arguments[0]);", {url});
        for (int i = 0; i < 300 && !web.run("return !window.__left && document.readyState === 'complete'").toBool(); ++i)
            QThread::msleep(30);
        return game->waitFor([](const QImage &s) { return Slot1P(s) == Cell(0, 1) && Slot2P(s) == Cell(0, 0); }, 10000) >= 0;
    };
    const auto title = [&] { return web.run("return document.title").toString(); };
    host->setHanging(true);
    ASSERT_TRUE(visit()) << "the page did not show with a host that never answers";
    host.reset();
    ASSERT_TRUE(visit()) << "the page did not show without its host";
    web.key("ctrl+s");
    ASSERT_TRUE(shows("ready.bmp")) << "offline, Ctrl+S";
    web.key("shift");
    EXPECT_TRUE(shows("fall1p.bmp", 1000)) << "offline, a foul";
    // The next build: another title, and a worker whose cache has another
    // name and which keeps the page by its new digest.
    const auto read = [&](const QString &name) {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    const auto write = [&](const QString &name, const QString &text) {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
    };
    const auto digest = [](const QString &text) {
        return "sha256-" + QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toBase64());
    };
    const QString page = read("index.html"), next = QString(page).replace("<title>TARVO</title>", "<title>TARVO, the next build</title>");
    write("sw.js", read("sw.js").replace(digest(page), digest(next)).replace(QRegularExpression("tarvo-[0-9a-f]+"), "tarvo-0123456789abcdef"));
    // First only the worker is up: it finds the old page where the new one
    // should be, and is not taken.
    host = std::make_unique<StaticServer>(site.path(), port);
    ASSERT_EQ(host->port(), port);
    ASSERT_TRUE(visit());
    for (int i = 0; i < 200 && !host->requests().contains("GET /index.html"); ++i) QThread::msleep(50);
    ASSERT_TRUE(host->requests().contains("GET /index.html")) << "the new worker did not try to keep its build";
    for (int i = 0; i < 200 && web.run("return navigator.serviceWorker.getRegistration().then(r => !!(r.installing || r.waiting))").toBool(); ++i)
        QThread::msleep(50);
    EXPECT_EQ(kept([](const QString &) { return true; }), first) << "half a build was taken";
    EXPECT_EQ(title(), "TARVO");
    // Then the whole new build: the visit that finds it gets the kept one,
    // and the new one is kept, the old deleted.
    write("index.html", next);
    ASSERT_TRUE(visit());
    EXPECT_EQ(title(), "TARVO") << "the kept build opens at once";
    EXPECT_EQ(kept([](const QString &n) { return n == "tarvo-0123456789abcdef"; }), "tarvo-0123456789abcdef")
        << "the new build kept, the old one deleted";
    ASSERT_TRUE(visit());
    EXPECT_EQ(title(), "TARVO, the next build") << "the next visit gets the new build";
    host.reset();
    ASSERT_TRUE(visit());
    EXPECT_EQ(title(), "TARVO, the next build") << "offline, the new build";
}

// Each of the nine sounds, as the game hands it to the page's player (the
// samples of the image as stored), is heard on the test's own sound server.
TEST_F(WebPage, EachOfTheNineSoundsIsHeard) {
    SoundServer server(SoundServer::Kind::PulseAudio);
    ASSERT_TRUE(server.ok()) << server.log().toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", server.address());
    open(TARVO_BINARY, env);
    web.key("a"); // a key press lets the page make sounds, and is no shot
    // Its audio output is running before the first sound, as it is long
    // before a bout's first sound for a player: what is judged here is each
    // sound, not how some browser's output wakes.
    for (int i = 0; i < 100 && web.run("return TarvoPage.sound.context.state").toString() != "running"; ++i)
        QThread::msleep(50);
    QThread::msleep(500);
    QElapsedTimer clock;
    clock.start();
    SoundServer::Recording rec(server, clock);
    ASSERT_TRUE(rec.waitUntilDelivering()) << "the monitor records nothing";
    std::vector<long> starts;
    for (int id : kSoundIds) {
        const Bytes wav = sound(id);
        const auto layout = ParseWavImage(wav.data(), wav.size());
        ASSERT_TRUE(layout);
        const QByteArray samples(reinterpret_cast<const char *>(wav.data() + layout->dataOffset), qsizetype(layout->dataSize));
        starts.push_back(rec.samplesSoFar());
        web.run("const b = atob(arguments[0]), s = new Uint8Array(b.length);"
                "for (let i = 0; i < b.length; ++i) s[i] = b.charCodeAt(i);"
                "TarvoPage.sound.play(s, arguments[1], arguments[2], arguments[3]);",
                {QString::fromLatin1(samples.toBase64()), layout->sampleRate, layout->bitsPerSample, layout->channels});
        QThread::msleep(int(1000 * seconds(long(layout->dataSize))) + 400);
    }
    starts.push_back(rec.samplesSoFar());
    const Bytes r = rec.stop();
    for (size_t k = 0; k < std::size(kSoundIds); ++k) {
        const int id = kSoundIds[k];
        const long first = AudibleSpan(r, 3, starts[k], starts[k + 1]).first;
        EXPECT_GE(first, 0) << id << " was not heard";
        if (first < 0) continue;
        const Bytes part(r.begin(), r.begin() + starts[k + 1]); // nothing of the next sound
        // Like this sound, and more like it than like any other.
        std::map<double, int> likes;
        for (int other : kSoundIds)
            likes[bestLikeness(part, first, sound(other), 4000, long(web.skipsAtStartMs()) * 22050 / 1000)] = other;
        const auto [like, most] = *likes.rbegin();
        std::printf("[ %s ] %d heard, most like %d, likeness %.3f\n", qgetenv("TARVO_BROWSER").constData(), id, most, like);
        EXPECT_EQ(most, id);
        EXPECT_GT(like, 0.8) << "it is " << id << " that is heard";
    }
}

} // namespace
} // namespace tarvo::testing
