#include "media.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

// The duelist, drawn as crisp pixel art (no antialiasing) in 50 x 50 cells.
// Every pose is built facing right in a standing frame whose feet rest on the
// ground line y = 47; falling poses turn that frame about a pivot.
namespace mkmedia {
namespace {

const QColor kOutline(38, 22, 12);
const QColor kCoat(128, 78, 38);
const QColor kCoatShade(100, 58, 28);
const QColor kHat(96, 56, 26);
const QColor kHatBand(52, 30, 14);
const QColor kSkin(236, 188, 144);
const QColor kTrousers(72, 62, 58);
const QColor kBoot(54, 36, 24);
const QColor kScarf(186, 40, 30);
const QColor kSteel(72, 72, 84);
const QColor kSteelLight(150, 150, 164);
const QColor kBlood(204, 14, 14);
const QColor kBloodDark(128, 0, 0);
const QColor kSmoke(176, 176, 176);
const QColor kGloom(70, 70, 170);
const QColor kBlueBolt(36, 96, 255);
const QColor kRedBolt(255, 48, 48);

using P = QPointF;

// One figure: a list of shapes drawn twice, first grown by a pixel in the
// outline colour, then filled, so every part gets a dark rim.
class Figure {
public:
    explicit Figure(QTransform t = {}) : t_(t) {}

    void limb(P a, P b, double width, QColor c) { shapes_.push_back({Limb, {a, b}, width, c, true}); }
    void limb3(P a, P b, P d, double width, QColor c) { limb(a, b, width, c); limb(b, d, width, c); }
    void poly(QPolygonF pts, QColor c, bool outline = true) { shapes_.push_back({Poly, pts, 0, c, outline}); }
    void ellipse(P c, double rx, double ry, QColor col) {
        shapes_.push_back({Ellipse, {c, P(rx, ry)}, 0, col, true});
    }
    void dot(P at, QColor c) { shapes_.push_back({Dot, {at}, 0, c, false}); }

