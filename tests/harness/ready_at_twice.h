// SPDX-License-Identifier: MIT
// The stage right after a bout starts, drawn at twice the size: every device
// pixel is the picture pixel it doubles (nearest neighbour, no new colours),
// or the white ground between the figures.
#pragma once

#include <QImage>
#include <QString>
#include <gtest/gtest.h>

namespace tarvo::testing {

inline ::testing::AssertionResult IsReadyStageAtTwice(const QImage &big) {
    if (big.size() != QSize(400, 200))
        return ::testing::AssertionFailure() << "the stage is " << big.width() << " x " << big.height();
    const auto picture = [](const char *name) {
        return QImage(QString(TARVO_ASSETS_DIR) + "/" + name).convertToFormat(QImage::Format_RGB32);
    };
    const QImage ready = picture("ready.bmp"), sheet = picture("sprites.bmp");
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x) {
            QRgb want = 0xffffffffu;
            if (y < 100) want = ready.pixel(x / 2, y / 2);
            else if (x < 100) want = sheet.pixel(x / 2, y / 2 - 50);   // 1P: cell (0, 0)
            else if (x >= 300) want = sheet.pixel(x / 2 - 150, y / 2); // 2P: cell (0, 1)
            if ((big.pixel(x, y) | 0xff000000u) != (want | 0xff000000u))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is not its picture's";
        }
    return ::testing::AssertionSuccess();
}

} // namespace tarvo::testing
