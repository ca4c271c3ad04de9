// SPDX-License-Identifier: MIT
// TARVO in a browser: the window, made once the page has loaded, and the
// events the page hands it (keys, menu commands, Timer1's ticks).
#include "form1_web.h"

#include <emscripten.h>

namespace {
tarvo::on_web::Form1 *form = nullptr;
}

extern "C" {
EMSCRIPTEN_KEEPALIVE void tarvo_key(int keyCode, int mask) {
    if (form) form->KeyDown(std::uint16_t(keyCode), std::uint16_t(mask));
}
EMSCRIPTEN_KEEPALIVE void tarvo_command(int id) {
    if (form) form->Command(id);
}
EMSCRIPTEN_KEEPALIVE void tarvo_tick() {
    if (form) form->Tick();
}
}

int main() {
    static tarvo::on_web::Form1 window; // lives as long as the page
    form = &window;
    window.Start();
    return 0; // the page goes on delivering events
}
