// SPDX-License-Identifier: MIT
// The window at twice the size (QT_SCALE_FACTOR=2): pictures stay crisp.
#include "window/form1.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

namespace tarvo {
namespace {

std::set<QRgb> coloursOf(const QImage &img) {
    std::set<QRgb> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) out.insert(img.pixel(x, y) | 0xff000000u);
    return out;
}

TEST(Scaled, BannerAndFiguresAreDoubledPixelForPixel) {
    ASSERT_EQ(qgetenv("QT_SCALE_FACTOR"), "2");
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.action(MenuItem::Start)->trigger();
    QApplication::processEvents();
    const QPixmap shot = form.centralWidget()->grab();
    ASSERT_EQ(shot.devicePixelRatio(), 2.0);
    const QImage big = shot.toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(big.size(), QSize(400, 200));
    const QImage ready = QImage(QString(TARVO_ASSETS_DIR) + "/ready.bmp").convertToFormat(QImage::Format_RGB32);
    const QImage sheet = QImage(QString(TARVO_ASSETS_DIR) + "/sprites.bmp").convertToFormat(QImage::Format_RGB32);
    // Nearest-neighbour: every device pixel is its logical pixel, no new colours.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x) {
            QRgb want = 0xffffffffu;
            if (y < 100) want = ready.pixel(x / 2, y / 2);
            else if (x < 100) want = sheet.pixel(x / 2, y / 2 - 50);       // 1P: cell (0, 0)
            else if (x >= 300) want = sheet.pixel(x / 2 - 150, y / 2);     // 2P: cell (0, 1)
            ASSERT_EQ(big.pixel(x, y) | 0xff000000u, want | 0xff000000u) << x << "," << y;
        }
    EXPECT_LE(coloursOf(big.copy(0, 0, 400, 100)).size(), coloursOf(ready).size());
}

} // namespace
} // namespace tarvo
