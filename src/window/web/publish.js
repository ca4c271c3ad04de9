// SPDX-License-Identifier: MIT
// Writes the page, index.html, once emscripten has built the game's script
// and WebAssembly, and puts beside it what a web host serves with it:
// - index.html, one file that holds everything and also opens from disk. In
//   the order the browser gets it: the menu bar and the stage (written from
//   the game's tables by page_tables.cpp), which the browser shows as soon
//   as they arrive; the keys' names; the script; then the WebAssembly, as
//   base64 in blocks of data that the browser parses a block at a time and
//   never runs (page.js compiles it). Its Content-Security-Policy lets the
//   browser run only the page's own inline script and style (by their
//   SHA-256), compile its WebAssembly, read it from its data: address, and
//   start its own worker; anything from another origin is refused;
// - the manifest and the icons, for installing the game;
// - sw.js, the service worker, with each file it keeps and that file's
//   SHA-256, its cache named by all of them.
//   node publish.js OUT_DIR PAGE_SOURCE_DIR ASSETS_DIR SHELL_HTML GAME_JS PAGE_TABLES_JSON
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');

const [out, source, assets, shell, gameJs, tablesJson] = process.argv.slice(2);
const icons = ['icon-192.png', 'icon-512.png', 'icon-maskable-512.png', 'apple-touch-icon.png'];
const digest = (bytes) => crypto.createHash('sha256').update(bytes).digest('base64');
const inline = (html, tag) =>
  [...html.matchAll(new RegExp('<' + tag + '>([\\s\\S]*?)</' + tag + '>', 'g'))].map((m) => "'sha256-" + digest(Buffer.from(m[1], 'utf8')) + "'");
// Text that goes inside a <script> element must not end it early, or make
// the parser look for the end elsewhere.
const scriptText = (text, what) => {
  if (/<\/script|<!--/i.test(text)) throw new Error(what + ' holds "</script" or "<!--"');
  return text;
};

const tables = JSON.parse(fs.readFileSync(tablesJson, 'utf8'));
const wasm = fs.readFileSync(gameJs.replace(/\.js$/, '.wasm')).toString('base64');
const blocks = [];
const blockSize = 32768; // parsed in a moment each, on a phone too
for (let i = 0; i < wasm.length; i += blockSize)
  blocks.push('<script type="application/x-tarvo-wasm">' + wasm.slice(i, i + blockSize) + '</script>');

const fill = (page, marker, text) => {
  if (!page.includes(marker)) throw new Error('the page has no place for ' + marker);
  return page.replace(marker, () => text);
};
let page = fs.readFileSync(shell, 'utf8');
page = fill(page, '{{{ MENU }}}', tables.menu);
page = fill(page, '{{{ SCRIPT }}}',
  '<script type="application/json" id="keys">' + scriptText(JSON.stringify(tables.keys), 'the keys') + '</script>\n' +
  '<script>' + scriptText(fs.readFileSync(gameJs, 'utf8'), 'the script') + '</script>\n' + blocks.join('\n'));
const policy = [
  "default-src 'none'",
  'script-src ' + inline(page, 'script').join(' ') + " 'wasm-unsafe-eval'",
  'style-src ' + inline(page, 'style').join(' '),
  "img-src 'self' data:",
  "connect-src 'self' data:",
  "manifest-src 'self'",
  "worker-src 'self'",
  "base-uri 'none'",
].join('; ');
page = fill(page, 'content="tarvo-policy"', 'content="' + policy + '"');
fs.writeFileSync(path.join(out, 'index.html'), page);

fs.copyFileSync(path.join(source, 'manifest.webmanifest'), path.join(out, 'manifest.webmanifest'));
for (const icon of icons) fs.copyFileSync(path.join(assets, icon), path.join(out, icon));

// What the worker keeps: the page (also as the folder's own address), the
// manifest, the icons; each with the digest it must have.
const files = ['index.html', 'manifest.webmanifest', ...icons];
const kept = [['./', 'index.html'], ...files.map((f) => [f, f])]
  .map(([address, file]) => [address, 'sha256-' + digest(fs.readFileSync(path.join(out, file)))]);
const build = crypto.createHash('sha256').update(JSON.stringify(kept)).digest('hex').slice(0, 16);
const worker = fs.readFileSync(path.join(source, 'sw.js'), 'utf8')
  .replace('@BUILD@', build)
  .replace('@FILES@', kept.map(([address, integrity]) => "['" + address + "', '" + integrity + "']").join(', '));
fs.writeFileSync(path.join(out, 'sw.js'), worker);
