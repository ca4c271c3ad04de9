// SPDX-License-Identifier: MIT
// Finishes the page once emscripten has written it, and puts beside it what a
// web host serves with it:
// - index.html gets its Content-Security-Policy, which lets the browser run
//   only the page's own inline script and style (by their SHA-256), compile
//   its WebAssembly, read it from its data: address, and start its own worker;
//   anything from another origin is refused;
// - the manifest and the icons, for installing the game;
// - sw.js, the service worker, its cache named by the content of all of them.
//   node publish.js OUT_DIR PAGE_SOURCE_DIR ASSETS_DIR
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');

const [out, source, assets] = process.argv.slice(2);
const icons = ['icon-192.png', 'icon-512.png', 'icon-maskable-512.png', 'apple-touch-icon.png'];
const sha256 = (text) => "'sha256-" + crypto.createHash('sha256').update(text, 'utf8').digest('base64') + "'";
const inline = (html, tag) =>
  [...html.matchAll(new RegExp('<' + tag + '>([\\s\\S]*?)</' + tag + '>', 'g'))].map((m) => sha256(m[1]));

const pagePath = path.join(out, 'index.html');
let page = fs.readFileSync(pagePath, 'utf8');
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
const marker = 'content="tarvo-policy"';
if (!page.includes(marker)) throw new Error('index.html has no place for its policy');
page = page.replace(marker, 'content="' + policy + '"');
fs.writeFileSync(pagePath, page);

fs.copyFileSync(path.join(source, 'manifest.webmanifest'), path.join(out, 'manifest.webmanifest'));
for (const icon of icons) fs.copyFileSync(path.join(assets, icon), path.join(out, icon));

const files = ['index.html', 'manifest.webmanifest', ...icons];
const build = crypto.createHash('sha256');
for (const f of files) build.update(f + '\0').update(fs.readFileSync(path.join(out, f)));
const worker = fs.readFileSync(path.join(source, 'sw.js'), 'utf8')
  .replace('@BUILD@', build.digest('hex').slice(0, 16))
  .replace('@FILES@', ['./', ...files].map((f) => "'" + f + "'").join(', '));
fs.writeFileSync(path.join(out, 'sw.js'), worker);
