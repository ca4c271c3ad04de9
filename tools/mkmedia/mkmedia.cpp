// SPDX-License-Identifier: MIT
// mkmedia: writes every picture and sound of the game into a folder.
//   mkmedia OUTDIR [--sheet docs/media.png]
// The same fonts give the same bytes on every run.
#include "bmp8.h"
#include "ico.h"
#include "mkmedia.h"
#include "sound/sound_ids.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

namespace {

const char *kBannerFont = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Black.otf";
const char *kLabelFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

bool write(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "mkmedia: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QByteArray png(const QImage &img) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

} // namespace



int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: mkmedia OUTDIR [--sheet FILE.png]\n");
        return 2;
    }
    for (const char *font : {kBannerFont, kLabelFont})
        if (!QFile::exists(font)) {
            std::fprintf(stderr, "mkmedia: missing font %s (see tools/README.md)\n", font);
            return 1;
        }
    const QDir out(args[1]);
    if (!QDir().mkpath(out.path())) return 1;

    bool ok = true;
    const auto banners = mkmedia::makeBanners(kBannerFont);
    for (const auto &b : banners) ok &= write(out.filePath(b.file), mkmedia::encodeBmp8(b.image));
    const QImage sheet = mkmedia::makeSpriteSheet();
    ok &= write(out.filePath("sprites.bmp"), mkmedia::encodeBmp8(sheet));

    QImage icon = mkmedia::makeIcon();
    QList<QRgb> colours;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            if (!colours.contains(icon.pixel(x, y))) colours.append(icon.pixel(x, y));
    std::sort(colours.begin(), colours.end());
    if (colours.size() > 256) { std::fprintf(stderr, "mkmedia: icon has too many colours\n"); return 1; }
    const QImage icon8 = icon.convertToFormat(QImage::Format_Indexed8, colours, Qt::ThresholdDither);
    ok &= write(out.filePath("icon.png"), png(icon8));

    // Larger renditions for launchers and software centres.
    for (int size : {48, 64, 128, 192, 256, 512})
        ok &= write(out.filePath(QString("icon-%1.png").arg(size)), png(mkmedia::makeIcon(size)));
    // For phones' home screens: Android cuts the maskable one to its own
    // shape, and iPhones and iPads put a black ground under a transparent one.
    ok &= write(out.filePath("icon-maskable-512.png"), png(mkmedia::makeTile(512)));
    ok &= write(out.filePath("apple-touch-icon.png"), png(mkmedia::makeTile(180)));
    // The Windows program's icon: 16 for the title bar, 32 (in 256 colours
    // too) for the desktop, 48 and 256 for Explorer's larger views.
    ok &= write(out.filePath("tarvo.ico"), mkmedia::encodeIco({mkmedia::makeIcon(16), icon8, icon, mkmedia::makeIcon(48)},
                                                              png(mkmedia::makeIcon(256))));

    for (int id : tarvo::kSoundIds) ok &= write(out.filePath(QString::number(id) + ".wav"), mkmedia::makeSound(id));

    const int s = int(args.indexOf("--sheet"));
    if (s > 0 && s + 1 < args.size()) {
        std::vector<mkmedia::Banner> shown = banners;
        for (auto &b : shown) b.image = mkmedia::quantize(b.image).convertToFormat(QImage::Format_RGB32);
        ok &= write(args[s + 1], png(mkmedia::makeContactSheet(shown, sheet, kLabelFont)));
    }
    return ok ? 0 : 1;
}
