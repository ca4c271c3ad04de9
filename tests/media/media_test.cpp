// SPDX-License-Identifier: MIT
// The built-in pictures and sounds: exact file layouts, white ground,
// mirrored cells, loudness and onset, and that the generator reproduces them.
#include "formats/wav_image.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readAsset(const std::string &name) {
    std::ifstream in(std::string(TARVO_ASSETS_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
std::uint32_t le32(const Bytes &b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24; }
std::uint16_t le16(const Bytes &b, size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

// Named contents; "a = b" for every two that are byte for byte the same.
using Named = std::vector<std::pair<std::string, Bytes>>;
std::string Duplicates(const Named &items) {
    std::string same;
    for (size_t i = 0; i < items.size(); ++i)
        for (size_t j = i + 1; j < items.size(); ++j)
            if (items[i].second == items[j].second) same += items[i].first + " = " + items[j].first + "; ";
    return same;
}

struct Bitmap {
    int width = 0, height = 0;
    Bytes file;
    // RGB of pixel (x, y), y from the top.
    std::uint32_t rgb(int x, int y) const {
        const int stride = (width + 3) & ~3;
        const std::uint8_t index = file[1078 + size_t(height - 1 - y) * stride + x];
        const size_t e = 54 + 4 * size_t(index);
        return std::uint32_t(file[e + 2]) << 16 | file[e + 1] << 8 | file[e];
    }
};

Bitmap checkedBitmap(const std::string &name, int width, int height, size_t fileSize) {
    SCOPED_TRACE(name);
    Bitmap b{width, height, readAsset(name)};
    EXPECT_EQ(b.file.size(), fileSize);
    if (b.file.size() != fileSize) return b;
    EXPECT_EQ(b.file[0], 'B');
    EXPECT_EQ(b.file[1], 'M');
    EXPECT_EQ(le32(b.file, 2), fileSize);
    EXPECT_EQ(le32(b.file, 10), 1078u) << "pixel data offset";
    EXPECT_EQ(le32(b.file, 14), 40u) << "information header size";
    EXPECT_EQ(int(le32(b.file, 18)), width);
    EXPECT_EQ(int(le32(b.file, 22)), height) << "positive height: rows stored bottom-up";
    EXPECT_EQ(le16(b.file, 26), 1);
    EXPECT_EQ(le16(b.file, 28), 8) << "bits per pixel";
    EXPECT_EQ(le32(b.file, 30), 0u) << "no compression";
    EXPECT_EQ(le32(b.file, 34), fileSize - 1078) << "pixel data size";
    const std::uint32_t used = le32(b.file, 46);
    EXPECT_TRUE(used == 256 || used == 0) << "a full palette of 256 entries";
    return b;
}

const char *kBanners[] = {"ready.bmp", "kill.bmp", "bung.bmp", "win1p.bmp", "win2p.bmp", "fall1p.bmp", "fall2p.bmp"};
constexpr std::uint32_t kWhite = 0xffffff;

TEST(Pictures, BannersAre8BitBitmapsOnWhiteAndAllDiffer) {
    Named pixels;
    for (const char *name : kBanners) {
        Bitmap b = checkedBitmap(name, 200, 50, 11078);
        if (b.file.size() != 11078) continue;
        pixels.emplace_back(name, Bytes(b.file.begin() + 1078, b.file.end()));
        int ink = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 200; ++x) {
                const bool edge = x == 0 || y == 0 || x == 199 || y == 49;
                if (edge) {
                    EXPECT_EQ(b.rgb(x, y), kWhite) << name << " at " << x << "," << y;
                }
                if (b.rgb(x, y) != kWhite) ++ink;
            }
        EXPECT_GT(ink, 1500) << name << ": large lettering";
    }
    EXPECT_EQ(pixels.size(), 7u);
    EXPECT_EQ(Duplicates(pixels), "") << "banners with the same pixels";
}

TEST(Pictures, BannerColoursMatchTheirWords) {
    // Count strongly coloured pixels: blue words for Ready? and 1P WIN!, red for the rest, dark for BUNG!!.
    auto dominant = [](const char *name) {
        Bitmap b = checkedBitmap(name, 200, 50, 11078);
        int red = 0, blue = 0, dark = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 200; ++x) {
                std::uint32_t c = b.rgb(x, y);
                int r = c >> 16, g = (c >> 8) & 255, bl = c & 255;
                if (r > 150 && g < 90 && bl < 90) ++red;
                if (bl > 150 && r < 110) ++blue;
                if (r < 60 && g < 60 && bl < 60) ++dark;
            }
        if (red > blue && red > dark) return 'r';
        return blue > dark ? 'b' : 'k';
    };
    EXPECT_EQ(dominant("ready.bmp"), 'b');
    EXPECT_EQ(dominant("kill.bmp"), 'r');
    EXPECT_EQ(dominant("bung.bmp"), 'k');
    EXPECT_EQ(dominant("win1p.bmp"), 'b');
    EXPECT_EQ(dominant("win2p.bmp"), 'r');
    EXPECT_EQ(dominant("fall1p.bmp"), 'r');
    EXPECT_EQ(dominant("fall2p.bmp"), 'r');
}

TEST(Pictures, SpriteSheetRowOneMirrorsRowZeroCellByCell) {
    Bitmap s = checkedBitmap("sprites.bmp", 450, 100, 46278);
    ASSERT_EQ(s.file.size(), 46278u);
    for (int c = 0; c < 9; ++c) {
        int lowest = -1, ink = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 50; ++x) {
                ASSERT_EQ(s.rgb(c * 50 + x, y), s.rgb(c * 50 + 49 - x, 50 + y)) << "cell " << c << " at " << x << "," << y;
                const bool edge = x == 0 || y == 0 || x == 49 || y == 49;
                if (edge) {
                    ASSERT_EQ(s.rgb(c * 50 + x, y), kWhite) << "cell " << c;
                }
                if (s.rgb(c * 50 + x, y) != kWhite) { lowest = y; ++ink; }
            }
        EXPECT_GT(ink, 250) << "cell " << c << " holds a figure";
        EXPECT_GE(lowest, 46) << "cell " << c << " stands on the shared ground line";
        EXPECT_LE(lowest, 48) << "cell " << c;
    }
    // Pose 1 aims: it reaches further forward (right) than the idle pose.
    auto rightmost = [&](int c, int y0, int y1) {
        int r = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < 50; ++x)
                if (s.rgb(c * 50 + x, y) != kWhite) r = std::max(r, x);
        return r;
    };
    EXPECT_GT(rightmost(1, 18, 30), rightmost(0, 18, 30) + 8);
}

