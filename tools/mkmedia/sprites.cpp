#include "media.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>

// The duelist, drawn as crisp pixel art (no antialiasing) in 50 x 50 cells.
// Every pose is built facing right in a standing frame whose feet rest on the
// ground line y = 47 and whose standing centre is x = 24. Parts of the body
// turn about their joints (hip, neck) with nested transforms.
namespace mkmedia {
namespace {

const QColor kOutline(30, 18, 10);
const QColor kHat(68, 38, 18);
const QColor kHatBand(24, 14, 8);
const QColor kBrimLight(150, 102, 58);
const QColor kCoat(160, 104, 54);
const QColor kCoatShade(132, 84, 42);
const QColor kArm(110, 66, 32);
const QColor kSkin(242, 194, 150);
const QColor kSkinShade(206, 150, 110);
const QColor kEye(20, 12, 8);
const QColor kMoustache(96, 54, 30);
const QColor kBandana(214, 164, 40);
const QColor kTrousers(70, 68, 84);
const QColor kBoot(46, 28, 16);
const QColor kSteel(186, 188, 202);
const QColor kSteelDark(104, 104, 120);
const QColor kBlood(232, 22, 22);
const QColor kBloodDark(132, 0, 8);
const QColor kSmoke(132, 132, 142);
const QColor kSmokeLight(186, 186, 194);
const QColor kShadow(196, 196, 196);
const QColor kGloom(56, 56, 176);
const QColor kBlueBolt(30, 90, 255);
const QColor kRedBolt(255, 40, 40);
const QColor kSpark(255, 236, 120);

using P = QPointF;

QTransform turnAbout(P pivot, double degrees, P shift = P(0, 0)) {
    QTransform t;
    t.translate(pivot.x() + shift.x(), pivot.y() + shift.y());
    t.rotate(degrees);
    t.translate(-pivot.x(), -pivot.y());
    return t;
}

// One figure: shapes in layers. Each layer is drawn twice, first every shape
// grown by a pixel in the outline colour, then filled, so every part gets a
// dark rim and a part in a later layer (an arm across the coat) keeps its rim.
class Figure {
public:
    explicit Figure(QTransform t = {}) { stack_.push_back(t); }

    // Later shapes are placed by t inside the current frame.
    void push(QTransform t) { stack_.push_back(t * stack_.back()); }
    void pop() { stack_.pop_back(); }
    void layer(int l) { layer_ = l; }

    void limb(P a, P b, double width, QColor c, bool outline = true) { add(Limb, {a, b}, width, c, outline); }
    void limb3(P a, P b, P d, double width, QColor c) { limb(a, b, width, c); limb(b, d, width, c); }
    void poly(QPolygonF pts, QColor c, bool outline = true) { add(Poly, pts, 0, c, outline); }
    void ellipse(P c, double rx, double ry, QColor col, bool outline = true) {
        QPolygonF pts;
        for (int i = 0; i < 24; ++i) {
            double a = i * 2 * M_PI / 24;
            pts << c + P(std::cos(a) * (rx + 0.3), std::sin(a) * (ry + 0.3));
        }
        poly(pts, col, outline);
    }
    void dot(P at, QColor c) { add(Dot, {at}, 0, c, false); }

    void render(QPainter &p) const {
        const QTransform base = p.worldTransform();
        std::map<int, std::vector<const Shape *>> layers;
        for (const auto &s : shapes_) layers[s.layer].push_back(&s);
        for (const auto &[l, shapes] : layers)
            for (int pass = 0; pass < 2; ++pass)
                for (const Shape *s : shapes) {
                    if (pass == 0 && !s->outline) continue;
                    const QColor c = pass == 0 ? kOutline : s->colour;
                    p.setWorldTransform(s->t * base);
                    switch (s->kind) {
                    case Limb:
                        p.setPen(QPen(c, s->width + (pass == 0 ? 2 : 0), Qt::SolidLine, Qt::RoundCap));
                        p.drawLine(s->pts[0], s->pts[1]);
                        break;
                    case Poly:
                        p.setPen(pass == 0 ? QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) : QPen(c, 0.6));
                        p.setBrush(c);
                        p.drawPolygon(s->pts);
                        break;
                    case Dot:
                        if (pass == 1) {
                            const P d = s->t.map(s->pts[0]);
                            p.setWorldTransform(base);
                            p.setPen(Qt::NoPen);
                            p.setBrush(c);
                            p.drawRect(QRectF(std::floor(d.x()), std::floor(d.y()), 1, 1));
                        }
                        break;
                    }
                }
        p.setWorldTransform(base);
    }

