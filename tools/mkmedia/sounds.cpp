// SPDX-License-Identifier: MIT
#include "mkmedia.h"
#include "sound/sound_ids.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

// Every sound is synthesized here, sample by sample, from oscillators,
// filtered noise and envelopes. Output: PCM 8-bit unsigned mono, 22050 Hz.
namespace mkmedia {
namespace {

constexpr double kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Buffer = std::vector<double>;

class Noise {
public:
    explicit Noise(uint32_t seed) : s_(seed) {}
    double next() { s_ = s_ * 1664525u + 1013904223u; return double(s_ >> 8) / double(1u << 23) - 1.0; }
private:
    uint32_t s_;
};

struct OnePole {
    double a, z = 0;
    explicit OnePole(double cutoffHz) : a(1 - std::exp(-2 * kPi * cutoffHz / kRate)) {}
    double low(double x) { z += a * (x - z); return z; }
    double high(double x) { return x - low(x); }
};

double env(double t, double attack, double decay) {
    if (t < 0) return 0;
    double a = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    return a * std::exp(-t / decay);
}

void mix(Buffer &b, double at, double gain, const Buffer &src) {
    size_t start = size_t(at * kRate);
    for (size_t i = 0; i < src.size() && start + i < b.size(); ++i) b[start + i] += gain * src[i];
}

// A pistol shot: a sharp crack, a booming body, and two canyon echoes.
Buffer gunshot(double length, uint32_t seed, double size = 1.0) {
    Buffer b(size_t(length * kRate));
    Noise n(seed);
    OnePole body(1800 / size), crackHp(2500);
    double phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double noise = n.next();
        double crack = crackHp.high(noise) * env(t, 0, 0.004) * 1.4;
        double boom = body.low(noise) * env(t, 0.0005, 0.045 * size) * 3.0;
        double f = 45 + 90 * std::exp(-t / 0.03);
        phase += 2 * kPi * f / kRate;
        double thump = std::sin(phase) * env(t, 0.0008, 0.07 * size) * 0.8;
        b[i] = crack + boom + thump;
    }
    Buffer echo = b;
    mix(b, 0.11, 0.28, echo);
    mix(b, 0.23, 0.12, echo);
    return b;
}

// A wet splash of low noise.
Buffer splat(double length, uint32_t seed, double decay, double cutoff = 900) {
    Buffer b(size_t(length * kRate));
    Noise n(seed);
    OnePole lp(cutoff), lp2(cutoff * 1.5);
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double wobble = 0.6 + 0.4 * std::sin(2 * kPi * 23 * t + std::sin(2 * kPi * 7 * t));
        b[i] = lp2.low(lp.low(n.next())) * env(t, 0.004, decay) * 4.0 * wobble;
    }
    return b;
}

// A metal object hitting the floor: inharmonic partials that die quickly.
Buffer clank(double length, double pitch, double decay) {
    Buffer b(size_t(length * kRate));
    const double partials[] = {1.0, 1.59, 2.14, 2.83, 3.61};
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate, s = 0;
        for (int k = 0; k < 5; ++k) s += std::sin(2 * kPi * pitch * partials[k] * t + k) / (1 + k * 0.6);
        b[i] = s * env(t, 0.0005, decay / (1 + 0.3 * 0)) * 0.55;
    }
    return b;
}

// A spring's boing: a falling tone that wobbles.
Buffer boing(double length, double from, double to) {
    Buffer b(size_t(length * kRate));
    double phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate, u = t / length;
        double f = from * std::pow(to / from, u) * (1 + 0.12 * std::sin(2 * kPi * 14 * t));
        phase += 2 * kPi * f / kRate;
        b[i] = (std::sin(phase) + 0.3 * std::sin(2 * phase)) * env(t, 0.003, length * 0.45) * 0.8;
    }
    return b;
}

// A low body falling on boards.
Buffer thud(double length, uint32_t seed) {
    Buffer b(size_t(length * kRate));
    Noise n(seed);
    OnePole lp(400);
    double phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double f = 50 + 60 * std::exp(-t / 0.02);
        phase += 2 * kPi * f / kRate;
        b[i] = (std::sin(phase) * 1.2 + lp.low(n.next()) * 3) * env(t, 0.001, 0.06);
    }
    return b;
}