TEST(Pictures, IconIsA32PixelPalettedHeadOnATransparentGround) {
    QImage icon(QString(TARVO_ASSETS_DIR) + "/icon.png");
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.format(), QImage::Format_Indexed8);
    EXPECT_LE(icon.colorCount(), 256);
    for (QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0);
    int brown = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            QRgb c = icon.pixel(x, y);
            if (qAlpha(c) == 255 && qRed(c) > qBlue(c) + 40 && qRed(c) < 150) ++brown;
        }
    EXPECT_GT(brown, 150) << "a brown hat";
}

TEST(Pictures, LauncherIconsComeInSixSizesOnATransparentGround) {
    for (int size : {48, 64, 128, 192, 256, 512}) {
        SCOPED_TRACE(size);
        QImage icon(QString(TARVO_ASSETS_DIR) + QString("/icon-%1.png").arg(size));
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
        const int last = size - 1;
        for (QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << "the head in the middle";
    }
}

// Home screens cut an icon to a circle, a rounded square or a squircle: the
// head stays inside the circle of 4/5 of the width, on an opaque ground.
TEST(Pictures, HomeScreenIconsKeepTheHeadInsideTheSafeCircle) {
    for (const auto &[name, size] : {std::pair{"icon-maskable-512.png", 512}, std::pair{"apple-touch-icon.png", 180}}) {
        SCOPED_TRACE(name);
        const QImage tile = QImage(QString(TARVO_ASSETS_DIR) + "/" + name).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(tile.size(), QSize(size, size));
        const QRgb ground = tile.pixel(0, 0);
        int head = 0, outside = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                ASSERT_EQ(qAlpha(tile.pixel(x, y)), 255) << "opaque at " << x << "," << y;
                if (tile.pixel(x, y) == ground) continue;
                ++head;
                const double dx = x + 0.5 - size / 2.0, dy = y + 0.5 - size / 2.0;
                outside += dx * dx + dy * dy > 0.16 * size * size;
            }
        EXPECT_GT(head, size * size / 5) << "a head that fills the circle";
        EXPECT_EQ(outside, 0) << "pixels of the head outside the safe circle";
    }
}

TEST(Pictures, TheWindowsIconHoldsTheSameHeadAtEachSize) {
    QImageReader ico(QString(TARVO_ASSETS_DIR) + "/tarvo.ico");
    std::vector<int> sizes;
    const auto same = [](const QImage &a, const QImage &b) {
        return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
    };
    const QImage icon(QString(TARVO_ASSETS_DIR) + "/icon.png"), big(QString(TARVO_ASSETS_DIR) + "/icon-256.png"),
        mid(QString(TARVO_ASSETS_DIR) + "/icon-48.png");
    do {
        const QImage img = ico.read();
        ASSERT_FALSE(img.isNull()) << ico.errorString().toStdString();
        ASSERT_EQ(img.width(), img.height());
        sizes.push_back(img.width());
        const int last = img.width() - 1;
        EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0) << img.width() << ": a transparent ground";
        EXPECT_EQ(qAlpha(img.pixel(last, last)), 0) << img.width();
        if (img.width() == 32) {
            EXPECT_TRUE(same(img, icon)) << "the window icon's own pixels";
        } else if (img.width() == 48) {
            EXPECT_TRUE(same(img, mid));
        } else if (img.width() == 256) {
            EXPECT_TRUE(same(img, big));
        }
    } while (ico.jumpToNextImage());
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 32, 48, 256})) << "16 to 256, and 32 in 256 colours too";
}