    QTransform current() const { return stack_.back(); }

private:
    enum Kind { Limb, Poly, Dot };
    struct Shape { Kind kind; QPolygonF pts; double width; QColor colour; bool outline; int layer; QTransform t; };
    void add(Kind k, QPolygonF pts, double w, QColor c, bool outline) {
        shapes_.push_back({k, std::move(pts), w, c, outline, layer_, stack_.back()});
    }
    std::vector<QTransform> stack_;
    std::vector<Shape> shapes_;
    int layer_ = 0;
};

// --- body parts, in the standing frame -------------------------------------

const P kHip(24, 35);
const P kNeck(24, 22);
const P kHeadCentre(24.5, 16.5);

void boot(Figure &f, P heel) {
    f.poly(QPolygonF{heel + P(-1, -3), heel + P(2, -3), heel + P(2, -1.5), heel + P(4.5, -1), heel + P(4.5, 0), heel + P(-1, 0)}, kBoot);
}

// A leg from the hip through the knee to the ankle, with its boot.
void leg(Figure &f, P hip, P knee, P heel) {
    f.limb3(hip, knee, heel + P(0.5, -2.5), 3, kTrousers);
    boot(f, heel);
}

void standingLegs(Figure &f) {
    leg(f, P(22, 35), P(21.5, 41), P(20, 47));
    leg(f, P(26, 35), P(26.5, 41), P(26, 47));
}

// The long duster, shoulders to a hem at y 39, open at the front.
void coat(Figure &f) {
    f.poly(QPolygonF{P(19.5, 22.5), P(28.5, 22.5), P(30, 30), P(31.5, 38.5), P(26.5, 39), P(24.5, 36), P(22.5, 39),
                     P(16.5, 38.5), P(18, 30)}, kCoat);
    f.poly(QPolygonF{P(17.5, 38), P(19, 31), P(21, 38)}, kCoatShade, false);
    f.limb(P(25.5, 29), P(25, 35), 1, kCoatShade, false);
}

void bandana(Figure &f) {
    f.poly(QPolygonF{kNeck + P(-3, -0.5), kNeck + P(3.5, -0.5), kNeck + P(1, 2.5)}, kBandana);
}

// The head, looking right; c is its centre.
void head(Figure &f, P c, bool face = true) {
    f.limb(c + P(-0.5, 4), c + P(-0.5, 6), 3, kSkin);     // neck
    f.ellipse(c, 4.2, 4.7, kSkin);
    f.poly(QPolygonF{c + P(3.8, -0.5), c + P(5.5, 1.2), c + P(3.8, 1.8)}, kSkin); // nose
    if (face) {
        f.dot(c + P(2.2, -0.8), kEye);
        f.dot(c + P(2.2, 0.2), kEye);
        f.limb(c + P(1, 3.1), c + P(4, 3.1), 1, kMoustache, false);
        f.dot(c + P(-2.5, 0.5), kSkinShade);  // ear
        f.dot(c + P(-2.5, 1.5), kSkinShade);
    }
}

// The wide-brimmed hat; brimCentre is the middle of the brim, tilt in degrees.
void hat(Figure &f, P brimCentre, double tilt = 0) {
    f.push(turnAbout(brimCentre, tilt));
    const P b = brimCentre;
    f.poly(QPolygonF{b + P(-5, 0), b + P(-4.5, -6.5), b + P(-1.5, -8), b + P(0.5, -7), b + P(3, -8), b + P(5, -6.5), b + P(5, 0)}, kHat);
    f.poly(QPolygonF{b + P(-5, -2.2), b + P(5, -2.2), b + P(5, -0.6), b + P(-5, -0.6)}, kHatBand, false);
    f.poly(QPolygonF{b + P(-11, 0.8), b + P(-9, -0.8), b + P(9, -0.8), b + P(12, 0.8), b + P(9, 1.8), b + P(-9, 1.8)}, kHat);
    f.limb(b + P(-8.5, -0.3), b + P(9, -0.3), 0.8, kBrimLight, false);
    f.pop();
}

// The pistol held at grip, pointing along degrees (0: forward).
void pistol(Figure &f, P grip, double degrees) {
    f.push(turnAbout(grip, degrees));
    const P g = grip;
    f.poly(QPolygonF{g + P(-1.5, -2.2), g + P(8, -2.2), g + P(8, -0.6), g + P(2.5, -0.6), g + P(2.5, 0.6),
                     g + P(1, 0.6), g + P(0.5, 3.2), g + P(-2, 3.2), g + P(-1, -0.6)}, kSteel);
    f.limb(g + P(1.5, -1.7), g + P(7.5, -1.7), 0.6, kSteelDark, false);
    f.pop();
}

P muzzle(P grip, double degrees) { return turnAbout(grip, degrees).map(grip + P(8, -1.2)); }

void hand(Figure &f, P at) { f.ellipse(at, 1.3, 1.3, kSkin); }

void arm(Figure &f, P shoulder, P elbow, P wrist) {
    f.limb3(shoulder, elbow, wrist, 3, kArm);
}

const P kBackShoulder(20.5, 25);
const P kFrontShoulder(27, 25);

// --- effects, in cell coordinates --------------------------------------------

class Rng {
public:
    explicit Rng(unsigned seed) : s_(seed) {}
    double next() { s_ = s_ * 1103515245u + 12345u; return double((s_ >> 8) & 0xffff) / 65535.0; }
private:
    unsigned s_;
};

void px(QPainter &p, P at, QColor c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1));
}

