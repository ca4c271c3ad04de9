// SPDX-License-Identifier: MIT
// A scripted stand-in for the window: it remembers what the stage shows
// (which cell stands in each slot, which banner is up), the menu marks, the
// timer, every sound started and every box opened, in the order they came.
#pragma once

#include "duel/duel.h"
#include "platform/platform.h"
#include "sound/sound_ids.h"
#include "window/menu.h"

#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::testing {

struct PlatformError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline const char *BannerName(Holder h) {
    switch (h) {
    case Holder::Image2: return "KILL";
    case Holder::Image3: return "Ready?";
    case Holder::Image4: return "BUNG!!";
    case Holder::Image5: return "1P WIN!";
    case Holder::Image6: return "2P WIN!";
    case Holder::Image8: return "1P FALL";
    case Holder::Image9: return "2P FALL";
    default: return "?";
    }
}

using Cell = std::pair<int, int>; // (column, row)

inline std::vector<std::uint8_t> ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class FakePlatform : public Platform {
public:
    FakePlatform() {
        for (int id : kSoundIds)
            resources[id] = ReadFile(std::string(TARVO_ASSETS_DIR) + "/" + std::to_string(id) + ".wav");
        // The menu's items as the window makes them from its table.
        for (const MenuEntry &e : kMenu)
            if (e.item) {
                enabled[*e.item] = true;
                checked[*e.item] = e.checked;
            }
    }

    // What the stage shows.
    Cell slot1P{-1, -1}, slot2P{-1, -1};
    std::optional<Holder> banner;
    std::map<MenuItem, bool> enabled, checked;
    bool timerOn = true;
    int timerRestarts = 0;
    bool closed = false;

    // What happened, in order: "banner KILL", "cell 1P 1,0", "sound 104", ...
    std::vector<std::string> log;
    std::vector<int> sounds;
    std::vector<std::pair<std::u16string, std::u16string>> boxes;
    std::map<int, std::vector<std::uint8_t>> resources;

    // Chance: scripted values first, then the real generator if allowed.
    std::deque<double> draws;
    bool realChance = false;
    StdRandom real;
    long drawsTaken = 0;

    void script(std::initializer_list<std::pair<int, int>> values) { // (value, n) pairs
        for (auto [v, n] : values) draws.push_back((v + 0.5) / n);
    }

    bool started() const { return !enabled.at(MenuItem::Start); }
    std::string bannerName() const { return banner ? BannerName(*banner) : "none"; }
    void clearLog() { log.clear(); sounds.clear(); }

    void DrawCell(int x1, int y1, int x2, int y2) override {
        if (y1 != 50 || (x1 != 0 && x1 != 150) || x2 % 50 || y2 % 50 || x2 < 0 || x2 > 400 || y2 < 0 || y2 > 50)
            throw std::logic_error("DrawCell outside the slots or the sheet");
        Cell c{x2 / 50, y2 / 50};
        (x1 == 0 ? slot1P : slot2P) = c;
        log.push_back(std::string("cell ") + (x1 == 0 ? "1P " : "2P ") + std::to_string(c.first) + "," +
                      std::to_string(c.second));
    }
    void SetBanner(Holder h) override {
        banner = h;
        log.push_back(std::string("banner ") + BannerName(h));
    }
    bool BannerShows(Holder h) override { return banner && *banner == h; }
    bool Enabled(MenuItem item) override { return enabled.at(item); }
    void SetEnabled(MenuItem item, bool on) override {
        enabled.at(item) = on;
        if (item == MenuItem::Start) log.push_back(on ? "start enabled" : "start disabled");
    }
    bool Checked(MenuItem item) override { return checked.at(item); }
    void SetChecked(MenuItem item, bool on) override { checked.at(item) = on; }
    void SetTimer1Enabled(bool on) override {
        if (on && !timerOn) ++timerRestarts;
        timerOn = on;
    }
    void MessageBox(const std::u16string &text, const std::u16string &title) override { boxes.emplace_back(text, title); }
    double Random() override {
        ++drawsTaken;
        if (!draws.empty()) {
            double r = draws.front();
            draws.pop_front();
            return r;
        }
        if (realChance) return real.next();
        throw std::logic_error("a draw nobody scripted");
    }
    std::vector<std::uint8_t> LoadSoundResource(int id) override {
        auto it = resources.find(id);
        if (it == resources.end()) RaiseError("LoadSoundResource", "no sound " + std::to_string(id));
        return it->second;
    }
    void PlaySoundFromMemory(const std::uint8_t *image, std::size_t size) override {
        int id = 0;
        for (auto &[k, bytes] : resources)
            if (bytes.size() == size && std::equal(bytes.begin(), bytes.end(), image)) id = k;
        sounds.push_back(id);
        log.push_back("sound " + std::to_string(id));
    }
    void CloseWindow() override { closed = true; }
    [[noreturn]] void RaiseError(const std::string &operation, const std::string &reason) override {
        throw PlatformError(operation + ": " + reason);
    }
};

} // namespace tarvo::testing