    void render(QPainter &p) const {
        p.save();
        p.setTransform(t_, true);
        for (int pass = 0; pass < 2; ++pass)
            for (const auto &s : shapes_) {
                if (pass == 0 && !s.outline) continue;
                QColor c = pass == 0 ? kOutline : s.colour;
                switch (s.kind) {
                case Limb:
                    p.setPen(QPen(c, s.width + (pass == 0 ? 2 : 0), Qt::SolidLine, Qt::RoundCap));
                    p.drawLine(s.pts[0], s.pts[1]);
                    break;
                case Poly:
                    p.setPen(pass == 0 ? QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) : QPen(c, 0.6));
                    p.setBrush(c);
                    p.drawPolygon(s.pts);
                    break;
                case Ellipse:
                    p.setPen(pass == 0 ? QPen(c, 2) : Qt::NoPen);
                    p.setBrush(c);
                    p.drawEllipse(s.pts[0], s.pts[1].x() + 0.3, s.pts[1].y() + 0.3);
                    break;
                case Dot:
                    if (pass == 1) {
                        p.setPen(Qt::NoPen);
                        p.setBrush(c);
                        QPointF d = s.pts[0];
                        p.drawRect(QRectF(std::floor(d.x()), std::floor(d.y()), 1, 1));
                    }
                    break;
                }
            }
        p.restore();
    }

private:
    enum Kind { Limb, Poly, Ellipse, Dot };
    struct Shape { Kind kind; QPolygonF pts; double width; QColor colour; bool outline; };
    QTransform t_;
    std::vector<Shape> shapes_;
};

QTransform turnAbout(P pivot, double degrees, P shift = P(0, 0)) {
    QTransform t;
    t.translate(pivot.x() + shift.x(), pivot.y() + shift.y());
    t.rotate(degrees);
    t.translate(-pivot.x(), -pivot.y());
    return t;
}

// --- body parts, in the standing frame -------------------------------------

void boot(Figure &f, P heel) {
    f.poly(QPolygonF{heel + P(-1, -3), heel + P(2, -3), heel + P(2, -1), heel + P(4, -1), heel + P(4, 0), heel + P(-1, 0)}, kBoot);
}

void legs(Figure &f, P backFoot = P(19, 47), P frontFoot = P(26, 47), P backKnee = P(20, 41), P frontKnee = P(25, 41)) {
    f.limb3(P(21, 35), backKnee, backFoot + P(0, -2), 3, kTrousers);
    boot(f, backFoot);
    f.limb3(P(24, 35), frontKnee, frontFoot + P(0, -2), 3, kTrousers);
    boot(f, frontFoot);
}

void coat(Figure &f, double lean = 0) {
    // A long duster: narrow shoulders flaring to a wide hem, open at the front.
    f.poly(QPolygonF{P(19 + lean, 22), P(27 + lean, 22), P(29 + lean * 0.5, 31), P(31, 41), P(24, 40),
                     P(22, 38), P(14, 41), P(17 + lean * 0.5, 31)}, kCoat);
    f.poly(QPolygonF{P(15, 40), P(18 + lean * 0.5, 32), P(19, 39)}, kCoatShade, false);
    f.limb(P(24 + lean * 0.6, 30), P(24, 39), 1, kCoatShade);
}

void head(Figure &f, P c, bool face = true) {
    f.limb(c + P(-0.5, 3), c + P(-0.5, 5), 3, kSkin);   // neck
    f.ellipse(c, 3.6, 4, kSkin);
    f.poly(QPolygonF{c + P(-3, 4), c + P(3, 4), c + P(1, 6.5)}, kScarf);
    if (face) {
        f.dot(c + P(1.5, -0.6), QColor(20, 12, 8));        // eye
        f.dot(c + P(2.6, -0.6), QColor(20, 12, 8));
        f.dot(c + P(4, 0.6), kSkin.darker(125));           // nose
        f.limb(c + P(0.5, 2.5), c + P(2.5, 2.5), 0.8, QColor(120, 70, 50)); // moustache
    }
}

void hat(Figure &f, P brimCentre, double tilt = 0) {
    QTransform t = turnAbout(brimCentre, tilt);
    auto m = [&](P q) { return t.map(brimCentre + q); };
    f.poly(QPolygonF{m(P(-5, 0)), m(P(-4, -6)), m(P(-1, -7.5)), m(P(1, -6.5)), m(P(4, -7.5)), m(P(5, 0))}, kHat);
    f.poly(QPolygonF{m(P(-5, -2)), m(P(5, -2)), m(P(5, -0.5)), m(P(-5, -0.5))}, kHatBand, false);
    f.poly(QPolygonF{m(P(-10, 0.5)), m(P(-8, -1.5)), m(P(9, -1.5)), m(P(11, 0.5)), m(P(9, 1.5)), m(P(-8, 1.5))}, kHat);
}

void pistol(Figure &f, P grip, double degrees) {
    QTransform t = turnAbout(grip, degrees);
    auto m = [&](P q) { return t.map(grip + q); };
    f.poly(QPolygonF{m(P(-1, -1.5)), m(P(7, -1.5)), m(P(7, 0.2)), m(P(2, 0.5)), m(P(1, 3.5)), m(P(-1.5, 3.5))}, kSteel);
    f.dot(m(P(3, -1)), kSteelLight);
    f.dot(m(P(5, -1)), kSteelLight);
}

P muzzle(P grip, double degrees) { return turnAbout(grip, degrees).map(grip + P(7.5, -0.6)); }

void backArm(Figure &f, P elbow = P(18.5, 29), P hand = P(18, 33)) {
    f.limb3(P(20, 24), elbow, hand, 3, kCoatShade);
    f.ellipse(hand, 1.2, 1.2, kSkin);
}

void frontArm(Figure &f, P elbow, P hand) {
    f.limb3(P(25, 24), elbow, hand, 3, kCoat);
    f.ellipse(hand, 1.3, 1.3, kSkin);
}

void holster(Figure &f) { f.poly(QPolygonF{P(26, 32), P(29, 32), P(29, 37), P(27, 38)}, kBoot); }

// --- effects, in cell coordinates --------------------------------------------

void drops(QPainter &p, std::initializer_list<std::pair<P, int>> list, QColor c = kBlood) {
    p.setPen(Qt::NoPen);
    for (auto &[at, size] : list) {
        p.setBrush(size > 1 ? c : kBloodDark);
        p.drawRect(QRectF(std::floor(at.x()), std::floor(at.y()), size, size));
    }
}

void spray(QPainter &p, P from, double angleDeg, double spread, int count, double length, unsigned seed) {
    unsigned s = seed;
    auto rnd = [&]() { s = s * 1103515245u + 12345u; return double((s >> 8) & 0xffff) / 65535.0; };
    p.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        double a = (angleDeg + (rnd() - 0.5) * spread) * M_PI / 180;
        double r = 2 + rnd() * length;
        P at = from + P(std::cos(a) * r, std::sin(a) * r);
        int size = r < length * 0.5 ? 2 : 1;
        p.setBrush(rnd() < 0.3 ? kBloodDark : kBlood);
        p.drawRect(QRectF(std::floor(at.x()), std::floor(at.y()), size, size));
    }
}

