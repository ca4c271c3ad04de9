// SPDX-License-Identifier: MIT
#include "bmp8.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <vector>

namespace mkmedia {
namespace {

struct Bucket {
    std::vector<std::pair<QRgb, int>> colours; // colour, pixel count
};

int channel(QRgb c, int ch) { return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c); }

// Median cut, weighted by pixel count; deterministic for a given histogram.
std::vector<QRgb> medianCut(std::vector<std::pair<QRgb, int>> hist, int wanted) {
    std::vector<Bucket> buckets{Bucket{std::move(hist)}};
    while (static_cast<int>(buckets.size()) < wanted) {
        int best = -1, bestRange = 0, bestCh = 0;
        for (int i = 0; i < static_cast<int>(buckets.size()); ++i) {
            const auto &cs = buckets[i].colours;
            if (cs.size() < 2) continue;
            for (int ch = 0; ch < 3; ++ch) {
                int lo = 255, hi = 0;
                for (auto &[c, n] : cs) { lo = std::min(lo, channel(c, ch)); hi = std::max(hi, channel(c, ch)); }
                if (hi - lo > bestRange) { bestRange = hi - lo; best = i; bestCh = ch; }
            }
        }
        if (best < 0) break;
        auto cs = std::move(buckets[best].colours);
        std::stable_sort(cs.begin(), cs.end(), [&](auto &a, auto &b) {
            int ca = channel(a.first, bestCh), cb = channel(b.first, bestCh);
            return ca != cb ? ca < cb : a.first < b.first;
        });
        long total = 0;
        for (auto &e : cs) total += e.second;
        long acc = 0;
        size_t split = 1;
        for (size_t i = 0; i + 1 < cs.size(); ++i) {
            acc += cs[i].second;
            split = i + 1;
            if (acc * 2 >= total) break;
        }
        Bucket a, b;
        a.colours.assign(cs.begin(), cs.begin() + static_cast<long>(split));
        b.colours.assign(cs.begin() + static_cast<long>(split), cs.end());
        buckets[best] = std::move(a);
        buckets.push_back(std::move(b));
    }
    std::vector<QRgb> palette;
    for (auto &b : buckets) {
        long r = 0, g = 0, bl = 0, n = 0;
        for (auto &[c, k] : b.colours) { r += long(qRed(c)) * k; g += long(qGreen(c)) * k; bl += long(qBlue(c)) * k; n += k; }
        if (n == 0) continue;
        palette.push_back(qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((bl + n / 2) / n)));
    }
    return palette;
}

void put16(QByteArray &a, uint16_t v) { a.append(char(v & 0xff)); a.append(char(v >> 8)); }
void put32(QByteArray &a, uint32_t v) { for (int i = 0; i < 4; ++i) a.append(char((v >> (8 * i)) & 0xff)); }

} // namespace

QImage quantize(const QImage &source) {
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) ++counts[rgb.pixel(x, y) | 0xff000000u];

    std::vector<QRgb> palette;
    const QRgb white = qRgb(255, 255, 255);
    if (counts.size() <= 256) {
        for (auto &[c, n] : counts) palette.push_back(c);
    } else {
        std::vector<std::pair<QRgb, int>> hist;
        for (auto &[c, n] : counts) if (c != white) hist.emplace_back(c, n);
        palette = medianCut(std::move(hist), 255);
        palette.push_back(white);
    }
    std::sort(palette.begin(), palette.end());
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());

    QImage out(rgb.size(), QImage::Format_Indexed8);
    QList<QRgb> table(palette.begin(), palette.end());
    out.setColorTable(table);
    std::map<QRgb, int> memo;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            QRgb c = rgb.pixel(x, y) | 0xff000000u;
            auto it = memo.find(c);
            if (it == memo.end()) {
                int best = 0; long bestD = -1;
                for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
                    if (c == white && palette[i] != white) continue;
                    long dr = qRed(c) - qRed(palette[i]), dg = qGreen(c) - qGreen(palette[i]), db = qBlue(c) - qBlue(palette[i]);
                    long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                    if (bestD < 0 || d < bestD) { bestD = d; best = i; }
                }
                it = memo.emplace(c, best).first;
            }
            out.setPixel(x, y, uint(it->second));
        }
    }
    return out;
}

QByteArray encodeBmp8(const QImage &image) {
    const QImage idx = image.format() == QImage::Format_Indexed8 ? image : quantize(image);
    const int w = idx.width(), h = idx.height();
    const int stride = (w + 3) & ~3;
    const uint32_t pixelBytes = uint32_t(stride) * uint32_t(h);
    const uint32_t offset = 14 + 40 + 256 * 4;

    QByteArray f;
    f.append("BM", 2);
    put32(f, offset + pixelBytes);
    put16(f, 0); put16(f, 0);
    put32(f, offset);
    put32(f, 40);
    put32(f, uint32_t(w)); put32(f, uint32_t(h));
    put16(f, 1); put16(f, 8);
    put32(f, 0);            // BI_RGB
    put32(f, pixelBytes);
    put32(f, 3780); put32(f, 3780); // 96 dpi
    put32(f, 256); put32(f, 0);
    const auto table = idx.colorTable();
    if (table.size() > 256) throw std::runtime_error("more than 256 colours");
    for (int i = 0; i < 256; ++i) {
        QRgb c = i < table.size() ? table[i] : qRgb(0, 0, 0);
        f.append(char(qBlue(c))); f.append(char(qGreen(c))); f.append(char(qRed(c))); f.append(char(0));
    }
    for (int y = h - 1; y >= 0; --y) {
        const uchar *line = idx.constScanLine(y);
        f.append(reinterpret_cast<const char *>(line), w);
        for (int p = w; p < stride; ++p) f.append(char(0));
    }
    return f;
}

} // namespace mkmedia