struct SoundSpec { int id; std::uint32_t samples, fileSize; };
const SoundSpec kSounds[] = {{101, 34400, 34460}, {102, 13230, 13288}, {103, 22050, 22108},
                             {104, 8820, 8880},   {105, 17640, 17700}, {106, 15435, 15496},
                             {107, 24255, 24316}, {108, 30870, 30928}, {109, 30870, 30928}};

TEST(Sounds, EveryFileHasTheExactChunksSizesAndTrailingBytes) {
    for (const SoundSpec &s : kSounds) {
        SCOPED_TRACE(s.id);
        const Bytes w = readAsset(std::to_string(s.id) + ".wav");
        ASSERT_EQ(w.size(), s.fileSize);
        EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
        EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 12), "WAVE");
        const std::uint32_t pad = s.samples & 1;
        EXPECT_EQ(le32(w, 4), 4 + 26 + 12 + 8 + s.samples + pad);
        EXPECT_EQ(std::string(w.begin() + 12, w.begin() + 16), "fmt ");
        EXPECT_EQ(le32(w, 16), 18u);
        EXPECT_EQ(le16(w, 20), 1) << "PCM";
        EXPECT_EQ(le16(w, 22), 1) << "mono";
        EXPECT_EQ(le32(w, 24), 22050u);
        EXPECT_EQ(le32(w, 28), 22050u) << "bytes per second";
        EXPECT_EQ(le16(w, 32), 1) << "block alignment";
        EXPECT_EQ(le16(w, 34), 8);
        EXPECT_EQ(le16(w, 36), 0) << "extra-size";
        EXPECT_EQ(std::string(w.begin() + 38, w.begin() + 42), "fact");
        EXPECT_EQ(le32(w, 42), 4u);
        EXPECT_EQ(le32(w, 46), s.samples);
        EXPECT_EQ(std::string(w.begin() + 50, w.begin() + 54), "data");
        EXPECT_EQ(le32(w, 54), s.samples);
        const size_t riffEnd = 8 + le32(w, 4);
        EXPECT_LE(w.size() - riffEnd, 2u) << "at most two bytes after the RIFF chunk";
        const auto parsed = tarvo::ParseWavImage(w.data(), w.size());
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->dataOffset, 58u);
        EXPECT_EQ(parsed->dataSize, s.samples);
    }
}

TEST(Sounds, StartAtOnceEndCleanlyNeverClipAndAreEquallyLoud) {
    double quietest = 1e9, loudest = 0;
    Named samples;
    for (const SoundSpec &s : kSounds) {
        SCOPED_TRACE(s.id);
        const Bytes w = readAsset(std::to_string(s.id) + ".wav");
        ASSERT_EQ(w.size(), s.fileSize);
        const Bytes pcm(w.begin() + 58, w.begin() + 58 + s.samples);
        samples.emplace_back(std::to_string(s.id) + ".wav", pcm);
        double sum = 0, sq = 0, onset = 0;
        for (size_t i = 0; i < pcm.size(); ++i) {
            const double v = double(pcm[i]) - 128;
            sum += pcm[i];
            sq += v * v;
            if (i < 220) onset += v * v; // the first 10 ms
            ASSERT_GT(pcm[i], 0) << "clipped at sample " << i;
            ASSERT_LT(pcm[i], 255) << "clipped at sample " << i;
        }
        const double rms = std::sqrt(sq / double(pcm.size()));
        EXPECT_NEAR(sum / double(pcm.size()), 128.0, 1.5) << "midpoint";
        EXPECT_GT(std::sqrt(onset / 220), 8.0) << "audible within 10 ms";
        EXPECT_EQ(pcm.back(), 128) << "ends at rest";
        for (size_t i = pcm.size() - 22; i < pcm.size(); ++i)
            EXPECT_LE(std::abs(int(pcm[i]) - 128), 3) << "no click at the end";
        quietest = std::min(quietest, rms);
        loudest = std::max(loudest, rms);
    }
    EXPECT_EQ(samples.size(), 9u);
    EXPECT_EQ(Duplicates(samples), "") << "sounds with the same samples";
    EXPECT_LT(20 * std::log10(loudest / quietest), 6.0);
}

TEST(Media, TheGeneratorReproducesEveryAssetByteForByte) {
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess gen;
    gen.start(TARVO_MKMEDIA, {out.path()});
    // No limit of its own: ctest's catches a generator that hangs, and under
    // emulation on a busy machine it can take minutes.
    ASSERT_TRUE(gen.waitForFinished(-1));
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
    const QStringList made = QDir(out.path()).entryList(QDir::Files, QDir::Name);
    const QStringList kept = QDir(TARVO_ASSETS_DIR).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(made, kept);
    for (const QString &name : kept) {
        std::ifstream a(out.filePath(name).toStdString(), std::ios::binary);
        const Bytes fresh((std::istreambuf_iterator<char>(a)), {});
        EXPECT_TRUE(fresh == readAsset(name.toStdString())) << name.toStdString() << " differs from its regenerated copy";
    }
}

} // namespace