void pool(QPainter &p, double x0, double x1) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBloodDark);
    p.drawRect(QRectF(x0, 47, x1 - x0, 2));
    p.setBrush(kBlood);
    p.drawRect(QRectF(x0 + 2, 47, x1 - x0 - 4, 1));
}

// --- the nine poses ---------------------------------------------------------

void idle(QPainter &p) {
    Figure f;
    backArm(f);
    legs(f);
    coat(f);
    holster(f);
    head(f, P(23, 17));
    hat(f, P(23, 13));
    frontArm(f, P(27.5, 28.5), P(28, 32));
    pistol(f, P(28, 32), 100);
    f.render(p);
}

void aim(QPainter &p) {
    Figure f;
    backArm(f, P(18, 29), P(19, 33));
    legs(f, P(17, 47), P(28, 47), P(19, 41), P(26, 41));
    coat(f, 0.5);
    head(f, P(23.5, 17));
    hat(f, P(23.5, 13));
    frontArm(f, P(31, 23.5), P(36, 23));
    pistol(f, P(36, 23), 0);
    f.render(p);
}

// Death 1: hit in the face; he reels back and the blood sprays out behind.
void shotInFace(QPainter &p) {
    QTransform t = turnAbout(P(20, 47), -22);
    Figure f(t);
    backArm(f, P(14, 22), P(10, 18));
    legs(f, P(17, 47), P(27, 47), P(19, 41), P(26, 41));
    coat(f, -1);
    head(f, P(22, 17));
    frontArm(f, P(29, 20), P(32, 15));
    f.render(p);
    // The hat knocked off backwards, the pistol flung up.
    Figure loose;
    hat(loose, P(10, 13), -50);
    pistol(loose, P(37, 9), -120);
    loose.render(p);
    P h = t.map(P(20, 17));
    spray(p, h, 200, 70, 26, 13, 7);
    drops(p, {{h + P(-2, -1), 2}, {h + P(-5, 1), 2}, {h + P(-9, -3), 2}, {h + P(-12, 2), 1}});
    drops(p, {{P(9, 46), 2}, {P(12, 47), 2}, {P(6, 47), 1}});
}

// Death 2: hit in the body; he doubles up, blood spatters and the gun drops.
void spattered(QPainter &p) {
    QTransform t = turnAbout(P(22, 47), 12, P(0, 2));
    Figure f(t);
    backArm(f, P(21, 29), P(24, 33));
    legs(f, P(18, 47), P(26, 47), P(23, 42), P(28, 42));
    coat(f, 1);
    head(f, P(25, 18));
    hat(f, P(25, 14), 14);
    frontArm(f, P(29, 29), P(31, 33));
    f.render(p);
    Figure gun;
    pistol(gun, P(37, 42), 160);
    gun.render(p);
    P chest = t.map(P(24, 28));
    spray(p, chest, 180, 160, 30, 12, 3);
    drops(p, {{chest + P(-1, 0), 2}, {chest + P(1, 2), 2}, {chest + P(-3, 3), 2}});
    drops(p, {{P(31, 45), 1}, {P(33, 43), 1}, {P(38, 46), 1}});
    pool(p, 14, 30);
}

