// The real player against a real sound server of the test's own, heard
// through the null sink's monitor; and the same player with no server at all.
#include "platform/wav_image.h"
#include "platform/wav_player.h"
#include "pulse_server.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

namespace tarvo::testing {
namespace {

std::unique_ptr<PulseServer> server; // started by main() when TARVO_SOUND_SERVER is set

using Bytes = std::vector<std::uint8_t>;

Bytes sound(int id) {
    std::ifstream in(std::string(TARVO_ASSETS_DIR) + "/" + std::to_string(id) + ".wav", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Runs the event loop for `ms` milliseconds (the player is fed from it).
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double seconds(long samples) { return double(samples) / 22050.0; }

// Correlation of the recording from `at` with a sound's own samples.
double likeness(const Bytes &rec, long at, const Bytes &wav, size_t count) {
    const auto w = ParseWavImage(wav.data(), wav.size());
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t i = 0; i < count && at + long(i) < long(rec.size()) && i < w->dataSize; ++i) {
        const double x = double(rec[size_t(at) + i]) - 128, y = double(wav[w->dataOffset + i]) - 128;
        sxy += x * y; sxx += x * x; syy += y * y;
    }
    return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0;
}

// The best likeness within 60 ms of `at` (the recording starts a little late or early).
double bestLikeness(const Bytes &rec, long at, const Bytes &wav, size_t count) {
    double best = -1;
    for (long lag = -1300; lag <= 1300; ++lag)
        if (at + lag >= 0) best = std::max(best, likeness(rec, at + lag, wav, count));
    return best;
}

class SoundServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server) GTEST_SKIP() << "run with TARVO_SOUND_SERVER=1";
        ASSERT_TRUE(server->ok()) << server->log().toStdString();
    }
    Bytes record(const std::function<void()> &play, int ms) {
        PulseServer::Recording rec(*server);
        play();
        runFor(ms);
        Bytes out = rec.stop();
        if (const char *dump = getenv("TARVO_DUMP_RECORDING")) {
            std::ofstream f(dump, std::ios::binary);
            f.write(reinterpret_cast<const char *>(out.data()), std::streamsize(out.size()));
        }
        return out;
    }
    WavPlayer player;
};

TEST_F(SoundServerTest, SoundOneOhOneIsHeardForItsWholeLength) {
    const Bytes wav = sound(101);
    QElapsedTimer clock;
    Bytes rec = record([&] {
        clock.start();
        player.play(wav.data(), wav.size());
        EXPECT_LT(clock.elapsed(), 250) << "play returns at once";
    }, 2300);
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
    Bytes rec = record([&] {
        player.play(a.data(), a.size());
        player.play(b.data(), b.size());
    }, 1800);
    const auto [first, last] = AudibleSpan(rec);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(seconds(last - first), 1.10, 0.08) << "107 in full, and nothing of 104 after it";
    EXPECT_GT(bestLikeness(rec, first, b, 22050), 0.8) << "107 from its beginning";
    EXPECT_LT(bestLikeness(rec, first, a, 4000), 0.5) << "104 was cut off";
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

TEST(NoSoundServer, PlayingReturnsAtOnceAndStaysSilent) {
    if (server) GTEST_SKIP() << "a server is running";
    WavPlayer player;
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
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("TARVO_SOUND_SERVER")) {
        tarvo::testing::server = std::make_unique<tarvo::testing::PulseServer>();
        qputenv("PULSE_SERVER", tarvo::testing::server->address().toLocal8Bit());
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    tarvo::testing::server.reset();
    return rc;
}