// A clump of blood flying along (dx, dy): a bright head with a dark tail and rim.
void clump(QPainter &p, P at, P dir, int size) {
    const double len = std::hypot(dir.x(), dir.y());
    const P u = len > 0 ? dir / len : P(1, 0);
    if (size >= 3) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) px(p, at + P(dx, dy), std::abs(dx) + std::abs(dy) == 2 ? kBloodDark : kBlood);
        px(p, at - u * 2, kBloodDark);
    } else if (size == 2) {
        px(p, at, kBlood);
        px(p, at + P(u.x() > 0 ? 1 : -1, 0) * (std::abs(u.x()) > 0.4 ? 1 : 0) + P(0, std::abs(u.x()) > 0.4 ? 0 : (u.y() > 0 ? 1 : -1)), kBlood);
        px(p, at - u * 1.2, kBloodDark);
        px(p, at - u * 2.2, kBloodDark);
    } else {
        px(p, at, kBlood);
        px(p, at - u * 1.2, kBloodDark);
    }
}

// A directional spray: clumps that shrink with distance from the wound.
void spray(QPainter &p, P from, double angleDeg, double spread, int count, double length, unsigned seed) {
    Rng r(seed);
    for (int i = 0; i < count; ++i) {
        double a = (angleDeg + (r.next() - 0.5) * spread) * M_PI / 180;
        double d = 2 + r.next() * length;
        P dir(std::cos(a), std::sin(a));
        int size = d < length * 0.35 ? 3 : d < length * 0.75 ? 2 : 1;
        clump(p, from + dir * d, dir, size);
    }
}

// A puddle on the ground: an irregular blob two to three pixels high.
void pool(QPainter &p, double x0, double x1, unsigned seed) {
    Rng r(seed);
    for (int x = int(x0); x <= int(x1); ++x) {
        const bool edge = x == int(x0) || x == int(x1);
        px(p, P(x, 47), edge ? kBloodDark : kBlood);
        px(p, P(x, 48), kBloodDark);
        if (!edge && x > int(x0) + 1 && x < int(x1) - 1 && r.next() < 0.6) px(p, P(x, 46), r.next() < 0.5 ? kBlood : kBloodDark);
    }
}

// --- the nine poses ---------------------------------------------------------

// The standing figure shared by idle, aiming and victory: the same feet,
// coat, head and hat, so that changing pose never moves him.
void standing(Figure &f) {
    f.layer(0);
    standingLegs(f);
    coat(f);
    bandana(f);
    head(f, kHeadCentre);
    hat(f, kHeadCentre + P(0, -3.5));
}

void idle(QPainter &p) {
    Figure f;
    f.layer(0);
    arm(f, kBackShoulder, P(19, 30), P(19, 34));
    hand(f, P(19, 34.5));
    standing(f);
    f.layer(1);
    arm(f, kFrontShoulder, P(28.5, 30), P(29, 33));
    pistol(f, P(29, 34), 95);
    hand(f, P(29, 33.5));
    f.render(p);
}

void aim(QPainter &p) {
    Figure f;
    f.layer(0);
    arm(f, kBackShoulder, P(19, 30), P(19, 34));
    hand(f, P(19, 34.5));
    standing(f);
    f.layer(1);
    arm(f, kFrontShoulder, P(32, 24.5), P(37, 24.5));
    pistol(f, P(38, 24.5), 0);
    hand(f, P(38, 25));
    f.render(p);
}

