// SPDX-License-Identifier: MIT
// The page's service worker: it keeps this build of the game (the page, its
// manifest and icons) in a cache named by the build's content, so that the
// game plays without a network once it has been visited. Online, every
// request goes to the network first, so a new build is what the next visit
// gets; the worker of a new build (this file changes with the cache's name)
// keeps the new files and deletes the old build's cache.
'use strict';
const CACHE = 'tarvo-@BUILD@';
const FILES = [@FILES@];
// A network that neither answers nor fails (a train between stations) is
// given this long before the kept copy is shown.
const PATIENCE_MS = 4000;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith('tarvo-') && n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  const kept = () => caches.open(CACHE).then((cache) => cache.match(request, { ignoreSearch: true }));
  event.respondWith(new Promise((resolve) => {
    let settled = false;
    const settle = (response) => { if (!settled && response) { settled = true; resolve(response); } };
    const fallBack = () => kept().then((response) => settle(response || Response.error()));
    const timer = setTimeout(() => kept().then(settle), PATIENCE_MS);
    fetch(request).then((response) => { clearTimeout(timer); settle(response); }, () => { clearTimeout(timer); fallBack(); });
  }));
});
