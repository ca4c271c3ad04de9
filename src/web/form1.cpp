// SPDX-License-Identifier: MIT
#include "form1.h"

#include "../dialogs/dialogs.h"
#include "../platform/wav_image.h"
#include "media.h"

#include <algorithm>
#include <cstring>

// What the page's script does for the window (page.js).
extern "C" {
int tarvo_menu_state(int id);                 // bit 1 enabled, bit 2 checked; -1: no such item
int tarvo_menu_set(int id, int enabled, int checked); // -1 for "leave as it is"; 0 when there is no such item
void tarvo_timer_enable(int on);
int tarvo_box(const char16_t *text, const char16_t *title);
void tarvo_play(const std::uint8_t *samples, std::size_t bytes, int rate, int bits, int channels); // 0 bytes: only stop
void tarvo_present(const std::uint32_t *pixels);
void tarvo_end();
[[noreturn]] void tarvo_stop(const char *message);
}

namespace tarvo::web {

namespace {

constexpr std::uint32_t kWhite = 0xffffffffu;

std::uint32_t Le32(const unsigned char *p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::int32_t Le32s(const unsigned char *p) { return std::int32_t(Le32(p)); }
std::uint16_t Le16(const unsigned char *p) { return std::uint16_t(p[0] | p[1] << 8); }

int MenuId(MenuItem item) {
    switch (item) {
    case MenuItem::Start: return 12;
    case MenuItem::Quit: return 13;
    case MenuItem::HumanVsHuman: return 15;
    case MenuItem::HumanVsMachine: return 16;
    case MenuItem::Rules: return 18;
    case MenuItem::Keys: return 19;
    case MenuItem::AboutOpponent: return 20;
    case MenuItem::Score: return 22;
    }
    return 0;
}

} // namespace

bool DecodeBmp8(const unsigned char *b, std::size_t size, Picture &out) {
    if (size < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const std::uint32_t offset = Le32(b + 10), header = Le32(b + 14);
    const std::int32_t width = Le32s(b + 18), height = Le32s(b + 22);
    const std::uint32_t colours = Le32(b + 46) == 0 ? 256 : Le32(b + 46);
    if (header < 40 || width <= 0 || height == 0 || width > 4096 || height > 4096 || height < -4096) return false;
    if (Le16(b + 28) != 8 || Le32(b + 30) != 0 || colours > 256) return false;
    const std::size_t rows = std::size_t(height < 0 ? -height : height), stride = (std::size_t(width) + 3) / 4 * 4;
    if (14 + std::size_t(header) + 4 * colours > offset || offset + stride * rows > size) return false;
    const unsigned char *palette = b + 14 + header;
    out.width = width;
    out.height = int(rows);
    out.pixels.assign(std::size_t(width) * rows, 0);
    for (std::size_t y = 0; y < rows; ++y) {
        const unsigned char *row = b + offset + stride * (height < 0 ? y : rows - 1 - y); // stored bottom-up
        for (std::size_t x = 0; x < std::size_t(width); ++x) {
            const unsigned i = row[x];
            if (i >= colours) return false;
            const unsigned char *c = palette + 4 * i; // blue, green, red, unused
            out.pixels[y * std::size_t(width) + x] = 0xff000000u | std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2];
        }
    }
    return true;
}

Form1::Form1() : stage_(200 * 100, kWhite), screen_(200 * 100, kWhite) {
    // The holders keep their pictures, untouched, for the window's life.
    holders_[size_t(Holder::Image1)] = loadPicture("sprites.bmp");
    holders_[size_t(Holder::Image2)] = loadPicture("kill.bmp");
    holders_[size_t(Holder::Image3)] = loadPicture("ready.bmp");
    holders_[size_t(Holder::Image4)] = loadPicture("bung.bmp");
    holders_[size_t(Holder::Image5)] = loadPicture("win1p.bmp");
    holders_[size_t(Holder::Image6)] = loadPicture("win2p.bmp");
    holders_[size_t(Holder::Image8)] = loadPicture("fall1p.bmp");
    holders_[size_t(Holder::Image9)] = loadPicture("fall2p.bmp");
    duel_.Form_Load();
}

void Form1::Start() {
    SetTimer1Enabled(true);
    present();
}

std::unique_ptr<Picture> Form1::loadPicture(const char *name) {
    auto picture = std::make_unique<Picture>();
    const Media *m = FindMedia(name);
    if (!m || !DecodeBmp8(m->bytes, m->size, *picture))
        RaiseError("LoadPicture", std::string("the built-in picture ") + name + (m ? " cannot be read" : " is missing"));
    return picture;
}

void Form1::Command(int id) {
    switch (id) {
    case 12: duel_.Start_Click(); break;
    case 13: duel_.Quit_Click(); break;
    case 15: duel_.HumanVsHuman_Click(); break;
    case 16: duel_.HumanVsMachine_Click(); break;
    case 18: Rules_Click(*this); break;
    case 19: Keys_Click(*this); break;
    case 20: AboutOpponent_Click(*this); break;
    case 22: Score_Click(*this, duel_.state); break;
    }
}

void Form1::present() {
    std::copy(stage_.begin(), stage_.end(), screen_.begin());
    if (image7_) std::copy(image7_->pixels.begin(), image7_->pixels.begin() + 200 * 50, screen_.begin());
    tarvo_present(screen_.data());
}

void Form1::DrawCell(int x1, int y1, int x2, int y2) {
    const Picture &sheet = *holders_[size_t(Holder::Image1)];
    if (x1 < 0 || y1 < 0 || x1 + 50 > 200 || y1 + 50 > 100 || x2 < 0 || y2 < 0 || x2 + 50 > sheet.width ||
        y2 + 50 > sheet.height)
        RaiseError("DrawCell", "a cell outside the sheet or the stage");
    for (int y = 0; y < 50; ++y)
        std::memcpy(&stage_[size_t((y1 + y) * 200 + x1)], &sheet.pixels[size_t((y2 + y) * sheet.width + x2)], 50 * 4);
    present();
}

void Form1::SetBanner(Holder holder) {
    image7_ = holders_[size_t(holder)].get();
    present();
}

bool Form1::BannerShows(Holder holder) {
    const Picture *held = holders_[size_t(holder)].get();
    return image7_ != nullptr && held != nullptr && image7_ == held;
}

bool Form1::Enabled(MenuItem item) {
    const int state = tarvo_menu_state(MenuId(item));
    if (state < 0) RaiseError("Enabled", "no menu item " + std::to_string(MenuId(item)));
    return state & 1;
}

void Form1::SetEnabled(MenuItem item, bool enabled) {
    if (!tarvo_menu_set(MenuId(item), enabled, -1)) RaiseError("SetEnabled", "no menu item " + std::to_string(MenuId(item)));
}

bool Form1::Checked(MenuItem item) {
    const int state = tarvo_menu_state(MenuId(item));
    if (state < 0) RaiseError("Checked", "no menu item " + std::to_string(MenuId(item)));
    return state & 2;
}

void Form1::SetChecked(MenuItem item, bool checked) {
    if (!tarvo_menu_set(MenuId(item), -1, checked)) RaiseError("SetChecked", "no menu item " + std::to_string(MenuId(item)));
}

void Form1::SetTimer1Enabled(bool enabled) { tarvo_timer_enable(enabled); }

void Form1::MessageBox(const std::u16string &text, const std::u16string &title) {
    // The page's box is modal, with one OK button; it takes the keys while
    // it is open, and the bout goes on behind it.
    if (!tarvo_box(text.c_str(), title.c_str())) RaiseError("MessageBox", "the page has no box to show");
}

std::vector<std::uint8_t> Form1::LoadSoundResource(int id) {
    const Media *m = FindMedia((std::to_string(id) + ".wav").c_str());
    if (!m) RaiseError("LoadSoundResource", "no built-in sound " + std::to_string(id));
    return std::vector<std::uint8_t>(m->bytes, m->bytes + m->size);
}

void Form1::PlaySoundFromMemory(const std::uint8_t *image, std::size_t size) {
    // The page gets the samples themselves, read here from the image as
    // stored, and fills the browser's audio buffer with them: no decoder of
    // the browser's is asked (WebKit's gives back nothing for an image with
    // bytes after its RIFF chunk, or with an odd data chunk and its pad byte,
    // both of which the sounds have). The page copies the samples before this
    // returns and stops the sound playing at once: these bytes are never read
    // again. An image that cannot be played only stops the sound playing.
    const auto wav = ParseWavImage(image, size);
    if (!wav) {
        tarvo_play(nullptr, 0, 0, 0, 0);
        return;
    }
    tarvo_play(image + wav->dataOffset, wav->dataSize, wav->sampleRate, wav->bitsPerSample, wav->channels);
}

void Form1::CloseWindow() { tarvo_end(); }

void Form1::RaiseError(const std::string &operation, const std::string &reason) {
    tarvo_stop((operation + ": " + reason).c_str());
}

} // namespace tarvo::web
