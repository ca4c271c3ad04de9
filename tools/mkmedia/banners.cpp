// SPDX-License-Identifier: MIT
#include "media.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <stdexcept>

namespace mkmedia {
namespace {

// Separable box blur of the alpha channel, run three times (close to a Gaussian).
QImage blurAlpha(const QImage &in, int radius) {
    const int w = in.width(), h = in.height();
    std::vector<int> a(size_t(w) * h), tmp(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) a[size_t(y) * w + x] = qAlpha(in.pixel(x, y));
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
    QImage out(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.setPixel(x, y, qRgba(0, 0, 0, a[size_t(y) * w + x]));
    return out;
}

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

QImage drawBanner(const QRawFont &font, const QString &text, QColor colour, bool streaks) {
    QImage img(200, 50, QImage::Format_ARGB32);
    img.fill(Qt::white);

    QRectF box = streaks ? QRectF(40, 6, 150, 36) : QRectF(10, 6, 178, 36);
    QPainterPath path = fittedText(font, text, box);

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    if (streaks) {
        // Speed lines rushing in from the left, thick near the word.
        const int ys[] = {10, 15, 19, 24, 28, 33, 38, 42};
        const int starts[] = {22, 6, 30, 4, 14, 26, 8, 34};
        for (int i = 0; i < 8; ++i) {
            QLinearGradient g(starts[i], 0, 44, 0);
            g.setColorAt(0, QColor(255, 255, 255));
            g.setColorAt(1, QColor(30, 30, 30));
            p.setPen(QPen(QBrush(g), (i % 3 == 0) ? 2.2 : 1.3, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(starts[i], ys[i]), QPointF(box.left() + 12, ys[i]));
        }
    }

    // Soft grey drop shadow.
    QImage shadow(img.size(), QImage::Format_ARGB32);
    shadow.fill(Qt::transparent);
    {
        QPainter s(&shadow);
        s.setRenderHint(QPainter::Antialiasing);
        s.translate(3, 3);
        s.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        s.setBrush(Qt::black);
        s.drawPath(path);
    }
    shadow = blurAlpha(shadow, 1);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            int a = qAlpha(shadow.pixel(x, y)) * 55 / 100;
            QRgb c = img.pixel(x, y);
            auto mix = [&](int v) { return (v * (255 - a) + 96 * a) / 255; };
            img.setPixel(x, y, qRgb(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c))));
        }

    const QColor dark = colour.darker(230);
    const QColor light = colour.lighter(colour.lightness() < 40 ? 400 : 165);

    // Heavy outline, then a bevelled face: a light rim on the upper edges.
    p.setPen(QPen(dark, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(dark);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(light);
    p.drawPath(path);
    p.save();
    p.setClipPath(path);
    QLinearGradient face(0, box.top(), 0, box.bottom());
    face.setColorAt(0, colour.lighter(125));
    face.setColorAt(0.55, colour);
    face.setColorAt(1, colour.darker(140));
    p.setBrush(face);
    p.drawPath(path.translated(0.9, 1.4));
    p.restore();
    p.end();

    // The ground stays pure white at every edge.
    for (int x = 0; x < 200; ++x) { img.setPixel(x, 0, qRgb(255, 255, 255)); img.setPixel(x, 49, qRgb(255, 255, 255)); }
    for (int y = 0; y < 50; ++y) { img.setPixel(0, y, qRgb(255, 255, 255)); img.setPixel(199, y, qRgb(255, 255, 255)); }
    return img.convertToFormat(QImage::Format_RGB32);
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
