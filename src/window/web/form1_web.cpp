// SPDX-License-Identifier: MIT
#include "form1_web.h"

#include "formats/wav_image.h"
#include "media_web.h"
#include "window/media_table.h"
#include "window/menu.h"

#include <algorithm>
#include <cstring>

// What the page's script does for the window (page.js).
extern "C" {
void tarvo_start(); // the game runs: the page hands it events from now on
int tarvo_menu_state(int id);                 // bit 1 enabled, bit 2 checked; -1: no such item
int tarvo_menu_set(int id, int enabled, int checked); // -1 for "leave as it is"; 0 when there is no such item
void tarvo_timer_enable(int on);
int tarvo_box(const char16_t *text, const char16_t *title);
void tarvo_play(const std::uint8_t *samples, std::size_t bytes, int rate, int bits, int channels); // 0 bytes: only stop
void tarvo_present(const std::uint32_t *pixels);
void tarvo_end();
[[noreturn]] void tarvo_stop(const char *message);
}

namespace tarvo::on_web {

namespace {

constexpr std::uint32_t kWhite = 0xffffffffu;

int MenuId(MenuItem item) { return MenuEntryOf(item).id; }

} // namespace

Form1::Form1() : stage_(200 * 100, kWhite), screen_(200 * 100, kWhite) {
    // The holders keep their pictures, untouched, for the window's life.
    for (size_t i = 0; i < holders_.size(); ++i)
        if (const char *name = kHolderPictures[i]) holders_[i] = loadPicture((std::string(name) + ".bmp").c_str());
    // The menu bar is the page's own, written with it from the menu table
    // (page_tables.cpp), and so are the keys' names.
    duel_.Form_Load();
}

void Form1::Start() {
    SetTimer1Enabled(true);
    present();
    tarvo_start();
}

std::unique_ptr<BmpImage> Form1::loadPicture(const char *name) {
    auto picture = std::make_unique<BmpImage>();
    const Media *m = FindMedia(name);
    if (!m || !DecodeBmp8(m->bytes, m->size, *picture))
        RaiseError("LoadPicture", std::string("the built-in picture ") + name + (m ? " cannot be read" : " is missing"));
    return picture;
}

void Form1::Command(int id) {
    if (const MenuEntry *e = MenuEntryWithId(id)) Choose(*e->item, duel_, *this);
}

void Form1::present() {
    std::copy(stage_.begin(), stage_.end(), screen_.begin());
    if (image7_) std::copy(image7_->pixels.begin(), image7_->pixels.begin() + 200 * 50, screen_.begin());
    tarvo_present(screen_.data());
}

void Form1::DrawCell(int x1, int y1, int x2, int y2) {
    const BmpImage &sheet = *holders_[size_t(Holder::Image1)];
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
    const BmpImage *held = holders_[size_t(holder)].get();
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

} // namespace tarvo::on_web
