// SPDX-License-Identifier: MIT
#include "mkmedia.h"

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
const QColor kHair(52, 30, 16);
const QColor kMoustache(96, 54, 30);
const QColor kBandana(214, 164, 40);
const QColor kTrousers(70, 68, 84);
const QColor kBoot(46, 28, 16);
const QColor kSteel(186, 188, 202);
const QColor kSteelDark(104, 104, 120);
const QColor kBlood(232, 22, 22);
const QColor kBloodDark(132, 0, 8);
const QColor kSmoke(100, 100, 114);
const QColor kSmokeLight(176, 176, 190);
const QColor kShadow(196, 196, 196);
const QColor kGloom(56, 56, 176);
const QColor kCloud(84, 84, 120);
const QColor kBoltGlow(60, 140, 255);
const QColor kBoltCore(255, 255, 200);
const QColor kBoltAura(150, 200, 255);
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

// The long duster, shoulders to a hem at y 39, open at the front; kneeling
// gathers the hem up by `tuck`.
void coat(Figure &f, double tuck = 0) {
    const double h = 39 - tuck;
    f.poly(QPolygonF{P(19.5, 22.5), P(28.5, 22.5), P(30, 30), P(31.5, h - 0.5), P(26.5, h), P(24.5, h - 3), P(22.5, h),
                     P(16.5, h - 0.5), P(18, 30)}, kCoat);
    f.poly(QPolygonF{P(17.5, h - 1), P(19, 31), P(21, h - 1)}, kCoatShade, false);
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

// Short dark hair over the crown and the back of the head, shown when the
// hat is off, so the bare head stands apart from the coat.
void hair(Figure &f, P c) {
    f.poly(QPolygonF{c + P(-4.4, 1.5), c + P(-4.4, -2), c + P(-2.5, -4.6), c + P(1, -5), c + P(3.6, -3.2),
                     c + P(1.5, -2.6), c + P(-1.5, -2.2), c + P(-2.6, 1.5)}, kHair, false);
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
void pistol(Figure &f, P grip, double degrees, double scale = 1) {
    QTransform t = turnAbout(grip, degrees);
    t = QTransform::fromTranslate(-grip.x(), -grip.y()) * QTransform::fromScale(scale, scale) *
        QTransform::fromTranslate(grip.x(), grip.y()) * t;
    f.push(t);
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
    // The gun arm hangs a little clear of the coat, so the pistol hangs
    // against the ground behind him, barrel straight down.
    arm(f, kFrontShoulder, P(30, 29.5), P(32.5, 32.5));
    pistol(f, P(33, 33.5), 90, 1.2);
    hand(f, P(33, 33.5));
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
    // The free fist on the hip, elbow out.
    arm(f, kBackShoulder, P(13.5, 29.5), P(18, 33.5));
    standing(f);
    f.layer(1);
    f.ellipse(P(18, 33.5), 1.7, 1.7, kSkin);  // the fist
    // The pistol held up by the shoulder, just fired.
    const P grip(35, 22);
    arm(f, kFrontShoulder, P(31.5, 28), grip + P(0, 1.5));
    pistol(f, grip, -60);
    hand(f, grip + P(0, 0.5));
    f.render(p);
    // A grin under the moustache.
    for (int x = 26; x <= 28; ++x) px(p, P(x, 20), Qt::white);
    px(p, P(25, 20), kEye);
    px(p, P(29, 20), kEye);
    for (int x = 26; x <= 28; ++x) px(p, P(x, 21), kEye);
    // Smoke: a two-pixel wisp rising from the muzzle, curling back and
    // forth, into a round puff at the top.
    static const char *const smoke[] = {
        "..dd.dd...",
        ".dlldlld..",
        "dllllllld.",
        ".dlllllld.",
        "..ddllld..",
        "....ddd...",
        ".....dl...",
        "....dl....",
        "...dl.....",
        "...dl.....",
        "....dl....",
        ".....dl...",
    };
    const P m = muzzle(grip, -60);
    const int rows = int(std::size(smoke));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; smoke[r][c]; ++c)
            if (smoke[r][c] != '.')
                px(p, P(std::floor(m.x()) - 5 + c, std::floor(m.y()) - 1 - rows + r), smoke[r][c] == 'l' ? kSmokeLight : kSmoke);
}

// Death 1: a bullet in the face. Feet planted, body rocked back, the head
// snapped back, whole, with the hat knocked back on it, so it never reads as
// the headless pose; eyes screwed shut and teeth bared under the moustache,
// the bullet's splash red over his eye and nose; the blood bursts out of the
// back of his head and flies away behind him in clumps, away from the
// shooter; the gun arm flung out and down, the pistol still in his grip.
void shotInFace(QPainter &p) {
    const double snap = -30;
    Figure f;
    f.layer(0);
    standingLegs(f);
    f.push(turnAbout(kHip, -9));
    arm(f, kBackShoulder, P(16, 28), P(13, 31)); // flung back, low, clear of the spray
    hand(f, P(12.5, 31.5));
    coat(f);
    bandana(f);
    f.push(turnAbout(kNeck, snap));
    head(f, kHeadCentre, false);
    hair(f, kHeadCentre);
    // The hat knocked back on his head, about to go.
    hat(f, kHeadCentre + P(-1.5, -4.5), 8);
    f.pop();
    f.layer(1);
    // The gun arm flung out and down, the pistol still in his grip.
    arm(f, kFrontShoulder, P(31.5, 28.5), P(35, 31.5));
    pistol(f, P(35.5, 32.5), 65);
    hand(f, P(35.5, 32));
    const QTransform body = f.current();
    const QTransform skull = turnAbout(kNeck, snap) * body;
    const P back = skull.map(kHeadCentre + P(-4.5, -0.5));
    f.pop();
    f.render(p);
    // The spray leaves the back of the head under the brim, clear of it.
    spray(p, back + P(-2, 2), 192, 40, 12, 10, 7);
    clump(p, back + P(-2, 2), P(-1, 0), 3);
    clump(p, back + P(-6, 2), P(-1, 0.1), 2);
    // The face, pixel by pixel so it holds at its real size: an eye screwed
    // shut, a thick moustache and bared teeth in a grimace under it.
    auto along = [&](P a, P b, QColor c) {
        for (int i = 0; i <= 4; ++i) px(p, skull.map(a + (b - a) * (i / 4.0)), c);
    };
    const P c = kHeadCentre;
    along(c + P(1.2, -1), c + P(3.4, -1), kEye);
    along(c + P(0.6, 2.4), c + P(4.2, 2.4), kMoustache);
    along(c + P(0.6, 3.2), c + P(3.8, 3.2), kMoustache);
    along(c + P(1.6, 4.2), c + P(3.6, 4.2), Qt::white);
    along(c + P(1.6, 5.1), c + P(3.6, 5.1), kEye);
    // The bullet went in through his face: a bright splash over the eye and
    // the bridge of the nose, dark at its rim, and drops blown back out of
    // it towards the shooter.
    const P hit = skull.map(c + P(3.0, 0));
    static const char *const splash[] = {
        ".d.d.",
        "dbbbd",
        "bbbbbb",
        ".dbd.",
        "..d..",
    };
    for (int r = 0; r < 5; ++r)
        for (int k = 0; splash[r][k]; ++k)
            if (splash[r][k] != '.')
                px(p, P(std::floor(hit.x()) - 2 + k, std::floor(hit.y()) - 2 + r), splash[r][k] == 'b' ? kBlood : kBloodDark);
    clump(p, hit + P(4, -2), P(1, -0.4), 3);
    clump(p, hit + P(8, -4), P(1, -0.5), 2);
    clump(p, hit + P(6, 1), P(1, 0.2), 1);
    px(p, hit + P(10, -6), kBlood);
    pool(p, 11, 15, 3);
}

// Death 2: hit in the body. His knees buckle and he hunches over the wound,
// head dropped, hat still on; the near hand clutches his belly while blood
// bursts out of his chest towards the shooter; the gun arm is flung up
// behind him, the hand sprung open, and the pistol drops away below it,
// barrel first, with a clear gap of air between the fingers and the gun.
void spattered(QPainter &p) {
    Figure f;
    f.layer(0);
    leg(f, P(22, 36), P(25.5, 41), P(20, 47));
    leg(f, P(26, 36), P(30, 41), P(27, 47));
    f.push(turnAbout(kHip, 24, P(-2, 2.5)));
    const QTransform body = f.current();
    // The gun arm, on his far side, flung out behind him, the hand open.
    const P openHand(10, 13.5);
    arm(f, kBackShoulder, P(15, 20), body.inverted().map(openHand + P(1, 1)));
    coat(f);
    bandana(f);
    f.push(turnAbout(kNeck, 26));
    head(f, kHeadCentre, false);
    f.limb(kHeadCentre + P(1.5, -0.5), kHeadCentre + P(3, -0.5), 1, kEye, false); // eyes screwed shut
    f.limb(kHeadCentre + P(1, 3.1), kHeadCentre + P(4, 3.1), 1, kMoustache, false);
    f.dot(kHeadCentre + P(3, 4.2), kEye);                                         // mouth gasping
    hat(f, kHeadCentre + P(0, -3.5));
    f.pop();
    f.pop();
    hand(f, openHand);
    // The near hand clutches his belly under the wound in his chest.
    f.layer(1);
    const P clutch = body.map(P(29, 32.5));
    arm(f, body.map(kFrontShoulder), body.map(P(25, 31)), clutch + P(-1.5, 0.5));
    f.ellipse(clutch, 1.8, 1.6, kSkin);
    f.render(p);
    for (P d : {P(-2, -1), P(-1.5, -2.5), P(0, -2.5), P(1.5, -2)}) px(p, openHand + d, kSkin);
    // Blood bursts out of the chest towards the shooter, past the clutching
    // fingers, and runs down the coat.
    const P wound = body.map(P(30.5, 29));
    for (P d : {P(-1, 0), P(-1, 1), P(-2, 1), P(-1, 2), P(-2, 2), P(-1, 3)}) px(p, wound + d, kBlood);
    for (P d : {P(-2, 0), P(-3, 1), P(-2, 3), P(-1, 4)}) px(p, wound + d, kBloodDark);
    spray(p, wound, -10, 70, 16, 9, 3);
    clump(p, wound + P(1, 0), P(1, 0), 3);
    clump(p, wound + P(4, -2), P(1, -0.4), 3);
    clump(p, wound + P(4, 2), P(1, 0.4), 3);
    clump(p, wound + P(8, 0), P(1, 0), 2);
    clump(p, wound + P(8, -4), P(1, -0.5), 2);
    clump(p, wound + P(7, 4), P(1, 0.6), 2);
    for (P d : {P(-1, 2), P(-1, 3), P(0, 2)}) px(p, clutch + d, kBlood);
    for (P d : {P(-1, 4), P(-1, 5), P(-1.5, 7)}) px(p, clutch + d, kBloodDark);
    pool(p, 30, 35, 5);
    // The pistol dropping barrel-down behind him, well below the open hand,
    // with streaks of its fall above it.
    Figure gun;
    const P grip(10, 32);
    pistol(gun, grip, 100, 1.2);
    gun.render(p);
    for (P t : {P(5.5, 20), P(9.5, 19), P(13.5, 20.5)})
        for (int i = 0; i < 5; ++i) {
            px(p, t + P(0, i), i < 2 ? kSmokeLight : kSteelDark);
            px(p, t + P(1, i), i < 2 ? kSmokeLight : kSteelDark);
        }
}

// Death 3: the head blown off. The body still stands; a column of blood
// rises from the cut neck and breaks into falling drops; the hat falls
// beside him, well clear of where the head was.
void headBlownOff(QPainter &p) {
    Figure f;
    f.layer(0);
    standingLegs(f);
    arm(f, kBackShoulder, P(17, 29), P(15, 32));
    hand(f, P(14.5, 32.5));
    coat(f);
    f.limb(P(23.5, 21.5), P(23.5, 22.5), 7, kSkin); // the stump of the neck
    f.layer(1);
    arm(f, kFrontShoulder, P(30, 29), P(32, 32));
    pistol(f, P(32, 33), 80);
    hand(f, P(32, 32.5));
    f.render(p);
    Figure loose;
    hat(loose, P(39.5, 27), 45);
    loose.render(p);
    // The column: four to six pixels wide, a bright core between dark,
    // ragged edges, shooting up well above where the head was, so it reads
    // as a jet and not as a head.
    Rng r(21);
    for (int i = 0; i < 16; ++i) {
        const int y = 20 - i;
        const int half = i < 8 ? 1 : 2;
        const bool ragged = i >= 5;
        const int l = 23 - half - (ragged && r.next() < 0.3 ? 1 : 0), rt = 24 + half + (ragged && r.next() < 0.3 ? 1 : 0);
        px(p, P(l, y), kBloodDark);
        for (int x = l + 1; x < rt; ++x) px(p, P(x, y), kBlood);
        px(p, P(rt, y), kBloodDark);
    }
    // The cut across the stump, dark red either side of the jet.
    for (int x : {20, 21, 26, 27}) px(p, P(x, 19), kBloodDark);
    // At the top it breaks: clumps arc out both ways like a fountain and
    // fall as drops that shrink and part as they go, each bright with a dark
    // underside.
    auto drop = [&](P at, int size) {
        for (int dy = 0; dy < size; ++dy)
            for (int dx = 0; dx < size; ++dx)
                px(p, at + P(dx, dy), dy == size - 1 && dx > 0 ? kBloodDark : kBlood);
        if (size == 1) px(p, at + P(0, 1), kBloodDark);
    };
    for (auto [at, size] : std::initializer_list<std::pair<P, int>>{
             {P(22, 2), 3}, {P(19, 3), 3}, {P(25, 3), 3}, {P(16, 5), 2}, {P(29, 5), 2}, {P(14, 9), 2}, {P(32, 9), 2},
             {P(13, 14), 2}, {P(33, 14), 2}, {P(12, 20), 1}, {P(34, 20), 1}, {P(11, 26), 1}, {P(35, 26), 1}})
        drop(at, size);
    pool(p, 12, 19, 9);
    pool(p, 29, 34, 4);
}

// Death 4: struck by a burst of streaks. The jolt throws him rigid, arms
// and legs straight out, fingers spread, the hat jolted up and tilted on
// his head;
// bold bolts, white-hot in a blue or a red glow, run from two impact points
// on his chest and belly out along his limbs.
void burst(QPainter &p) {
    Figure f;
    f.layer(0);
    leg(f, P(22, 35), P(20, 41), P(17.5, 47));
    leg(f, P(26, 35), P(28, 41), P(30, 47));
    f.push(turnAbout(kHip, -8));
    arm(f, kBackShoulder, P(16, 21), P(12, 17));
    hand(f, P(11.5, 16.5));
    coat(f);
    bandana(f);
    f.push(turnAbout(kNeck, -10));
    head(f, kHeadCentre, false);
    // Eyes wide, mouth open in a yell.
    for (P e : {P(2, -1.5), P(2, -0.5), P(2, 0.5)}) f.dot(kHeadCentre + e, kEye);
    f.limb(kHeadCentre + P(1, 3.1), kHeadCentre + P(4, 3.1), 1, kMoustache, false);
    f.dot(kHeadCentre + P(2.5, 4.2), kEye);
    f.dot(kHeadCentre + P(3.5, 4.2), kEye);
    hat(f, kHeadCentre + P(0, -5.5), -10);
    f.pop();
    f.layer(1);
    arm(f, kFrontShoulder, P(32, 21), P(36, 17));
    hand(f, P(36.5, 16.5));
    const QTransform body = f.current();
    f.pop();
    // The whole figure glows: a rim of blue light around his outline.
    QImage fig(50, 50, QImage::Format_ARGB32);
    fig.fill(Qt::transparent);
    {
        QPainter fp(&fig);
        fp.setRenderHint(QPainter::Antialiasing, false);
        f.render(fp);
        const P backHand = body.map(P(11.5, 16.5)), frontHand = body.map(P(36.5, 16.5));
        for (P d : {P(-2, -1), P(-1, -2), P(-2, 1)}) px(fp, backHand + d, kSkin);
        for (P d : {P(2, -1), P(1, -2), P(2, 1)}) px(fp, frontHand + d, kSkin);
    }
    for (int y = 1; y < 49; ++y)
        for (int x = 1; x < 49; ++x)
            if (qAlpha(fig.pixel(x, y)) == 0 &&
                (qAlpha(fig.pixel(x - 1, y)) || qAlpha(fig.pixel(x + 1, y)) || qAlpha(fig.pixel(x, y - 1)) || qAlpha(fig.pixel(x, y + 1))) &&
                y < 45)
                px(p, P(x, y), kBoltAura);
    p.drawImage(0, 0, fig);
    Figure gun;
    pistol(gun, P(40, 9), -30);
    gun.render(p);
    // A bolt: a zigzag with a white-hot core in a blue glow; those down
    // the back leg burn red.
    std::vector<std::pair<QPolygonF, QColor>> bolts;
    auto zigzag = [&](P from, std::initializer_list<P> steps, QColor glow = kBoltGlow) {
        QPolygonF line{from};
        for (P s : steps) line << line.back() + s;
        bolts.push_back({line, glow});
    };
    const P chest = body.map(P(25, 27)), belly = body.map(P(23, 33));
    zigzag(chest, {{-3, -1}, {-1, -3}, {-4, -2}, {2, -1}, {-5, -3}});  // up the back arm
    zigzag(chest + P(-4, -1), {{1, -3}, {-2, -2}, {1, -3}});           // a fork towards the head
    zigzag(chest, {{3, -3}, {3, 1}, {1, -4}, {3, -1}, {1, -3}, {3, -1}}); // up the gun arm, out past the hand
    zigzag(belly, {{-2, 3}, {2, 2}, {-4, 3}, {1, 3}}, kBlood);         // down the back leg
    zigzag(belly + P(-3, 5), {{-3, 1}, {0, 3}}, kBlood);               // a fork
    zigzag(belly, {{3, 2}, {-1, 3}, {3, 1}});                          // into the front leg
    p.setBrush(Qt::NoBrush);
    for (int pass = 0; pass < 2; ++pass)
        for (const auto &[line, glow] : bolts) {
            p.setPen(QPen(pass == 0 ? glow : kBoltCore, pass == 0 ? 3 : 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            p.drawPolyline(line);
        }
    // The impact points: a white star in a yellow ring.
    for (P c : {chest, belly}) {
        for (P d : {P(-1, -1), P(1, -1), P(-1, 1), P(1, 1), P(-2, 0), P(2, 0), P(0, -2), P(0, 2)}) px(p, c + d, kSpark);
        for (P d : {P(0, 0), P(1, 0), P(-1, 0), P(0, 1), P(0, -1)}) px(p, c + d, Qt::white);
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
    hair(f, kHeadCentre);
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

// Fouled: down on one knee, the back shin flat on the ground, the other leg
// bent, the coat gathered up; his hat is gone, his bare head hung low with
// one hand spread over his face, the other hanging limp; a small cloud of
// gloom over him lets fall bold strokes of dismay; the pistol he fired too
// soon lies on the ground in front of him, smoke still rising from it.
void kneel(QPainter &p) {
    Figure f;
    const P drop(0, 5);                   // the upper body sinks with the hip
    const P hip = kHip + drop;
    const double slump = 2, hang = 56;
    f.layer(0);
    // Back leg: knee on the ground under the hip, shin and boot flat behind.
    f.limb3(hip + P(-2, 0), P(20.5, 45.5), P(13, 45.5), 3, kTrousers);
    f.poly(QPolygonF{P(7, 44), P(12, 44), P(13, 47), P(7, 47)}, kBoot);
    f.push(QTransform::fromTranslate(drop.x(), drop.y()));
    f.push(turnAbout(kHip, slump));
    arm(f, kBackShoulder, P(20.5, 30), P(21.5, 34));
    hand(f, P(21.5, 34.5));
    coat(f, 3);
    bandana(f);
    f.push(turnAbout(kNeck, hang));
    head(f, kHeadCentre, false);
    f.limb(kHeadCentre + P(1, 3.3), kHeadCentre + P(3.5, 3.8), 1, kMoustache, false);
    hair(f, kHeadCentre);
    f.pop();
    f.pop();
    f.pop();
    // Front leg, over the coat's flap: thigh forward, shin straight down.
    f.layer(1);
    leg(f, hip + P(2, -1), P(32.5, 38.5), P(30.5, 47));
    // The other arm comes up over everything, the hand spread over his face.
    f.layer(2);
    f.push(QTransform::fromTranslate(drop.x(), drop.y()));
    f.push(turnAbout(kHip, slump));
    const QTransform body = f.current();
    const P handAt = turnAbout(kNeck, hang).map(kHeadCentre + P(4.2, 0));
    arm(f, kFrontShoulder, P(31, 31), handAt + P(0.5, 2.5));
    f.ellipse(handAt, 2.4, 2.2, kSkin);
    f.pop();
    f.pop();
    f.render(p);
    // The gaps between his fingers, shaded, so the hand reads as a hand.
    const P h = body.map(handAt);
    for (P d : {P(0, -1), P(0, 0.5)}) px(p, h + d, kSkinShade);
    // The pistol he fired too soon, flat on the ground with its shadow, a
    // thin wisp of smoke still rising from its muzzle.
    p.setPen(Qt::NoPen);
    p.setBrush(kShadow);
    p.drawRect(QRectF(33, 47, 13, 1));
    Figure gun;
    const P grip(35, 44.5);
    pistol(gun, grip, 0, 1.25);
    gun.render(p);
    const P m = grip + P(10, -1.5);
    for (P at : {m + P(0, -1), m + P(1, -2), m + P(1, -3), m + P(0, -4)}) px(p, at, kSmoke);
    Figure puffs;
    puffs.ellipse(m + P(0.5, -6.5), 1.5, 1.4, kSmoke, false);
    puffs.ellipse(m + P(-0.5, -10), 2.2, 1.8, kSmokeLight, false);
    puffs.render(p);
    // A small dark cloud of gloom hangs over him, bold strokes of dismay
    // falling from it onto his bare head.
    Figure cloud;
    for (auto [c, rx, ry] : std::initializer_list<std::tuple<P, double, double>>{
             {P(22.5, 9), 2.2, 2}, {P(26.5, 7), 2.8, 2.6}, {P(31.5, 7.2), 2.6, 2.4}, {P(35.5, 9), 2, 1.8}, {P(29, 9.6), 7, 1.4}})
        cloud.ellipse(c, rx, ry, kCloud);
    cloud.render(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kGloom);
    for (int i = 0; i < 4; ++i) {
        const int x = 22 + i * 4, len = 4 - (i % 2);
        p.drawRect(QRectF(x, 13, 1.5, len));
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
    if (size == 16) {
        // At 16 pixels the eye falls under the brim and the moustache fades
        // into the cheek: both are set by hand, as a title bar shows them.
        icon.setPixel(9, 9, qRgb(0x1e, 0x12, 0x0a));
        for (int x = 8; x <= 10; ++x) icon.setPixel(x, 11, qRgb(0x3a, 0x24, 0x15));
    }
    return icon;
}

QImage makeTile(int size) {
    const QRgb sand = qRgb(0xf4, 0xe3, 0xc3);
    QImage tile(size, size, QImage::Format_RGB32);
    tile.fill(sand);
    // The head at a size whose every drawn pixel lies inside the circle;
    // mixed by hand (the head's edge is hard, but for any pixel it is not,
    // integer arithmetic gives the same bytes on every architecture).
    const int inner = size * 5 / 8, at = (size - inner) / 2;
    const QImage head = makeIcon(inner);
    for (int y = 0; y < inner; ++y)
        for (int x = 0; x < inner; ++x) {
            const QRgb c = head.pixel(x, y);
            const int a = qAlpha(c);
            const auto mix = [a](int over, int under) { return (over * a + under * (255 - a) + 127) / 255; };
            tile.setPixel(at + x, at + y, qRgb(mix(qRed(c), qRed(sand)), mix(qGreen(c), qGreen(sand)), mix(qBlue(c), qBlue(sand))));
        }
    return tile;
}

} // namespace mkmedia