// Oscillators are built by additive synthesis and stop at the last harmonic
// below the Nyquist frequency, so no partial folds back down (no aliasing).
constexpr double kNyquist = kRate / 2;

// A sawtooth of at most `harmonics` partials; freq is its pitch in Hz.
double saw(double phase, double freq, int harmonics) {
    double s = 0;
    for (int k = 1; k <= harmonics && k * freq < kNyquist; ++k) s += std::sin(k * phase) / k;
    return s * 0.6;
}

// A square wave of amplitude `level`, with every odd harmonic below the
// Nyquist frequency.
double square(double phase, double freq, double level) {
    double s = 0;
    for (int k = 1; k * freq < kNyquist; k += 2) s += std::sin(k * phase) / k;
    return s * level * 4 / kPi;
}

Buffer sound101(size_t n) { // head blown off: a huge shot, a burst, a long gush
    Buffer b(n);
    mix(b, 0, 1.0, gunshot(0.6, 101, 1.5));
    mix(b, 0.02, 0.9, splat(0.3, 11, 0.05, 1400));
    Buffer gush(size_t(1.3 * kRate));
    Noise nz(77);
    OnePole lp(700), lp2(1100);
    for (size_t i = 0; i < gush.size(); ++i) {
        double t = i / kRate;
        double swell = std::min(1.0, t / 0.15) * std::exp(-std::max(0.0, t - 0.3) / 0.35);
        double gurgle = 0.55 + 0.45 * std::sin(2 * kPi * (9 + 3 * std::sin(2 * kPi * 1.3 * t)) * t);
        gush[i] = lp2.low(lp.low(nz.next())) * 4.5 * swell * gurgle;
    }
    mix(b, 0.12, 0.8, gush);
    mix(b, 1.25, 0.45, thud(0.25, 5)); // the hat lands
    return b;
}

Buffer sound102(size_t n) { // body hit: shot, spatter, the pistol clatters down
    Buffer b(n);
    mix(b, 0, 1.0, gunshot(0.4, 102));
    mix(b, 0.03, 0.8, splat(0.15, 21, 0.03, 1200));
    mix(b, 0.09, 0.5, splat(0.1, 22, 0.02, 1600));
    mix(b, 0.33, 0.55, clank(0.25, 820, 0.05));
    mix(b, 0.43, 0.35, clank(0.16, 900, 0.035));
    return b;
}

Buffer sound103(size_t n) { // the comic one: the pistol bounces and boings about
    Buffer b(n);
    mix(b, 0, 1.0, gunshot(0.4, 103));
    mix(b, 0.03, 0.8, splat(0.15, 31, 0.03, 1200));
    mix(b, 0.28, 0.5, clank(0.2, 820, 0.05));
    mix(b, 0.3, 0.75, boing(0.35, 520, 180));
    double at = 0.62, gap = 0.12, gain = 0.45;
    for (int i = 0; i < 5 && at < 0.95; ++i) {
        mix(b, at, gain, clank(0.08, 1000 + 90 * i, 0.02));
        at += gap; gap *= 0.62; gain *= 0.8;
    }
    return b;
}

Buffer sound104(size_t n) { // face hit: shot and a quick wet slap
    Buffer b(n);
    mix(b, 0, 1.0, gunshot(0.4, 104));
    mix(b, 0.025, 1.0, splat(0.2, 41, 0.04, 1000));
    return b;
}