// Death 3: the head is blown clean off; the hat tumbles and blood fountains.
void headBlownOff(QPainter &p) {
    Figure f(turnAbout(P(22, 47), -6));
    backArm(f, P(16, 26), P(13, 29));
    legs(f, P(18, 47), P(27, 47), P(20, 41), P(26, 41));
    coat(f);
    f.limb(P(22.5, 21), P(22.5, 22.5), 3, kSkin); // the stump of the neck
    frontArm(f, P(29, 27), P(31, 30));
    pistol(f, P(31, 30), 80);
    f.render(p);
    Figure loose;
    hat(loose, P(36, 8), 35);
    loose.render(p);
    // A fountain: a column of blood that arcs over and rains down both sides.
    const P neck(21, 20);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 18; ++i) {
        double y = neck.y() - i;
        double w = i < 12 ? 2 : 3;
        p.setBrush(i % 4 == 3 ? kBloodDark : kBlood);
        p.drawRect(QRectF(neck.x() - w / 2 + std::sin(i * 0.7) * 0.6, y, w, 1));
    }
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < 12; ++i) {
            double a = i / 11.0 * M_PI * 0.9;
            P at(neck.x() + side * (2 + 9 * std::sin(a)), neck.y() - 18 + 16 * (1 - std::cos(a)) - 1);
            drops(p, {{at, i < 6 ? 2 : 1}});
        }
    drops(p, {{P(9, 30), 1}, {P(33, 26), 1}, {P(7, 38), 1}, {P(35, 35), 2}, {P(11, 22), 2}, {P(31, 18), 2}});
    pool(p, 12, 32);
}

