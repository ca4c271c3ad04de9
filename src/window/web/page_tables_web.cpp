// SPDX-License-Identifier: MIT
// Run with Node.js while the page is built: prints, as one JSON object, what
// the page's HTML is made with from the tables every front end shares:
//  - "menu": the menu bar's elements, from the menu table, so that the page
//    shows its menu bar as soon as its first bytes arrive, before the game's
//    WebAssembly has, and never moves the stage down when it comes;
//  - "keys": the browser's key names with the key codes the duel reads, the
//    modifier bits, and the players' triggers, which a tap on either half of
//    the stage stands for.
// publish.js puts both into index.html.
#include "platform/key_codes.h"
#include "window/menu.h"

#include <cstdio>
#include <string>

namespace {

using tarvo::MenuEntry;

std::string Utf8(const char16_t *text) {
    std::string out;
    for (const char16_t *p = text; p && *p; ++p) {
        char32_t c = *p;
        if (c >= 0xd800 && c < 0xdc00 && p[1] >= 0xdc00 && p[1] < 0xe000) c = 0x10000 + ((c - 0xd800) << 10) + (*++p - 0xdc00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xc0 | (c >> 6));
            out += char(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += char(0xe0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3f));
            out += char(0x80 | (c & 0x3f));
        } else {
            out += char(0xf0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3f));
            out += char(0x80 | ((c >> 6) & 0x3f));
            out += char(0x80 | (c & 0x3f));
        }
    }
    return out;
}

// Text as HTML shows it.
std::string Html(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Text as a JSON string.
std::string Json(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// Each title with its menu, its items in the table's order. An item carries
// its command number, its state (aria-disabled, aria-checked for a radio item)
// and its shortcut as the duel's key code and modifier bits.
std::string MenuBar() {
    std::string out;
    for (int t = 0; t < int(std::size(tarvo::kMenuTitles)); ++t) {
        out += "<div class=\"menu\"><button class=\"title\" role=\"menuitem\" aria-haspopup=\"true\" "
               "aria-expanded=\"false\" tabindex=\"-1\">" +
               Html(Utf8(tarvo::kMenuTitles[t])) + "</button><div class=\"items\" role=\"menu\" hidden>";
        for (const MenuEntry &e : tarvo::kMenu) {
            if (e.title != t) continue;
            if (e.kind == MenuEntry::Separator) {
                out += "<div class=\"separator\" role=\"separator\" id=\"" + Html(e.name) + "\"></div>";
                continue;
            }
            const bool radio = e.kind == MenuEntry::Radio;
            out += "<div class=\"item\" role=\"" + std::string(radio ? "menuitemradio" : "menuitem") + "\" data-id=\"" +
                   std::to_string(e.id) + "\" aria-disabled=\"false\"";
            if (radio) out += std::string(" aria-checked=\"") + (e.checked ? "true" : "false") + "\"";
            if (e.shortcut.key) out += " data-key=\"" + std::to_string(e.shortcut.key) + "\" data-mask=\"" + std::to_string(e.shortcut.mask) + "\"";
            out += " tabindex=\"-1\"><span>" + Html(Utf8(e.caption)) + "</span>";
            if (e.keyText) out += "<span class=\"key\">" + Html(Utf8(e.keyText)) + "</span>";
            out += "</div>";
        }
        out += "</div></div>";
    }
    return out;
}

// The key codes by the browser's names: KeyboardEvent.key's for named and
// function keys, KeyboardEvent.code's for letters and digits (which a held
// Shift or the keyboard's layout does not change).
std::string KeyNames() {
    std::string out;
    const auto add = [&out](const std::string &name, int code) {
        out += (out.empty() ? "" : ",") + Json(name) + ":" + std::to_string(code);
    };
#define TARVO_BROWSER_KEY(code, qt, browser) add(browser, code);
    TARVO_NAMED_KEYS(TARVO_BROWSER_KEY)
#undef TARVO_BROWSER_KEY
    add("AltGraph", 18); // the browser's own names for keys above
    add("OS", 91);
    for (char c = 'A'; c <= 'Z'; ++c) add(std::string("Key") + c, tarvo::LetterKey(c));
    for (int i = 0; i < 10; ++i) add(std::string("Digit") + char('0' + i), tarvo::kKey0 + i);
    for (int n = 1; n <= tarvo::kFunctionKeys; ++n) add("F" + std::to_string(n), tarvo::FunctionKey(n));
    return "{" + out + "}";
}

} // namespace

int main() {
    using namespace tarvo;
    std::printf("{\"menu\":%s,\n\"keys\":{\"names\":%s,\"shift\":%d,\"ctrl\":%d,\"alt\":%d,"
                "\"trigger1P\":[%d,%d],\"trigger2P\":[%d,%d]}}\n",
                Json(MenuBar()).c_str(), KeyNames().c_str(), kMaskShift, kMaskCtrl, kMaskAlt, kTrigger1P.key, kTrigger1P.mask, kTrigger2P.key, kTrigger2P.mask);
    return 0;
}