void victory(QPainter &p) {
    Figure f;
    f.layer(0);
    arm(f, kBackShoulder, P(19, 30), P(19, 34));
    hand(f, P(19, 34.5));
    standing(f);
    f.layer(1);
    arm(f, kFrontShoulder, P(32, 24), P(33, 18));
    pistol(f, P(33, 17), -90);
    hand(f, P(33, 17.5));
    f.render(p);
    // Two pixels of smoke from the muzzle, curling over to the left.
    const P m = muzzle(P(33, 17), -90);
    const P path[] = {{0, 0}, {0, -1}, {1, -2}, {1, -3}, {1, -4}, {0, -5}, {-1, -6}, {-2, -6}, {-3, -7}, {-3, -8}, {-2, -9}, {-1, -9}};
    for (size_t i = 0; i < std::size(path); ++i) {
        const QColor c = i < 6 ? kSmoke : kSmokeLight;
        px(p, m + path[i] + P(0, -1), c);
        px(p, m + path[i] + P(1, -1), c);
    }
}

// Death 1: a bullet in the face. Feet planted, body still upright, only the
// head snapped back; the hat flies off and blood sprays out behind.
void shotInFace(QPainter &p) {
    Figure f;
    f.layer(0);
    standingLegs(f);
    f.push(turnAbout(kHip, -6));
    arm(f, kBackShoulder, P(15, 23), P(12, 19));
    hand(f, P(11.5, 18.5));
    coat(f);
    bandana(f);
    f.push(turnAbout(kNeck, -55));
    head(f, kHeadCentre);
    f.pop();
    f.layer(1);
    arm(f, kFrontShoulder, P(31, 23), P(35, 21));
    pistol(f, P(36, 20.5), -35);
    hand(f, P(36, 21));
    const P face = f.current().map(turnAbout(kNeck, -55).map(kHeadCentre + P(-3, 0)));
    f.pop();
    f.render(p);
    Figure loose;
    hat(loose, P(11, 9), -35);
    loose.render(p);
    spray(p, face, 200, 50, 22, 12, 7);
    clump(p, face + P(-2, -1), P(-1, 0), 3);
    clump(p, face + P(-5, 0), P(-1, 0.2), 3);
    pool(p, 12, 16, 3);
}

// Death 2: hit in the body. He doubles over clutching the wound; the pistol
// has left his open hand and is in the air on its way down.
void spattered(QPainter &p) {
    Figure f;
    f.layer(0);
    leg(f, P(22, 35), P(19.5, 41), P(19, 47));
    leg(f, P(26, 35), P(29, 40.5), P(28, 47));
    f.push(turnAbout(kHip, 28));
    coat(f);
    bandana(f);
    f.push(turnAbout(kNeck, 18));
    head(f, kHeadCentre);
    hat(f, kHeadCentre + P(0, -3.5));
    f.pop();
    f.layer(1);
    arm(f, kBackShoulder, P(21, 31), P(25, 31)); // clutching the belly
    hand(f, P(25.5, 31));
    arm(f, kFrontShoulder, P(30.5, 27), P(33, 26));  // the gun hand, flung open
    hand(f, P(33.5, 26));
    f.dot(P(35, 25.5), kSkin);
    const P wound = f.current().map(P(24, 30));
    f.pop();
    f.render(p);
    Figure gun;
    pistol(gun, P(39, 38), 60);
    gun.render(p);
    // Motion ticks above the falling pistol.
    for (P t : {P(38, 33), P(38, 34), P(41, 32), P(41, 33), P(44, 34)}) px(p, t, kSteelDark);
    spray(p, wound, 200, 60, 18, 11, 3);
    clump(p, wound + P(1, 1), P(0, 1), 3);
    clump(p, wound + P(-1, 4), P(0, 1), 2);
    pool(p, 13, 20, 5);
}

