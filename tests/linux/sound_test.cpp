// SPDX-License-Identifier: MIT
// The real player against a real sound server of the test's own, heard
// through the null sink's monitor (TARVO_SOUND_SERVER=pulseaudio or
// pipewire: the same cases against each); and the same player with no server
// at all.
#include "formats/wav_image.h"
#include "window/linux/pulse_player_linux.h"
#include "likeness.h"
#include "pulse_server.h"
#include "window/linux/form1_linux.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

namespace tarvo::testing {
using on_linux::Form1;
using on_linux::PulsePlayer;
namespace {

std::unique_ptr<SoundServer> server; // started by main() when TARVO_SOUND_SERVER is set

// Runs the event loop for `ms` milliseconds (the player is fed from it).
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class SoundServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server) GTEST_SKIP() << "run with TARVO_SOUND_SERVER=pulseaudio or pipewire";
        ASSERT_TRUE(server->ok()) << server->log().toStdString();
        clock.start();
    }
    void TearDown() override {
        // A case that stopped or paused the server leaves it running again.
        server->resume();
        if (!server->ok()) { EXPECT_TRUE(server->start()) << server->log().toStdString(); }
    }
    Bytes record(const std::function<void()> &play, int ms) {
        SoundServer::Recording rec(*server, clock);
        EXPECT_TRUE(rec.waitUntilDelivering()) << "the monitor records nothing";
        play();
        runFor(ms);
        return keep(rec.stop());
    }
    static Bytes keep(Bytes out) {
        // TARVO_DUMP_RECORDING=F writes each recording to F.1, F.2, ...
        static int count = 0;
        if (const char *dump = getenv("TARVO_DUMP_RECORDING")) {
            std::ofstream f(std::string(dump) + "." + std::to_string(++count), std::ios::binary);
            f.write(reinterpret_cast<const char *>(out.data()), std::streamsize(out.size()));
        }
        return out;
    }
    // Plays `wav` again and again, each time the one before has been refused
    // or has ended (and at least once a second), until the recording hears
    // it. Gives when (on `clock`) the first audible sample was played, and
    // where it is, or {-1, -1}.
    std::pair<qint64, long> playUntilHeard(PulsePlayer &p, SoundServer::Recording &rec, const Bytes &wav, int ms) {
        const long from = rec.samplesSoFar();
        QElapsedTimer c, sinceLast;
        c.start();
        sinceLast.start();
        while (c.elapsed() < ms) {
            // As in the game, the next sound comes anyway: one that a server
            // still starting up took in but never played is cut off by it.
            if (!p.playing() || sinceLast.hasExpired(1000)) {
                p.play(wav.data(), wav.size());
                sinceLast.restart();
            }
            runFor(10);
            const long first = AudibleSpan(rec.soFar(), 3, from).first;
            if (first >= 0) return {rec.timeOf(first), first};
        }
        return {-1, -1};
    }
    // Tells the figure to whoever reads the test's output.
    static void tell(const std::string &key, double value, const char *unit) {
        ::testing::Test::RecordProperty(key, std::to_string(value));
        std::printf("[ %s ] %s: %.2f %s\n", SoundServer::Name(server->kind()), key.c_str(), value, unit);
    }
    QElapsedTimer clock;
    PulsePlayer player;
};

