// Keeps Frimel's site for offline use: every file of this build in a cache named after it, the
// caches of older builds removed once this one takes over, and the site's own files answered
// from the cache first. Requests to other origins are left to the network and never kept.
'use strict';

const SITE = { cache: 'frimel-dev', files: [] };  // the build writes the real list and name here

self.addEventListener('install', (event) => {
  // Checked with the server, not taken from the HTTP cache: that may still hold an older build.
  const requests = SITE.files.map((file) => new Request(file, { cache: 'no-cache' }));
  event.waitUntil(caches.open(SITE.cache).then((cache) => cache.addAll(requests))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith('frimel-') && name !== SITE.cache)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(SITE.cache).then((cache) => cache.match(request, { ignoreSearch: true })
    .then((kept) => kept || (request.mode === 'navigate' ? cache.match('./') : null))
    .then((kept) => kept || fetch(request))));
});