// Death 3: the head blown off. The body still stands; a thick column of
// blood rises from the neck and breaks into falling drops; the hat tumbles.
void headBlownOff(QPainter &p) {
    Figure f;
    f.layer(0);
    standingLegs(f);
    arm(f, kBackShoulder, P(17, 29), P(15, 32));
    hand(f, P(14.5, 32.5));
    coat(f);
    f.limb(P(23.5, 21.5), P(23.5, 22.5), 4, kSkin); // the stump of the neck
    f.layer(1);
    arm(f, kFrontShoulder, P(30, 29), P(32, 32));
    pistol(f, P(32, 33), 80);
    hand(f, P(32, 32.5));
    f.render(p);
    Figure loose;
    hat(loose, P(38, 12), 40);
    loose.render(p);
    // The column: three pixels wide, bright core, dark rims.
    const double cx = 23;
    for (int i = 0; i < 14; ++i) {
        const double y = 20 - i;
        const double x = cx + std::sin(i * 0.45) * 0.7;
        px(p, P(x - 1, y), kBloodDark);
        px(p, P(x, y), kBlood);
        px(p, P(x + 1, y), i % 3 == 1 ? kBloodDark : kBlood);
        if (i < 6) px(p, P(x + 2, y), kBloodDark);
    }
    // At the top it bursts and falls both ways in drops.
    clump(p, P(23, 5), P(0, -1), 3);
    clump(p, P(20, 6), P(-1, -0.5), 3);
    clump(p, P(27, 6), P(1, -0.5), 3);
    const P falls[] = {{17, 9}, {15, 14}, {14, 20}, {13, 26}, {30, 9}, {32, 15}, {33, 21}, {11, 30}, {35, 27}};
    for (size_t i = 0; i < std::size(falls); ++i) clump(p, falls[i], P((falls[i].x() < 24 ? -0.4 : 0.4), 1), i < 4 || (i > 3 && i < 7) ? 2 : 1);
    pool(p, 12, 19, 9);
    pool(p, 29, 34, 4);
}

