// SPDX-License-Identifier: MIT
// The game's artwork and sounds, drawn and synthesized from code.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace mkmedia {

struct Banner {
    QString file;   // file name in assets/
    QString label;  // what it says
    QImage image;   // 200 x 50
};

// The seven banners, in the order of their file names.
std::vector<Banner> makeBanners(const QString &fontFile);

// The 450 x 100 sheet: 9 poses facing right in row 0, mirrored in row 1.
QImage makeSpriteSheet();
// Names of the nine poses, by column.
QStringList poseNames();

// 32 x 32 window icon: the duelist's head and hat on a transparent ground.
QImage makeIcon(int size = 32);
// The same head on an opaque square of sand, for home screens that cut
// icons to their own shapes: it keeps within the middle circle of 4/5 of the
// width that every such shape leaves whole.
QImage makeTile(int size);

// The WAV file (8-bit mono 22050 Hz) of each of the game's sounds, by id.
QByteArray makeSound(int id);

// A labelled contact sheet of every banner and cell at 4x, nearest-neighbour.
QImage makeContactSheet(const std::vector<Banner> &banners, const QImage &sheet, const QString &labelFontFile);

} // namespace mkmedia
