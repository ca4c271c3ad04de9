// SPDX-License-Identifier: MIT
#include "ico.h"

namespace mkmedia {

namespace {

void put16(QByteArray &b, int v) {
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}
void put32(QByteArray &b, qint64 v) {
    put16(b, int(v & 0xffff));
    put16(b, int((v >> 16) & 0xffff));
}

// The image as an icon's bitmap: the header (twice the height, for the
// colour rows and the mask rows), the palette if any, the colour rows and
// the mask rows (1 where the icon is transparent), each bottom-up and padded
// to four bytes.
QByteArray iconBitmap(const QImage &img) {
    const bool indexed = img.format() == QImage::Format_Indexed8;
    const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    const int colourRow = indexed ? (w + 3) / 4 * 4 : 4 * w, maskRow = (w + 31) / 32 * 4;
    QByteArray b;
    put32(b, 40);
    put32(b, w);
    put32(b, 2 * h);
    put16(b, 1);
    put16(b, indexed ? 8 : 32);
    put32(b, 0);
    put32(b, qint64(colourRow + maskRow) * h);
    for (int i = 0; i < 4; ++i) put32(b, 0);
    if (indexed)
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < img.colorCount() ? img.color(i) : 0;
            b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append(char(0));
        }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < w; ++x) {
            if (indexed) {
                row.append(char(qAlpha(argb.pixel(x, y)) == 0 ? 0 : img.pixelIndex(x, y)));
            } else {
                const QRgb c = argb.pixel(x, y);
                row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append(char(qAlpha(c)));
            }
        }
        row.append(QByteArray(colourRow - row.size(), 0));
        b.append(row);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskRow, 0);
        for (int x = 0; x < w; ++x)
            if (qAlpha(argb.pixel(x, y)) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        b.append(row);
    }
    return b;
}

} // namespace

QByteArray encodeIco(const std::vector<QImage> &bitmaps, const QByteArray &png256) {
    std::vector<QByteArray> images;
    for (const QImage &img : bitmaps) images.push_back(iconBitmap(img));
    images.push_back(png256);
    QByteArray out;
    put16(out, 0);
    put16(out, 1); // an icon, not a cursor
    put16(out, int(images.size()));
    qint64 offset = 6 + 16 * qint64(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const bool png = i == bitmaps.size();
        const int size = png ? 256 : bitmaps[i].width();
        const bool indexed = !png && bitmaps[i].format() == QImage::Format_Indexed8;
        out.append(char(size & 0xff)).append(char(size & 0xff)); // 256 is written as 0
        out.append(char(0)).append(char(0)); // 256 colours or more; reserved
        put16(out, 1);
        put16(out, indexed ? 8 : 32);
        put32(out, images[i].size());
        put32(out, offset);
        offset += images[i].size();
    }
    for (const QByteArray &img : images) out.append(img);
    return out;
}

} // namespace mkmedia