// Death 4: a burst of blue and red streaks tears through him.
void burst(QPainter &p) {
    Figure f;
    backArm(f, P(15, 22), P(11, 19));
    legs(f, P(16, 47), P(29, 47), P(18, 41), P(27, 41));
    coat(f);
    head(f, P(23, 16.5));
    hat(f, P(23, 11), -8);
    frontArm(f, P(30, 22), P(34, 19));
    pistol(f, P(34, 19), -50);
    f.render(p);
    auto zigzag = [&](std::initializer_list<P> pts, QColor c, double w) {
        p.setPen(QPen(c, w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawPolyline(QPolygonF(QList<P>(pts)));
    };
    zigzag({P(3, 14), P(12, 21), P(9, 24), P(22, 30), P(19, 33), P(34, 40), P(44, 43)}, kBlueBolt, 2);
    zigzag({P(46, 12), P(36, 19), P(39, 22), P(25, 27), P(28, 30), P(13, 37), P(4, 41)}, kRedBolt, 2);
    zigzag({P(8, 8), P(16, 14), P(14, 17), P(24, 22)}, kBlueBolt, 1);
    zigzag({P(40, 33), P(33, 35), P(35, 37), P(28, 40)}, kRedBolt, 1);
    drops(p, {{P(12, 44), 1}, {P(33, 45), 1}, {P(35, 42), 1}});
    pool(p, 9, 37);
}

// Death 5: thrown over backwards, flat out in the air, in a spray of blood.
void thrownBack(QPainter &p) {
    QTransform t = turnAbout(P(22, 30), -100, P(2, 1));
    Figure f(t);
    backArm(f, P(15, 20), P(11, 16));
    legs(f, P(14, 44), P(31, 42), P(17, 40), P(27, 38));
    coat(f, -1);
    head(f, P(22, 17));
    frontArm(f, P(30, 20), P(34, 16));
    f.render(p);
    Figure loose;
    hat(loose, P(8, 45), -25);
    pistol(loose, P(40, 9), -160);
    loose.render(p);
    P chest = t.map(P(24, 27));
    spray(p, chest, -110, 90, 36, 16, 11);
    spray(p, chest, 160, 50, 14, 11, 5);
    drops(p, {{P(18, 46), 2}, {P(23, 47), 1}, {P(28, 46), 2}, {P(14, 47), 1}});
}

// Fouled: down on one knee, head hung, lines of gloom above.
void kneel(QPainter &p) {
    Figure f;
    const P d(1, 8); // the whole upper body sinks
    f.limb3(P(21, 35) + d, P(18, 46), P(12, 45), 3, kTrousers);
    boot(f, P(10, 47));
    f.limb3(P(24, 35) + d, P(29, 41), P(29, 45), 3, kTrousers);
    boot(f, P(29, 47));
    f.limb3(P(20, 24) + d, P(21, 30) + d, P(24, 35) + d, 3, kCoatShade);
    f.poly(QPolygonF{P(20, 22) + d, P(28, 23) + d, P(30, 31) + d, P(31, 38) + d, P(24, 37) + d, P(15, 39) + d, P(18, 31) + d}, kCoat);
    head(f, P(27, 19) + d, false);
    f.dot(P(29.5, 20) + d, QColor(20, 12, 8));
    hat(f, P(27.5, 15) + d, 28);
    f.limb3(P(26, 25) + d, P(29, 31) + d, P(31, 36) + d, 3, kCoat);
    f.ellipse(P(31, 36) + d, 1.3, 1.3, kSkin);
    f.render(p);
    Figure gun;
    pistol(gun, P(35, 45), 10);
    gun.render(p);
    p.setPen(QPen(kGloom, 1));
    for (int i = 0; i < 5; ++i) {
        double x = 20 + i * 3;
        double top = 2 + (i % 2) * 2;
        p.drawLine(QPointF(x, top), QPointF(x, top + 7 - (i % 2)));
    }
}

// The winner: standing tall, pistol raised beside his face, smoke curling up.
void victory(QPainter &p) {
    Figure f;
    backArm(f, P(18, 29), P(20, 33));
    legs(f, P(18, 47), P(27, 47));
    coat(f);
    holster(f);
    head(f, P(23, 17));
    hat(f, P(23, 13), -6);
    frontArm(f, P(30, 26), P(30, 19));
    pistol(f, P(30, 19), -90);
    f.render(p);
    P m = muzzle(P(30, 19), -90);
    p.setPen(Qt::NoPen);
    const P wisp[] = {{0, -1}, {1, -2}, {1, -3}, {0, -4}, {-1, -5}, {-1, -6}, {0, -7}, {1, -8}, {2, -9}, {2, -10}, {1, -11}};
    int i = 0;
    for (const P &w : wisp) {
        p.setBrush(i++ < 6 ? kSmoke : kSmoke.lighter(115));
        p.drawRect(QRectF(std::floor(m.x() + w.x()), std::floor(m.y() + w.y() - 1), 1, 1));
    }
}

} // namespace

QStringList poseNames() {
    return {"idle", "aim", "face shot", "body shot", "head off",
            "streak burst", "thrown back", "kneel (foul)", "victory"};
}

QImage makeSpriteSheet() {
    QImage sheet(450, 100, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    void (*poses[])(QPainter &) = {idle, aim, shotInFace, spattered, headBlownOff, burst, thrownBack, kneel, victory};
    for (int c = 0; c < 9; ++c) {
        QImage cell(50, 50, QImage::Format_RGB32);
        cell.fill(Qt::white);
        {
            QPainter p(&cell);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setClipRect(0, 0, 50, 50);
            poses[c](p);
        }
        // The outermost ring of every cell stays white ground.
        for (int i = 0; i < 50; ++i) {
            cell.setPixel(i, 0, 0xffffffff);
            cell.setPixel(i, 49, 0xffffffff);
            cell.setPixel(0, i, 0xffffffff);
            cell.setPixel(49, i, 0xffffffff);
        }
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 50; ++x) {
                sheet.setPixel(c * 50 + x, y, cell.pixel(x, y));
                sheet.setPixel(c * 50 + 49 - x, 50 + y, cell.pixel(x, y));
            }
    }
    return sheet;
}

QImage makeIcon() {
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, false);
    // The head and hat of the idle pose, scaled up to fill the icon.
    p.translate(16, 16.5);
    p.scale(1.45, 1.45);
    p.translate(-23.5, -14.5);
    Figure f;
    f.poly(QPolygonF{P(19, 22), P(27, 22), P(28, 25), P(18, 25)}, kCoat);
    head(f, P(23, 17));
    hat(f, P(23, 13));
    f.render(p);
    p.end();
    return icon;
}

} // namespace mkmedia
