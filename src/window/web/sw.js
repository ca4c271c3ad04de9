// SPDX-License-Identifier: MIT
// The page's service worker: it keeps one build of the game (the page, its
// manifest and icons) in a cache named by the build's content, and serves
// the page from there at once, whatever the network does: an installed game
// opens as fast with the host answering as with the host gone, or with a
// host that takes the connection and never answers (a train between
// stations). The browser looks for a new build in the background each time
// the page is opened: the worker of a new build (this file changes with the
// cache's name) keeps the whole new build, checked file by file, and only
// then takes over, deleting the old build's cache. So a new build is what
// the launch after the one that found it gets.
'use strict';
const CACHE = 'tarvo-@BUILD@';
// Each address this build keeps, with the digest its bytes must have.
const FILES = [@FILES@];

self.addEventListener('install', (event) => {
  // The whole build or nothing: every file fetched from the host itself (no
  // copy the browser keeps in between), checked against its digest, and
  // kept only once all of them have come. A host caught halfway through
  // putting up a new build serves files of two builds, whose digests do not
  // all match: this worker is then not installed, the build in use stays,
  // and the next launch tries again.
  event.waitUntil((async () => {
    try {
      const fetched = await Promise.all(FILES.map(async ([address, integrity]) => {
        const response = await fetch(new Request(address, { cache: 'no-cache', integrity }));
        if (!response.ok) throw new Error(address + ': ' + response.status);
        return [address, response];
      }));
      const cache = await caches.open(CACHE);
      await Promise.all(fetched.map(([address, response]) => cache.put(address, response)));
    } catch (e) {
      await caches.delete(CACHE);
      throw e;
    }
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  // This build is the one in use: the copies of any other go.
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith('tarvo-') && n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  // The kept build, at once; the host only for what it does not keep.
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(request, { ignoreSearch: true }))
    .then((kept) => kept || fetch(request)));
});
