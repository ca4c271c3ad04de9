// SPDX-License-Identifier: MIT
#include "mkmedia.h"

#include <QPainter>
#include <QRawFont>
#include <QPainterPath>

namespace mkmedia {
namespace {

void label(QPainter &p, const QRawFont &font, const QString &text, QPointF at) {
    QPainterPath path;
    qreal x = 0;
    const auto glyphs = font.glyphIndexesForString(text);
    const auto adv = font.advancesForGlyphIndexes(glyphs);
    for (int i = 0; i < glyphs.size(); ++i) {
        QPainterPath g = font.pathForGlyph(glyphs[i]);
        g.translate(at.x() + x, at.y());
        path.addPath(g);
        x += adv[i].x();
    }
    p.fillPath(path, QColor(40, 40, 40));
}

} // namespace

QImage makeContactSheet(const std::vector<Banner> &banners, const QImage &sheet, const QString &labelFontFile) {
    QRawFont font(labelFontFile, 18, QFont::PreferNoHinting);
    const int s = 4, pad = 16, cellW = 50 * s, bannerW = 200 * s, bannerH = 50 * s;
    const int width = pad + 9 * (cellW + pad);
    const int bannerRows = int((banners.size() + 1) / 2);
    const int height = pad + bannerRows * (bannerH + 34) + 2 * (cellW + 34) + 30 + pad;
    QImage out(width, height, QImage::Format_RGB32);
    out.fill(QColor(214, 214, 214));
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    int y = pad;
    for (size_t i = 0; i < banners.size(); ++i) {
        int col = int(i % 2), x = pad + col * (bannerW + 2 * pad);
        if (i > 0 && col == 0) y += bannerH + 34;
        label(p, font, banners[i].file + "  \u2014  " + banners[i].label, QPointF(x, y + 18));
        p.drawImage(QRect(x, y + 26, bannerW, bannerH), banners[i].image);
    }
    y += bannerH + 34;
    const QStringList names = poseNames();
    for (int row = 0; row < 2; ++row) {
        for (int c = 0; c < 9; ++c) {
            int x = pad + c * (cellW + pad);
            label(p, font, QString("(%1,%2)").arg(c).arg(row),
                  QPointF(x, y + 18));
            p.drawImage(QRect(x, y + 26, cellW, cellW), sheet.copy(c * 50, row * 50, 50, 50));
            if (row == 1) label(p, font, names[c], QPointF(x, y + 26 + cellW + 22));
        }
        y += cellW + 34;
    }
    p.end();
    return out;
}

} // namespace mkmedia