TEST_F(SoundServerTest, SoundOneOhOneIsHeardForItsWholeLength) {
    const Bytes wav = sound(101);
    QElapsedTimer clock;
    QString streams;
    Bytes rec = record([&] {
        clock.start();
        player.play(wav.data(), wav.size());
        EXPECT_LT(clock.elapsed(), 250) << "play returns at once";
        runFor(500);
        server->pactl({"list", "sink-inputs"}, &streams);
    }, 1800);
    // What a volume mixer shows of the playing sound.
    for (const char *property : {"application.name = \"TARVO\"", "application.id = \"io.tarvo.tarvo\"",
                                 "application.icon_name = \"tarvo\"", "media.role = \"game\""})
        EXPECT_TRUE(streams.contains(property)) << property << " in\n" << streams.toStdString();
    const auto [first, last] = AudibleSpan(rec);
    ASSERT_GE(first, 0) << "nothing was heard";
    // The sound lasts 1.56 s; its last tenth of a second is a fade below the
    // threshold, so compare with the span the file itself stands out for.
    const Bytes own(wav.begin() + 58, wav.begin() + 58 + 34400);
    const auto [ownFirst, ownLast] = AudibleSpan(own);
    EXPECT_NEAR(seconds(last - first), seconds(ownLast - ownFirst), 0.04);
    EXPECT_GT(seconds(last - first), 1.4);
    EXPECT_GT(bestLikeness(rec, first, wav, 4000), 0.8) << "it is sound 101 that plays";
}

TEST_F(SoundServerTest, ANewSoundCutsOffTheOneStillPlaying) {
    const Bytes a = sound(104), b = sound(107);
    SoundServer::Recording rec(*server, clock);
    ASSERT_TRUE(rec.waitUntilDelivering());
    const long from = rec.samplesSoFar();
    player.play(a.data(), a.size());
    QElapsedTimer c;
    c.start();
    const auto heard = [&] { // samples since 104 was first heard
        const std::vector<std::uint8_t> so = rec.soFar();
        const long f = AudibleSpan(so, 3, from).first;
        return f < 0 ? 0 : long(so.size()) - f;
    };
    while (heard() < 2205 && c.elapsed() < 3000) runFor(5);
    player.play(b.data(), b.size()); // 104 (0.4 s) has been heard for a tenth of a second
    runFor(1800);
    const Bytes r = keep(rec.stop());
    const auto [first, last] = AudibleSpan(r, 3, from);
    ASSERT_GE(first, 0) << "nothing was heard";
    const long at = bestMatch(r, first, first + 8820, b, 22050).second; // where 107 begins
    tell("ms of 104 heard before 107 cut it off", 1000 * seconds(at - first), "ms");
    EXPECT_GT(bestLikeness(r, first, a, size_t(std::max(0L, at - first - 220))), 0.8) << "104 until 107 came";
    EXPECT_LT(seconds(at - first), 0.36) << "104 was cut off, not played out before 107";
    EXPECT_GT(likeness(r, at, b, 22050), 0.8) << "107 in full from its beginning";
    EXPECT_NEAR(seconds(last - at), 1.10, 0.08) << "107 to its end, and nothing after it";
    EXPECT_GT(likeness(r, at, b, 2205), 0.97) << "107 alone, with nothing of 104 under it";
}

TEST_F(SoundServerTest, EverySoundIsHeardAlsoAfterOthersHaveEnded) {
    const Bytes a = sound(104), b = sound(107);
    for (int round = 0; round < 3; ++round) {
        Bytes rec = record([&] {
            player.play(a.data(), a.size());
            runFor(700); // 104 has ended
            player.play(b.data(), b.size());
        }, 1500);
        SCOPED_TRACE("round " + std::to_string(round));
        const auto [first, last] = AudibleSpan(rec);
        ASSERT_GE(first, 0) << "nothing heard";
        EXPECT_GT(seconds(last - first), 1.6) << "104, a pause, then 107 in full";
    }
}

