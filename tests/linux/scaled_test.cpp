// SPDX-License-Identifier: MIT
// The window at twice the size (QT_SCALE_FACTOR=2): pictures stay crisp.
#include "ready_at_twice.h"
#include "window/linux/form1_linux.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

namespace tarvo::on_linux {
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
    EXPECT_TRUE(testing::IsReadyStageAtTwice(big));
    const QImage ready = QImage(QString(TARVO_ASSETS_DIR) + "/ready.bmp").convertToFormat(QImage::Format_RGB32);
    EXPECT_LE(coloursOf(big.copy(0, 0, 400, 100)).size(), coloursOf(ready).size());
}

} // namespace
} // namespace tarvo::on_linux