// Death 4: struck by a burst of streaks. He recoils, arms thrown wide;
// blue and red streaks crackle out from two impact points on his body.
void burst(QPainter &p) {
    Figure f;
    f.layer(0);
    leg(f, P(22, 35), P(20, 41), P(18, 47));
    leg(f, P(26, 35), P(28.5, 41), P(29, 47));
    f.push(turnAbout(kHip, -12));
    arm(f, kBackShoulder, P(15, 21), P(11, 17));
    hand(f, P(10.5, 16.5));
    coat(f);
    bandana(f);
    f.push(turnAbout(kNeck, -15));
    head(f, kHeadCentre);
    hat(f, kHeadCentre + P(0, -3.5));
    f.pop();
    f.layer(1);
    arm(f, kFrontShoulder, P(32, 21), P(36, 17));
    hand(f, P(36.5, 16.5));
    const QTransform body = f.current();
    f.pop();
    f.render(p);
    Figure gun;
    pistol(gun, P(40, 9), -30);
    gun.render(p);
    // A streak: a one-pixel core in a pale glow of its own colour.
    std::vector<std::pair<QPolygonF, QColor>> streaks;
    auto zigzag = [&](P from, std::initializer_list<P> steps, QColor c) {
        QPolygonF line{from};
        for (P s : steps) line << line.back() + s;
        streaks.push_back({line, c});
    };
    const P chest = body.map(P(25, 27)), belly = body.map(P(23, 33));
    zigzag(chest, {{-3, -2}, {-1, -3}, {-3, -1}, {-2, -3}}, kBlueBolt);
    zigzag(chest, {{3, -1}, {1, -3}, {3, -1}}, kRedBolt);
    zigzag(chest, {{-2, 3}, {-3, 0}, {-1, 3}}, kRedBolt);
    zigzag(chest + P(1, 0), {{3, 2}, {0, 3}, {3, 1}}, kBlueBolt);
    zigzag(belly, {{-3, 1}, {-1, 3}, {-3, 1}}, kBlueBolt);
    zigzag(belly, {{3, 1}, {1, 3}, {3, 0}}, kRedBolt);
    zigzag(belly, {{0, 3}, {-2, 2}, {1, 3}}, kBlueBolt);
    p.setBrush(Qt::NoBrush);
    for (int pass = 0; pass < 2; ++pass)
        for (const auto &[line, c] : streaks) {
            const QColor glow = c == kBlueBolt ? QColor(170, 200, 255) : QColor(255, 180, 170);
            p.setPen(QPen(pass == 0 ? glow : c, pass == 0 ? 3 : 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            p.drawPolyline(line);
        }
    for (P c : {chest, belly}) {
        px(p, c, Qt::white);
        px(p, c + P(1, 0), kSpark);
        px(p, c + P(-1, 0), kSpark);
        px(p, c + P(0, 1), kSpark);
        px(p, c + P(0, -1), kSpark);
    }
    pool(p, 16, 21, 6);
    pool(p, 31, 34, 2);
}

// Death 5: thrown over backwards: the whole body in the air, tilted, feet
// up; his shadow on the ground below, the hat flying off on its own.
void thrownBack(QPainter &p) {
    // Shadow first, so the body flies above it.
    p.setPen(Qt::NoPen);
    p.setBrush(kShadow);
    p.drawRect(QRectF(13, 46, 22, 2));
    p.drawRect(QRectF(11, 46.5, 26, 1));
    Figure f(turnAbout(P(24, 30), -62, P(2, -3)));
    f.layer(0);
    leg(f, P(22, 35), P(19, 40), P(20, 46));
    leg(f, P(26, 35), P(29, 40), P(27, 46));
    arm(f, kBackShoulder, P(17, 20), P(16, 15));
    hand(f, P(16, 14.5));
    coat(f);
    bandana(f);
    head(f, kHeadCentre);
    f.layer(1);
    arm(f, kFrontShoulder, P(31, 21), P(34, 18));
    hand(f, P(34.5, 17.5));
    const P chest = f.current().map(P(25, 28));
    f.render(p);
    Figure loose;
    hat(loose, P(10, 40), -150);
    pistol(loose, P(42, 10), -130);
    loose.render(p);
    spray(p, chest, -80, 60, 18, 12, 11);
    clump(p, chest + P(0, -2), P(0, -1), 3);
    clump(p, chest + P(2, -4), P(0.3, -1), 3);
}

// Fouled: down on one knee, the other leg bent, shoulders slumped, head hung,
// strokes of dismay above him; the pistol lies on the ground.
void kneel(QPainter &p) {
    Figure f;
    const P drop(0, 4);                   // the upper body sinks with the hip
    const P hip = kHip + drop;
    f.layer(0);
    // Back leg: knee on the ground, shin and boot flat behind.
    f.limb3(hip + P(-2, 0), P(20, 45.5), P(14, 45.5), 3, kTrousers);
    f.poly(QPolygonF{P(9, 44), P(13, 44), P(14, 47), P(9, 47)}, kBoot);
    f.push(QTransform::fromTranslate(drop.x(), drop.y()));
    f.push(turnAbout(kHip, 14));
    arm(f, kBackShoulder, P(20, 30), P(21, 34));
    hand(f, P(21, 34.5));
    coat(f);
    bandana(f);
    f.push(turnAbout(kNeck, 38));
    head(f, kHeadCentre, false);
    f.dot(kHeadCentre + P(2.2, 0.5), kEye);
    f.limb(kHeadCentre + P(1, 3.3), kHeadCentre + P(3.5, 3.8), 1, kMoustache, false);
    hat(f, kHeadCentre + P(0, -3.5));
    f.pop();
    f.pop();
    f.pop();
    // Front leg, over the coat's flap: thigh forward, shin straight down.
    f.layer(1);
    leg(f, hip + P(2, -1), P(34, 38.5), P(33, 47));
    f.push(QTransform::fromTranslate(drop.x(), drop.y()));
    f.push(turnAbout(kHip, 14));
    const P knee = P(33.5, 37.5) - drop;
    const P handAt = turnAbout(kHip, 14).inverted().map(knee);
    arm(f, kFrontShoulder, P(28, 30), handAt + P(-1, 0));
    hand(f, handAt);
    f.pop();
    f.pop();
    f.render(p);
    Figure gun;
    pistol(gun, P(41, 44), -6);
    gun.render(p);
    p.setPen(QPen(kGloom, 1));
    for (int i = 0; i < 4; ++i) {
        const double x = 26 + i * 3, top = 3 + (i % 2) * 2;
        p.drawLine(QPointF(x, top), QPointF(x, top + 7 - (i % 2) * 2));
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

QImage makeIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, false);
    // The head and hat of the standing figure, filling the icon.
    const double s = size / 32.0 * 1.3;
    p.translate(size / 2.0, size * 0.53);
    p.scale(s, s);
    p.translate(-kHeadCentre.x() - 0.5, -kHeadCentre.y() + 1);
    Figure f;
    f.poly(QPolygonF{P(18.5, 22), P(29.5, 22), P(31, 27), P(17, 27)}, kCoat);
    bandana(f);
    head(f, kHeadCentre);
    hat(f, kHeadCentre + P(0, -3.5));
    f.render(p);
    p.end();
    return icon;
}

} // namespace mkmedia