TEST_F(SoundServerTest, OddButValidWavImagesPlayToo) {
    // "fmt " with an extra-size of 2 and two extra bytes, a fact and a LIST
    // chunk, then bytes after the RIFF chunk.
    Bytes w;
    auto put = [&](const char *s) { for (int i = 0; i < 4; ++i) w.push_back(std::uint8_t(s[i])); };
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(std::uint8_t(v >> (8 * i))); };
    auto u16 = [&](std::uint16_t v) { w.push_back(std::uint8_t(v)); w.push_back(std::uint8_t(v >> 8)); };
    const std::uint32_t n = 11025; // half a second
    put("RIFF"); u32(0); put("WAVE");
    put("fmt "); u32(20); u16(1); u16(1); u32(22050); u32(22050); u16(1); u16(8); u16(2); u16(0xbeef);
    put("fact"); u32(4); u32(n);
    put("LIST"); u32(6); put("INFO"); u16(0);
    put("data"); u32(n);
    for (std::uint32_t i = 0; i < n; ++i) w.push_back(std::uint8_t(128 + 60 * std::sin(2 * M_PI * 440 * i / 22050.0)));
    w.push_back(0); // pad
    const std::uint32_t riff = std::uint32_t(w.size() - 8);
    for (int i = 0; i < 4; ++i) w[4 + i] = std::uint8_t(riff >> (8 * i));
    w.push_back(0x55); w.push_back(0xaa); // after the RIFF chunk
    Bytes rec = record([&] { player.play(w.data(), w.size()); }, 1000);
    const auto [first, last] = AudibleSpan(rec);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(seconds(last - first), 0.5, 0.06);
}

TEST_F(SoundServerTest, BytesThatAreNoWavStaySilent) {
    Bytes junk(5000, 0x41);
    Bytes rec = record([&] { player.play(junk.data(), junk.size()); player.play(nullptr, 0); }, 500);
    EXPECT_EQ(AudibleSpan(rec).first, -1);
    EXPECT_FALSE(player.playing());
}

TEST_F(SoundServerTest, AfterASoundTheSinkStaysQuietUntilTheNext) {
    const Bytes a = sound(107), b = sound(104);
    SoundServer::Recording rec(*server, clock);
    ASSERT_TRUE(rec.waitUntilDelivering());
    player.play(a.data(), a.size());
    runFor(1100 + 2000); // 107, then two seconds
    const long next = rec.samplesSoFar();
    player.play(b.data(), b.size());
    runFor(800);
    const Bytes r = keep(rec.stop());
    const auto [first, last] = AudibleSpan(r, 3, 0, next);
    ASSERT_GE(first, 0) << "107 was not heard";
    const long end = first + 24255 + 220; // 107's length from its first audible sample
    ASSERT_GT(next - end, 22050 * 3 / 2) << "the recording does not cover the time after 107";
    const int loud = LoudWindows(r, end, next);
    tell("loud 10 ms windows in the 2 s after a sound", loud, "");
    EXPECT_EQ(loud, 0) << "the sink is not quiet after the sound has ended";
    EXPECT_EQ(AudibleSpan(r, 3, end, next).first, -1) << "a sample far from the midpoint after the sound";
    const auto [bFirst, bLast] = AudibleSpan(r, 3, next);
    ASSERT_GE(bFirst, 0) << "the next sound was not heard";
    EXPECT_GT(bestLikeness(r, bFirst, b, 4000), 0.8) << "it is 104 that plays next";
}

TEST_F(SoundServerTest, ASoundAfterTheServerHasBeenGoneIsHeard) {
    const Bytes w104 = sound(104), w101 = sound(101);
    // A sound tried while there is no server is not heard, and play returns
    // at once; once the server is (back) up, the next sound is heard, soon.
    const auto soundWithoutServer = [&](PulsePlayer &p, int waitMs) {
        QElapsedTimer call;
        call.start();
        p.play(w101.data(), w101.size());
        EXPECT_LT(call.elapsed(), 50) << "play returns at once";
        runFor(waitMs);
    };
    const auto nextSoundIsHeard = [&](PulsePlayer &p, const char *what) {
        ASSERT_TRUE(server->start()) << server->log().toStdString();
        const qint64 back = clock.elapsed();
        SoundServer::Recording rec(*server, clock);
        const auto [heard, at] = playUntilHeard(p, rec, w104, 8000);
        ASSERT_GE(heard, 0) << "no sound was heard once the server was up";
        tell(std::string("ms from the server's start to the first sound heard ") + what, double(heard - back), "ms");
        EXPECT_LT(heard - back, 3000);
        runFor(600);
        const double like = bestLikeness(keep(rec.stop()), at, w104, 4000);
        tell(std::string("likeness of the sound heard ") + what + " with 104", like, "");
        EXPECT_GT(like, 0.8) << "it is 104 that was heard";
    };
    runFor(300); // the player has found the server
    {
        SCOPED_TRACE("the server killed for 6 s, then started again");
        server->stop();
        soundWithoutServer(player, 6000);
        nextSoundIsHeard(player, "(after a 6 s outage)");
    }
    {
        SCOPED_TRACE("no server at a new player's first sound, the server started later");
        server->stop();
        PulsePlayer fresh;
        soundWithoutServer(fresh, 1000);
        EXPECT_FALSE(fresh.playing());
        nextSoundIsHeard(fresh, "(none at the first sound)");
    }
}

