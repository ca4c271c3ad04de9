// SPDX-License-Identifier: MIT
#include "mkmedia.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

namespace mkmedia {
namespace {

QPainterPath fittedText(const QRawFont &font, const QString &text, const QRectF &box) {
    QPainterPath path;
    const auto glyphs = font.glyphIndexesForString(text);
    const auto advances = font.advancesForGlyphIndexes(glyphs);
    qreal x = 0;
    for (int i = 0; i < glyphs.size(); ++i) {
        QPainterPath g = font.pathForGlyph(glyphs[i]);
        g.translate(x, 0);
        path.addPath(g);
        x += advances[i].x();
    }
    const QRectF r = path.boundingRect();
    const qreal s = std::min(box.width() / r.width(), box.height() / r.height());
    QTransform t;
    t.translate(box.center().x(), box.center().y());
    t.scale(s, s);
    t.translate(-r.center().x(), -r.center().y());
    return t.map(path);
}

// Qt only rasterizes coverage here: whatever `draw` paints in opaque white,
// antialiased, on an opaque black 8-bit image. That comes out the same bytes on
// every architecture; Qt's colour blending, gradients and gradient pens do not
// (its generic C paths round differently from its SSE2 and NEON ones), so every
// colour below is mixed in integers by this file.
using Mask = std::vector<int>; // 0..255 per pixel, row by row

template <class Draw> Mask coverage(int w, int h, Draw draw) {
    QImage img(w, h, QImage::Format_Grayscale8);
    img.fill(0);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    draw(p);
    p.end();
    Mask m(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const uchar *line = img.constScanLine(y);
        for (int x = 0; x < w; ++x) m[size_t(y) * w + x] = line[x];
    }
    return m;
}

// Separable box blur, run three times (close to a Gaussian).
Mask blur(Mask a, int w, int h, int radius) {
    Mask tmp(a.size());
    const int n = 2 * radius + 1;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int s = 0;
                for (int k = -radius; k <= radius; ++k) s += a[size_t(y) * w + std::clamp(x + k, 0, w - 1)];
                tmp[size_t(y) * w + x] = s / n;
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int s = 0;
                for (int k = -radius; k <= radius; ++k) s += tmp[size_t(std::clamp(y + k, 0, h - 1)) * w + x];
                a[size_t(y) * w + x] = s / n;
            }
    }
    return a;
}

struct Rgb { int r, g, b; };

Rgb rgbOf(const QColor &c) { return {c.red(), c.green(), c.blue()}; }

// a + (b - a) * num / den, rounded, for 0 <= num <= den.
int lerp(int a, int b, int num, int den) { return (a * (den - num) + b * num + den / 2) / den; }
Rgb lerp(Rgb a, Rgb b, int num, int den) { return {lerp(a.r, b.r, num, den), lerp(a.g, b.g, num, den), lerp(a.b, b.b, num, den)}; }

// Paints `c` over `dst` where the mask covers it.
void paint(std::vector<Rgb> &dst, const Mask &m, const std::function<Rgb(int x, int y)> &c, int w) {
    for (size_t i = 0; i < dst.size(); ++i)
        if (m[i] > 0) dst[i] = lerp(dst[i], c(int(i % w), int(i / w)), m[i], 255);
}

