// SPDX-License-Identifier: MIT
// What the window's C++ calls in the page: each hands over to page.js.
mergeInto(LibraryManager.library, {
  tarvo_start: function () { TarvoPage.start(); },
  tarvo_menu_state: function (id) { return TarvoPage.menuState(id); },
  tarvo_menu_set: function (id, enabled, checked) { return TarvoPage.menuSet(id, enabled, checked); },
  tarvo_timer_enable: function (on) { TarvoPage.timer.enable(on !== 0); },
  tarvo_box: function (text, title) { return TarvoPage.box(UTF16ToString(text), UTF16ToString(title)); },
  tarvo_play: function (samples, bytes, rate, bits, channels) {
    TarvoPage.sound.play(HEAPU8.subarray(samples, samples + bytes), rate, bits, channels);
  },
  tarvo_present: function (pixels) { TarvoPage.present(pixels); },
  tarvo_end: function () { TarvoPage.end(); },
  tarvo_stop: function (message) { TarvoPage.stop(UTF8ToString(message)); },
});
