// SPDX-License-Identifier: MIT
// The page around the window, for what only the browser can do: the stage on
// its canvas at a whole scale, the menu bar (by mouse, keys and taps), the
// keys and taps that reach the game, Timer1 on a grid of performance.now(),
// the modal box, the sound through Web Audio, and the page's end. It runs as
// soon as the page's first part has arrived, while the game's WebAssembly
// still comes in after it (publish.js): the menu bar is in the page already,
// and works; the game takes the events from the moment it runs.
var TarvoPage = (function () {
  'use strict';
  const page = {};
  const byId = (id) => document.getElementById(id);
  const form = byId('form1'), canvas = byId('stage'), menubar = byId('menubar'), box = byId('box');
  // The key codes and modifier bits the game reads, by the browser's names
  // (written into the page from the game's key table: publish.js).
  const keys = JSON.parse(byId('keys').textContent);
  let running = false; // the game runs and takes events
  let stopped = false; // the game has ended or failed: nothing more reaches it
  const waiting = [];  // the commands chosen before it ran, in order

  // Hands an event to the game, once it runs and unless it has ended. A key
  // or a tap before it runs is for nothing; a menu command is carried out as
  // soon as it does.
  const game = {
    key: (code, mask) => { if (running && !stopped) Module._tarvo_key(code, mask); },
    command: (id) => { if (!running) waiting.push(id); else if (!stopped) Module._tarvo_command(id); },
    tick: () => { if (running && !stopped) Module._tarvo_tick(); },
  };
  page.start = function () {
    running = true;
    waiting.splice(0).forEach(game.command);
  };

  // --- The game's WebAssembly: it comes in the page's last part, as base64
  // in blocks of data that the browser parses without running, a block at a
  // time, so that the page stays free to paint and take input meanwhile.
  // Once all of it is there, its bytes are read out of the blocks and the
  // browser compiles them away from the page.
  Module.instantiateWasm = function (imports, receive) {
    const decode = Uint8Array.fromBase64 || ((text) => {
      const binary = atob(text), bytes = new Uint8Array(binary.length);
      for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
      return bytes;
    });
    const compile = () => {
      const blocks = Array.from(document.querySelectorAll('script[type="application/x-tarvo-wasm"]'), (b) => decode(b.textContent));
      const bytes = new Uint8Array(blocks.reduce((n, b) => n + b.length, 0));
      blocks.reduce((at, b) => (bytes.set(b, at), at + b.length), 0);
      WebAssembly.instantiate(bytes, imports).then((made) => receive(made.instance), (e) => finish('stopped', String(e)));
    };
    if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', compile);
    else compile();
    return {};
  };

  // --- The stage: 200 x 100 picture pixels, each drawn as a square of whole
  // device pixels, nearest neighbour, at the largest such scale that fits.
  const picture = document.createElement('canvas');
  picture.width = 200;
  picture.height = 100;
  let pixels = 0, framePending = false, drawnYet = false;
  function draw() {
    framePending = false;
    if (!pixels) return;
    const image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, 200 * 100 * 4), 200, 100);
    picture.getContext('2d').putImageData(image, 0, 0);
    const c = canvas.getContext('2d');
    c.imageSmoothingEnabled = false;
    c.drawImage(picture, 0, 0, canvas.width, canvas.height);
    // The moment the game is first seen, for whoever measures the page.
    if (!drawnYet) {
      drawnYet = true;
      if (performance.mark) performance.mark('tarvo-first-frame');
    }
  }
  // What a handler drew is shown at the next frame, once it has returned.
  page.present = function (at) {
    pixels = at;
    if (!framePending) {
      framePending = true;
      requestAnimationFrame(draw);
    }
  };
  function fit() {
    // The largest whole number of device pixels per picture pixel that the
    // page has room for: on a phone whose screen has three device pixels to
    // each of the page's, 390 of them wide, five (the stage 333 wide).
    // A phone's notch and rounded corners keep their safe margins (the
    // body's padding).
    const ratio = window.devicePixelRatio || 1, body = getComputedStyle(document.body);
    const wide = (document.documentElement.clientWidth - parseFloat(body.paddingLeft) - parseFloat(body.paddingRight)) * ratio;
    const high = (window.innerHeight - parseFloat(body.paddingTop) - menubar.offsetHeight) * ratio;
    const device = Math.max(1, Math.floor(Math.min(wide / 200, high / 100) + 1e-6));
    if (canvas.width !== 200 * device) {
      canvas.width = 200 * device;
      canvas.height = 100 * device;
    }
    canvas.style.width = form.style.width = 200 * device / ratio + 'px';
    canvas.style.height = 100 * device / ratio + 'px';
    draw();
  }
  window.addEventListener('resize', fit);

  // --- The menu bar, as the page was written with it from the game's menu
  // table: titles, items, their command numbers and shortcuts. Each item's
  // state lives in the item itself.
  const item = (id) => menubar.querySelector('[data-id="' + id + '"]');
  const isOn = (el, name) => el.getAttribute(name) === 'true';
  page.menuState = function (id) {
    const el = item(id);
    return el ? (isOn(el, 'aria-disabled') ? 0 : 1) | (isOn(el, 'aria-checked') ? 2 : 0) : -1;
  };
  page.menuSet = function (id, enabled, checked) {
    const el = item(id);
    if (!el) return 0;
    if (enabled >= 0) el.setAttribute('aria-disabled', enabled ? 'false' : 'true');
    if (checked >= 0) el.setAttribute('aria-checked', checked ? 'true' : 'false');
    return 1;
  };
  const titles = Array.from(menubar.querySelectorAll('.title'));
  const shortcuts = new Map(); // "CODE MASK" to the command id
  const itemsOf = (i) => Array.from(titles[i].nextElementSibling.querySelectorAll('.item'));
  let open = -1;         // the menu shown, or -1
  let current = 0;       // the title the keys are at
  let barActive = false; // the menu bar has the keyboard (after F10 or Alt)
  function showMenu(i) {
    titles.forEach((t, j) => {
      t.setAttribute('aria-expanded', String(i === j));
      t.classList.toggle('current', i === j || (i < 0 && barActive && j === current));
      t.nextElementSibling.hidden = i !== j;
    });
    open = i;
    if (i >= 0) {
      current = i;
      titles[i].focus();
    }
  }
  function leaveMenus() {
    barActive = false;
    showMenu(-1);
    if (document.activeElement && menubar.contains(document.activeElement)) document.activeElement.blur();
  }
  function choose(el) {
    if (isOn(el, 'aria-disabled')) return; // a grayed item cannot be chosen
    leaveMenus();
    game.command(Number(el.dataset.id));
  }
  titles.forEach((t, i) => {
    t.addEventListener('click', () => (open === i ? leaveMenus() : showMenu(i)));
    t.addEventListener('pointerenter', (e) => { if (open >= 0 && open !== i && e.pointerType === 'mouse') showMenu(i); });
  });
  menubar.querySelectorAll('.item').forEach((el) => {
    el.addEventListener('click', () => choose(el));
    el.addEventListener('pointerenter', () => el.focus());
    if (el.dataset.key) shortcuts.set(el.dataset.key + ' ' + el.dataset.mask, Number(el.dataset.id));
  });
  document.addEventListener('pointerdown', (e) => { if ((open >= 0 || barActive) && !menubar.contains(e.target)) leaveMenus(); });
  function enterBar() {
    barActive = true;
    current = 0;
    showMenu(-1);
    titles[0].focus();
  }
  // Keys while the menu bar has them, as a desktop's menu bar takes them:
  // arrows move, Enter (or Space) opens or chooses, Escape goes back.
  function menuKey(e) {
    e.preventDefault();
    const focusItem = (step) => {
      const list = itemsOf(open), k = list.indexOf(document.activeElement);
      list[k < 0 ? (step > 0 ? 0 : list.length - 1) : (k + step + list.length) % list.length].focus();
    };
    switch (e.key) {
    case 'ArrowLeft': case 'ArrowRight': {
      const i = (current + (e.key === 'ArrowLeft' ? -1 : 1) + titles.length) % titles.length;
      if (open >= 0) { showMenu(i); focusItem(1); } else { current = i; showMenu(-1); titles[i].focus(); }
      break;
    }
    case 'ArrowDown': case 'ArrowUp':
      if (open < 0) showMenu(current);
      focusItem(e.key === 'ArrowDown' ? 1 : -1);
      break;
    case 'Enter': case ' ':
      if (open >= 0 && document.activeElement.classList.contains('item')) choose(document.activeElement);
      else { showMenu(current); focusItem(1); }
      break;
    case 'Escape':
      if (open >= 0 && barActive) { showMenu(-1); titles[current].focus(); } else leaveMenus();
      break;
    case 'F10': case 'Alt': leaveMenus(); break;
    }
  }

  // --- Keys, as the game reads them. Every key pressed anywhere on the page
  // reaches the game, but for those the open box or the active menu bar
  // takes. The names: KeyboardEvent.key's for named and function keys,
  // KeyboardEvent.code's for letters and digits.
  const names = new Map(Object.entries(keys.names));
  const keyCode = (e) => (names.has(e.key) ? names.get(e.key) : names.get(e.code) || 0);
  let altAlone = false;
  window.addEventListener('keydown', (e) => {
    const mask = (e.shiftKey ? keys.shift : 0) | (e.ctrlKey ? keys.ctrl : 0) | (e.altKey ? keys.alt : 0);
    // The menu's shortcuts are the game's and not the browser's (Ctrl+S is
    // not Save, F12 not the developer tools).
    const shortcut = shortcuts.get(keyCode(e) + ' ' + mask) || 0;
    if (box.open) {
      // The box takes the keys while it is open; the shortcuts do nothing
      // then, as behind a program's box.
      if (shortcut) e.preventDefault();
      return;
    }
    if (stopped) return;
    if (barActive || open >= 0) { menuKey(e); return; }
    altAlone = e.key === 'Alt';
    if (shortcut) {
      e.preventDefault();
      if (page.menuState(shortcut) & 1) game.command(shortcut); // a grayed item's does nothing
      return;
    }
    if (e.key.startsWith('Arrow') || e.key === ' ' || e.key === 'F10') e.preventDefault(); // no scrolling
    game.key(keyCode(e), mask);
    if (e.key === 'F10' && !stopped) enterBar();
  });
  window.addEventListener('keyup', (e) => {
    if (e.key === 'Alt' && altAlone && !stopped && !box.open && open < 0) { e.preventDefault(); enterBar(); }
    altAlone = false;
  });

  // --- Taps on the stage: the left half fires for 1P, the right half for 2P,
  // each as that player's key.
  canvas.addEventListener('pointerdown', (e) => {
    if (e.pointerType !== 'touch' && e.pointerType !== 'pen') return;
    e.preventDefault();
    if (stopped || box.open) return;
    if (open >= 0 || barActive) leaveMenus();
    const r = canvas.getBoundingClientRect();
    const [code, mask] = e.clientX - r.left < r.width / 2 ? keys.trigger1P : keys.trigger2P;
    game.key(code, mask);
  });

  // --- Timer1: a tick every 100 ms on a fixed grid, counted from the moment
  // it is switched on, so that no error adds up from one tick to the next.
  // While the page is hidden the clock stands still: browsers then run
  // timers once a second at best, and nobody sees the banner. It goes on
  // from the same point once the page shows again.
  const timer = { on: false, due: 0, handle: 0, left: 100 };
  timer.schedule = function () {
    if (!timer.on || stopped || document.hidden) return;
    timer.handle = setTimeout(timer.fire, Math.max(0, timer.due - performance.now()));
  };
  timer.fire = function () {
    timer.handle = 0;
    const now = performance.now();
    if (now < timer.due - 1) { timer.schedule(); return; } // a timeout rounded short
    timer.due += 100;
    if (timer.due <= now) timer.due = now + 100; // after a stall of a whole interval, afresh
    timer.schedule();
    game.tick();
  };
  timer.enable = function (on) {
    clearTimeout(timer.handle);
    timer.handle = 0;
    timer.on = on;
    if (on) {
      timer.due = performance.now() + 100;
      timer.schedule();
    }
  };
  document.addEventListener('visibilitychange', () => {
    if (document.hidden) {
      timer.left = Math.max(0, timer.due - performance.now());
      clearTimeout(timer.handle);
      timer.handle = 0;
    } else if (timer.on && !timer.handle) {
      timer.due = performance.now() + Math.min(100, timer.left);
      timer.schedule();
    }
  });
  page.timer = timer;

  // --- The box: modal, one OK button; character 13 breaks the line.
  page.box = function (text, title) {
    if (!box || !box.showModal) return 0;
    byId('box-title').textContent = title;
    byId('box-text').textContent = text.replace(/\r\n?/g, '\n');
    if (!box.open) box.showModal();
    byId('box-ok').focus();
    return 1;
  };

  // --- Sound: one at a time, from the samples themselves (8- or 16-bit
  // PCM), put into an audio buffer here: no decoder of the browser's, no
  // waiting. The audio output is opened soon after the page has loaded, so
  // that it has settled long before the first sound (Firefox plays the first
  // moments of a newly opened output with skips), but never while the page
  // loads: in Chromium, making an output waits for the browser's audio
  // service, whose first start takes a few tenths of a second (with a sound
  // server or without), and the page would stand still that long. So the
  // page first asks for the list of the machine's devices, which starts that
  // service without holding the page up, and makes the output once the list
  // has come, in a moment of its own. Where the list cannot be asked for, the
  // first key or tap makes it. Most browsers let a page play only once the
  // player has pressed a key or tapped, and count different events for it
  // (Safari a touchend or a click, not a touchstart): each of them asks for
  // the sound to be let on, until it is.
  const sound = { context: null, playing: null, ready: false };
  function openOutput() {
    if (sound.context || stopped) return;
    try {
      const Context = window.AudioContext || window.webkitAudioContext;
      if (!Context) return;
      sound.context = new Context();
      // A moment of silence, so that the output opens as soon as it is let
      // play, not at the game's first sound.
      const hush = sound.context.createBufferSource();
      hush.buffer = sound.context.createBuffer(1, 2205, 22050);
      hush.connect(sound.context.destination);
      hush.start();
      restLater();
    } catch (e) {
      sound.context = null; // no sound output: the game plays on in silence
    }
  }
  function unlockSound() {
    if (!sound.context && sound.ready) openOutput();
    if (!sound.context) return;
    if (sound.context.state !== 'running') sound.context.resume().catch(() => {});
    restLater(); // someone is playing: the output stays
  }
  // Only Chromium's engines (the ones that tell navigator.userAgentData)
  // have such a service to start; elsewhere asking for the list would only
  // leave the browser watching for new cameras for as long as it runs.
  const soon = () => {
    sound.ready = true;
    if (document.readyState === 'complete') setTimeout(openOutput, 0);
    else window.addEventListener('load', () => setTimeout(openOutput, 0));
  };
  if (!navigator.userAgentData) soon();
  else if (window.isSecureContext && navigator.mediaDevices && navigator.mediaDevices.enumerateDevices)
    navigator.mediaDevices.enumerateDevices().catch(() => {}).then(soon);
  else sound.ready = true;
  for (const type of ['keydown', 'pointerdown', 'pointerup', 'touchend', 'click']) window.addEventListener(type, unlockSound, true);
  // An open output keeps the browser's audio thread running, a few % of a
  // core for as long as the page is open. Once nothing has sounded and no key
  // or tap has come for half a minute, or the page is hidden, it is let go;
  // the next key, tap or sound takes it up again. Not sooner: an output
  // taken up again plays its first moments with skips in some browsers
  // (Firefox), and a bout's sounds must be heard whole.
  let rest = 0;
  // Whatever state the output says it is in: one that could not be opened
  // (no sound server) says "suspended" from the start, while Firefox keeps
  // its graph running on a clock of its own, waking the page a hundred
  // times a second, until it is told to suspend.
  function letGo() {
    if (!sound.playing && sound.context) sound.context.suspend().catch(() => {});
  }
  function restLater() {
    clearTimeout(rest);
    rest = setTimeout(letGo, 30000);
  }
  document.addEventListener('visibilitychange', () => { if (document.hidden) letGo(); });
  function silence() {
    if (sound.playing) {
      try { sound.playing.stop(); } catch (e) { /* it had ended */ }
      sound.playing = null;
    }
  }
  // A new sound cuts off the one still playing, at once; no bytes (or any
  // the page cannot play) only stop it.
  sound.play = function (bytes, rate, bits, channels) {
    silence();
    openOutput(); // where no key or tap has made it yet: now, for the sound to be heard
    const context = sound.context, width = bits / 8, frames = Math.floor(bytes.length / width / channels);
    if (!context || stopped || frames < 1) return;
    let buffer;
    try {
      buffer = context.createBuffer(channels, frames, rate);
    } catch (e) {
      return; // a rate or a layout this browser cannot play: nothing is heard
    }
    for (let c = 0; c < channels; ++c) {
      const out = buffer.getChannelData(c);
      for (let i = 0, at = c * width; i < frames; ++i, at += channels * width)
        out[i] = width === 1 ? (bytes[at] - 128) / 128 : ((bytes[at] | bytes[at + 1] << 8) << 16 >> 16) / 32768;
    }
    const source = context.createBufferSource();
    source.buffer = buffer;
    source.connect(context.destination);
    source.onended = () => {
      if (sound.playing === source) sound.playing = null;
      restLater();
    };
    clearTimeout(rest);
    if (context.state !== 'running') context.resume().catch(() => {});
    source.start();
    sound.playing = source;
  };
  page.sound = sound;

  // --- The end: "終わる" closes the window; a failed operation shows a box
  // naming it, and the game stops.
  function finish(notice, text) {
    stopped = true;
    timer.enable(false);
    silence();
    leaveMenus();
    form.hidden = true;
    byId(notice).hidden = false;
    if (text) byId(notice + '-reason').textContent = text;
  }
  page.end = function () {
    finish('ended');
    window.close(); // where the page was opened as a window of its own
  };
  page.stop = function (message) {
    if (box.open) box.close();
    page.box(message, 'TARVO');
    finish('stopped', message);
    throw new Error('TARVO stopped: ' + message); // nothing more of the game runs
  };

  // --- Installing. Served from the web, the page names its manifest and its
  // home-screen icon for iPhones and iPads, and has its service worker keep
  // it for play without a network. Opened from a file none of that works,
  // and none of it is asked for.
  if (location.protocol === 'https:' || location.protocol === 'http:') {
    const links = { 'manifest': 'manifest.webmanifest', 'apple-touch-icon': 'apple-touch-icon.png' };
    Object.keys(links).forEach((rel) => {
      const link = document.createElement('link');
      link.rel = rel;
      link.href = links[rel];
      document.head.append(link);
    });
    // Browsers let only a secure page (https, or this machine) have a worker.
    // It is asked for once the game runs and the page has loaded: keeping the
    // build fetches every file once more, which would only slow the page
    // down while it loads.
    if (window.isSecureContext && navigator.serviceWorker) {
      const register = () => setTimeout(() => navigator.serviceWorker.register('sw.js').catch(() => {}), 1000);
      if (document.readyState === 'complete') register();
      else window.addEventListener('load', register);
    }
  }

  box.addEventListener('close', () => { if (document.activeElement) document.activeElement.blur(); });
  Module.onAbort = (what) => finish('stopped', String(what));
  // The stage's size, as the first frame is made: its layout is known then
  // without the page having to work it out before its time.
  requestAnimationFrame(fit);
  return page;
})();