Buffer sound105(size_t n) { // electric burst: zaps and a crackling buzz
    Buffer b(n);
    mix(b, 0, 1.0, gunshot(0.35, 105));
    Buffer buzz(size_t(0.72 * kRate));
    Noise nz(55);
    double ph = 0, zp = 0;
    for (size_t i = 0; i < buzz.size(); ++i) {
        double t = i / kRate;
        double f = 95 * (1 + 0.05 * nz.next());
        ph += 2 * kPi * f / kRate;
        double z = std::fmod(t, 0.09) / 0.09;             // repeating down-chirps
        zp += 2 * kPi * (2400 * std::pow(0.1, z)) / kRate;
        double crackle = (nz.next() > 0.93 ? nz.next() * 2.5 : 0);
        double e = std::min(1.0, t / 0.02) * (1 - t / 0.72);
        buzz[i] = (saw(ph, f, 12) * 0.9 + square(ph * 2, f * 2, 0.35) + std::sin(zp) * 0.45 + crackle) * e;
    }
    mix(b, 0.05, 0.7, buzz);
    return b;
}

Buffer sound106(size_t n) { // thrown back: shot, a whoosh, the body slams down
    Buffer b(n);
    mix(b, 0, 1.0, gunshot(0.4, 106));
    Buffer whoosh(size_t(0.35 * kRate));
    Noise nz(66);
    OnePole lp(600);
    for (size_t i = 0; i < whoosh.size(); ++i) {
        double t = i / kRate;
        lp.a = 1 - std::exp(-2 * kPi * (300 + 2500 * std::sin(kPi * t / 0.35)) / kRate);
        whoosh[i] = lp.low(nz.next()) * std::sin(kPi * t / 0.35) * 1.6;
    }
    mix(b, 0.08, 0.6, whoosh);
    mix(b, 0.44, 1.0, thud(0.25, 7));
    mix(b, 0.55, 0.35, thud(0.12, 8));
    return b;
}

Buffer sound107(size_t n) { // foul: a sad trombone, wah wah wah waaah
    Buffer b(n);
    const double notes[] = {233.1, 220.0, 207.7, 196.0};
    const double starts[] = {0, 0.22, 0.44, 0.66}, lens[] = {0.2, 0.2, 0.2, 0.42};
    for (int k = 0; k < 4; ++k) {
        Buffer note(size_t(lens[k] * kRate));
        OnePole lp(1400);
        double ph = 0;
        for (size_t i = 0; i < note.size(); ++i) {
            double t = i / kRate;
            double vib = k == 3 ? 1 + 0.025 * std::sin(2 * kPi * 6 * t) * std::min(1.0, t / 0.1) : 1;
            ph += 2 * kPi * notes[k] * vib / kRate;
            double wah = 0.5 + 0.5 * std::sin(kPi * std::min(1.0, t / lens[k]));
            double e = std::min(1.0, t / 0.004) * std::min(1.0, (lens[k] - t) / 0.03);
            note[i] = lp.low(saw(ph, notes[k] * vib, 10)) * e * (0.6 + 0.4 * wah) * 2.2;
        }
        mix(b, starts[k], 1.0, note);
    }
    return b;
}

Buffer sound108(size_t n) { // foul: a slide whistle falling all the way down, then a bonk
    Buffer b(n);
    double ph = 0;
    for (size_t i = 0; i < size_t(1.1 * kRate); ++i) {
        double t = i / kRate, u = t / 1.1;
        double f = 1500 * std::pow(180.0 / 1500, u) * (1 + 0.03 * std::sin(2 * kPi * 7 * t));
        ph += 2 * kPi * f / kRate;
        double e = std::min(1.0, t / 0.003) * std::min(1.0, (1.1 - t) / 0.05);
        b[i] += (std::sin(ph) + 0.15 * std::sin(3 * ph)) * e * 0.8;
    }
    mix(b, 1.1, 0.9, thud(0.28, 9));
    mix(b, 1.12, 0.3, clank(0.2, 300, 0.05));
    return b;
}

Buffer sound109(size_t n) { // foul: the quiz-show buzzer, twice, the second longer
    Buffer b(n);
    auto buzzer = [](double len, double f) {
        Buffer z(size_t(len * kRate));
        double p1 = 0, p2 = 0;
        for (size_t i = 0; i < z.size(); ++i) {
            double t = i / kRate;
            p1 += 2 * kPi * f / kRate;
            p2 += 2 * kPi * f * 1.013 / kRate;
            double sq = square(p1, f, 0.5) + square(p2, f * 1.013, 0.5);
            double e = std::min(1.0, t / 0.003) * std::min(1.0, (len - t) / 0.03);
            z[i] = sq * e * 0.7;
        }
        return z;
    };
    OnePole lp(2500);
    Buffer first = buzzer(0.38, 150), second = buzzer(0.82, 112);
    for (auto &v : first) v = lp.low(v);
    for (auto &v : second) v = lp.low(v);
    mix(b, 0, 1.0, first);
    mix(b, 0.5, 1.0, second);
    return b;
}