QImage drawBanner(const QRawFont &font, const QString &text, QColor colour, bool streaks) {
    const int w = 200, h = 50;
    std::vector<Rgb> img(size_t(w) * h, Rgb{255, 255, 255});

    const QRect box = streaks ? QRect(40, 6, 150, 36) : QRect(10, 6, 178, 36);
    const QPainterPath path = fittedText(font, text, QRectF(box));

    if (streaks) {
        // Speed lines rushing in from the left, thick near the word: each fades
        // from white at its start to near black at x = 44 and stays dark to its end.
        const int ys[] = {10, 15, 19, 24, 28, 33, 38, 42};
        const int starts[] = {22, 6, 30, 4, 14, 26, 8, 34};
        const int fadeEnd = 44;
        for (int i = 0; i < 8; ++i) {
            const Mask line = coverage(w, h, [&](QPainter &p) {
                p.setPen(QPen(Qt::white, (i % 3 == 0) ? 2.2 : 1.3, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(starts[i], ys[i]), QPointF(box.left() + 12, ys[i]));
            });
            // Measured at pixel centres: (x + 0.5 - start) / (44 - start).
            const int den = 2 * (fadeEnd - starts[i]);
            paint(img, line, [&](int x, int) {
                return lerp(Rgb{255, 255, 255}, Rgb{30, 30, 30}, std::clamp(2 * (x - starts[i]) + 1, 0, den), den);
            }, w);
        }
    }

    // Soft grey drop shadow.
    const Mask shadow = blur(coverage(w, h, [&](QPainter &p) {
        p.translate(3, 3);
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }), w, h, 1);
    for (size_t i = 0; i < img.size(); ++i) {
        const int a = shadow[i] * 55 / 100;
        auto mix = [&](int v) { return (v * (255 - a) + 96 * a) / 255; };
        img[i] = {mix(img[i].r), mix(img[i].g), mix(img[i].b)};
    }

    const Rgb dark = rgbOf(colour.darker(230));
    const Rgb light = rgbOf(colour.lighter(colour.lightness() < 40 ? 400 : 165));
    const Rgb top = rgbOf(colour.lighter(125)), middle = rgbOf(colour), bottom = rgbOf(colour.darker(140));

    // Heavy outline, then a bevelled face: a light rim on the upper edges, where
    // the face, shifted down and right and clipped to the letters, leaves them.
    const Mask outline = coverage(w, h, [&](QPainter &p) {
        p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    });
    paint(img, outline, [&](int, int) { return dark; }, w);
    const Mask letters = coverage(w, h, [&](QPainter &p) { p.drawPath(path); });
    paint(img, letters, [&](int, int) { return light; }, w);
    const Mask shifted = coverage(w, h, [&](QPainter &p) { p.drawPath(path.translated(0.9, 1.4)); });
    Mask face(letters.size());
    for (size_t i = 0; i < face.size(); ++i) face[i] = (letters[i] * shifted[i] + 127) / 255;
    // A vertical gradient over the box, lighter at the top and darker at the
    // bottom, measured at pixel centres; the colour itself sits at 55 %.
    const int span = 20 * box.height(), knee = span * 55 / 100;
    paint(img, face, [&](int, int y) {
        const int t = std::clamp(10 * (2 * (y - box.top()) + 1), 0, span);
        return t < knee ? lerp(top, middle, t, knee) : lerp(middle, bottom, t - knee, span - knee);
    }, w);

    // The ground stays pure white at every edge.
    QImage out(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            const Rgb c = edge ? Rgb{255, 255, 255} : img[size_t(y) * w + x];
            out.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    return out;
}

} // namespace

std::vector<Banner> makeBanners(const QString &fontFile) {
    QRawFont font(fontFile, 64, QFont::PreferNoHinting);
    if (!font.isValid()) throw std::runtime_error("cannot load banner font " + fontFile.toStdString());

    const QColor blue(28, 84, 226), red(222, 24, 24), black(24, 24, 24);
    struct Style { const char *file, *text; QColor colour; bool streaks; };
    const Style styles[] = {
        {"ready.bmp", "Ready?", blue, false},
        {"kill.bmp", "KILL", red, false},
        {"bung.bmp", "BUNG!!", black, true},
        {"win1p.bmp", "1P WIN!", blue, false},
        {"win2p.bmp", "2P WIN!", red, false},
        {"fall1p.bmp", "1P FALL", red, false},
        {"fall2p.bmp", "2P FALL", red, false},
    };
    std::vector<Banner> out;
    for (const auto &s : styles)
        out.push_back({s.file, s.text, drawBanner(font, s.text, s.colour, s.streaks)});
    return out;
}

} // namespace mkmedia