TEST_F(SoundServerTest, WhileTheServerHangsTheGameGoesOnAndItsSoundComesBackAfter) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    runFor(300); // the game's player has found the server
    server->pause();
    QElapsedTimer c;
    // A foul during Ready?: a foul sound is started.
    form.action(MenuItem::Start)->trigger();
    runFor(300);
    ASSERT_TRUE(form.BannerShows(Holder::Image3)) << "Ready? is shown";
    c.start();
    QTest::keyPress(&form, Qt::Key_Right);
    EXPECT_LT(c.elapsed(), 100) << "the key press was handled at once";
    EXPECT_TRUE(form.BannerShows(Holder::Image9)) << "2P's foul is shown";
    EXPECT_EQ(form.duel().state.wins1P, 1);
    // A whole bout on the timer: KILL, a shot, the result with its sound.
    form.action(MenuItem::Start)->trigger();
    c.start();
    while (!form.BannerShows(Holder::Image2) && c.elapsed() < 6000) QTest::qWait(5);
    ASSERT_TRUE(form.BannerShows(Holder::Image2)) << "the timer went on ticking to KILL";
    EXPECT_GE(c.elapsed(), 2950);
    EXPECT_LE(c.elapsed(), 4100);
    QTest::keyPress(&form, Qt::Key_Shift);
    c.start();
    while (!form.BannerShows(Holder::Image5) && c.elapsed() < 3000) QTest::qWait(5);
    EXPECT_TRUE(form.BannerShows(Holder::Image5)) << "the bout was resolved for 1P";
    EXPECT_LE(c.elapsed(), 1300);
    EXPECT_EQ(form.stageImage().copy(0, 50, 50, 50),
              form.holderPicture(Holder::Image1).toImage().convertToFormat(QImage::Format_RGB32).copy(400, 0, 50, 50))
        << "1P stands victorious on the stage";
    EXPECT_EQ(form.duel().state.wins1P, 2);
    server->resume();
    runFor(1600); // a sound the server could not start in time is dropped by then
    const Bytes wav = sound(101);
    const Bytes rec = record([&] {
        const std::vector<std::uint8_t> image = form.LoadSoundResource(101);
        form.PlaySoundFromMemory(image.data(), image.size());
        runFor(2000);
    }, 100);
    const auto [first, last] = AudibleSpan(rec);
    ASSERT_GE(first, 0) << "no sound after the server went on again";
    EXPECT_GT(seconds(last - first), 1.4);
    EXPECT_GT(bestLikeness(rec, first, wav, 4000), 0.8) << "it is sound 101 that plays";
}

TEST(NoSoundServer, PlayingReturnsAtOnceAndStaysSilent) {
    if (server) GTEST_SKIP() << "a server is running";
    PulsePlayer player;
    const Bytes wav = sound(101);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 5; ++i) player.play(wav.data(), wav.size());
    EXPECT_LT(clock.elapsed(), 1000);
    runFor(100);
    EXPECT_FALSE(player.playing());
}

} // namespace
} // namespace tarvo::testing

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("TARVO_SOUND_SERVER")) {
        tarvo::testing::server = std::make_unique<tarvo::testing::SoundServer>();
        qputenv("PULSE_SERVER", tarvo::testing::server->address().toLocal8Bit());
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    tarvo::testing::server.reset();
    return rc;
}