struct Entry { int id; uint32_t samples; uint32_t fileSize; Buffer (*make)(size_t); };
const Entry kBank[] = {
    {tarvo::kSoundHeadBlownOff, 34400, 34460, sound101},  {tarvo::kSoundBodyHit, 13230, 13288, sound102},
    {tarvo::kSoundBodyHitRare, 22050, 22108, sound103},   {tarvo::kSoundFaceHit, 8820, 8880, sound104},
    {tarvo::kSoundElectricBurst, 17640, 17700, sound105}, {tarvo::kSoundThrownBack, 15435, 15496, sound106},
    {tarvo::kSoundSadTrombone, 24255, 24316, sound107},   {tarvo::kSoundSlideWhistle, 30870, 30928, sound108},
    {tarvo::kSoundBuzzer, 30870, 30928, sound109},
};

// Keeps every peak inside the byte: straight up to 0.7, then a soft knee
// that never reaches 1. Tones stay below the knee, so they are not bent
// (a curve there would add harmonics above the Nyquist frequency).
double limit(double x) {
    const double knee = 0.7, a = std::abs(x);
    if (a <= knee) return x;
    return std::copysign(knee + (1 - knee) * std::tanh((a - knee) / (1 - knee)), x);
}

std::vector<uint8_t> toPcm8(Buffer b) {
    double mean = 0;
    for (double v : b) mean += v;
    mean /= double(b.size());
    for (double &v : b) v -= mean;
    double sq = 0;
    for (double v : b) sq += v * v;
    const double rms = std::sqrt(sq / double(b.size()));
    const double gain = 0.24 / rms;                 // every sound equally loud
    const size_t fade = size_t(0.02 * kRate);
    std::vector<uint8_t> out(b.size());
    for (size_t i = 0; i < b.size(); ++i) {
        double v = limit(b[i] * gain);
        if (i + fade >= b.size()) v *= double(b.size() - 1 - i) / double(fade);
        out[i] = uint8_t(std::clamp(std::lround(128 + 126 * v), 1L, 255L));
    }
    return out;
}

void put16(QByteArray &a, uint16_t v) { a.append(char(v & 0xff)); a.append(char(v >> 8)); }
void put32(QByteArray &a, uint32_t v) { for (int i = 0; i < 4; ++i) a.append(char((v >> (8 * i)) & 0xff)); }

} // namespace

QByteArray makeSound(int id) {
    for (const Entry &e : kBank) {
        if (e.id != id) continue;
        const std::vector<uint8_t> pcm = toPcm8(e.make(e.samples));
        const uint32_t pad = e.samples & 1;
        const uint32_t riffSize = 4 + (8 + 18) + (8 + 4) + 8 + e.samples + pad;
        QByteArray w;
        w.append("RIFF", 4); put32(w, riffSize); w.append("WAVE", 4);
        w.append("fmt ", 4); put32(w, 18);
        put16(w, 1); put16(w, 1); put32(w, 22050); put32(w, 22050); put16(w, 1); put16(w, 8); put16(w, 0);
        w.append("fact", 4); put32(w, 4); put32(w, e.samples);
        w.append("data", 4); put32(w, e.samples);
        w.append(reinterpret_cast<const char *>(pcm.data()), qsizetype(pcm.size()));
        if (pad) w.append(char(0));          // RIFF pad byte for an odd data length
        while (uint32_t(w.size()) < e.fileSize) w.append(char(0)); // trailing bytes after the RIFF chunk
        if (uint32_t(w.size()) != e.fileSize) throw std::logic_error("sound size mismatch");
        return w;
    }
    throw std::invalid_argument("no such sound id");
}

} // namespace mkmedia
