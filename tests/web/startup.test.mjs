// Start-up as a visitor meets it: the console, the first picture, leaving, a missing bitmap, a
// page that reaches nothing beyond its own folder, browsers and servers that unpack otherwise, a
// slow link, and the site kept for offline use and replaced by a new build.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';
import { DESKTOP_VIEWPORT, Frimel, LOAD_LINES, PHONE, brightness, launch, mean, pixel, publicSiteDir, samePicture,
  serve, siteDir, webSuite } from './harness.mjs';

const web = webSuite();
const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');

// The first picture: no black corner, bright snow in the lower middle under a darker sky.
function assertBank(first) {
  for (const [x, y] of [[3, 3], [596, 3], [3, 596], [596, 596]]) {
    assert.ok(Math.max(...pixel(first, x, y)) > 20, `black at corner ${x},${y}`);
  }
  const snow = brightness(mean(first, 200, 250, 200, 100));
  const sky = brightness(mean(first, 0, 0, 600, 40));
  assert.ok(snow > 200, `the lower middle should be bright snow, not ${snow}`);
  assert.ok(sky < snow - 60, `the top should be darker sky, not ${sky} against ${snow}`);
}

web.core('the console shows the eight bitmaps loading in order, and the bank under the sky', async (app) => {
  assert.equal(await app.state(), 'running');
  assert.deepEqual(await app.lines(), LOAD_LINES);
  assertBank(await app.grab());
});

// A site in a folder of its own, to change as a new build would, or to take files away from.
function siteCopy(t) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-site-'));
  fs.cpSync(siteDir, folder, { recursive: true });
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  return folder;
}

const keptCache = (folder) => /cache: '([^']+)'/.exec(fs.readFileSync(path.join(folder, 'sw.js'), 'utf8'))[1];

for (const key of ['q', 'Q']) {
  web.test(`key ${key} ends the program with status 0 and drawing stops`, async (app) => {
    await app.key('r');  // any mode
    // Count every draw the page makes from here on.
    await app.page.evaluate(() => {
      window.drawsAfter = 0;
      for (const name of ['drawArrays', 'drawElements']) {
        const draw = Module.ctx[name].bind(Module.ctx);
        Module.ctx[name] = (...args) => { window.drawsAfter++; return draw(...args); };
      }
    });
    await app.key(key);
    assert.deepEqual(await app.waitForEnd(), { status: 0, text: 'Frimel has ended (exit status 0)' });
    const draws = await app.page.evaluate(() => window.drawsAfter);
    await app.click(300, 300);
    await app.key('y', 's');
    // Ten animation frames later nothing has been drawn or printed.
    await app.nextFrames(10);
    assert.equal(await app.page.evaluate(() => window.drawsAfter), draws);
    assert.deepEqual(await app.lines(), LOAD_LINES);
  });
}

web.test('the page reaches only its own folder and keeps nothing but the sketch', async (app) => {
  await app.key('y');
  await app.click(300, 300);
  await app.settle();
  await app.key('t', 's', 'c');
  const origin = app.origin + '/';
  // The program's script runs from the page's own blob, unpacked from frimel.js.gz.
  assert.deepEqual(app.requests.filter((url) => !url.startsWith(origin) && !url.startsWith('blob:' + origin)), []);
  assert.ok(app.requests.some((url) => url.endsWith('/frimel.wasm.gz')), 'the program was fetched');
  // Nothing but the sketch, in My sketches' database, and the site itself kept for offline use.
  const text = await app.waitUntilKept();  // the cleared bank is kept within a second
  const kept = await app.page.evaluate(async () => ({ local: Object.keys(localStorage),
    session: sessionStorage.length, cookie: document.cookie,
    databases: (await indexedDB.databases()).map((db) => db.name), caches: await caches.keys() }));
  assert.deepEqual({ ...kept, caches: kept.caches.filter((name) => name !== keptCache(siteDir)) },
    { local: [], session: 0, cookie: '', databases: ['frimel'], caches: [] });
  assert.deepEqual((await app.sketches()).map((record) => record.text), [text]);
});

test('a missing snow.bmp ends the program with status 1 after seven loads', async (t) => {
  const folder = siteCopy(t);
  fs.rmSync(path.join(folder, 'snow.bmp.gz'));
  const server = await serve(folder);
  const app = new Frimel(await web.browser.newPage());
  t.after(async () => {
    await app.page.close();
    await server.close();
  });
  await app.load(server.origin);
  assert.deepEqual(await app.waitForEnd(), { status: 1, text: 'Frimel has ended (exit status 1)' });
  assert.deepEqual(await app.lines(), [...LOAD_LINES, 'File Not Found : snow.bmp']);
});

// Browsers and servers that unpack the site's files otherwise: the program starts all the same.
const UNPACKING = [
  { name: 'a browser without DecompressionStream', server: {}, before: () => { delete window.DecompressionStream; } },
  { name: 'a server that sends the .gz files with Content-Encoding: gzip', server: { gzipEncoded: true },
    before: () => {} },
];

for (const { name, server: options, before } of UNPACKING) {
  test(`the page starts with ${name}`, async (t) => {
    const server = await serve(siteDir, options);
    const app = new Frimel(await web.browser.newPage());
    t.after(async () => {
      await app.page.close();
      await server.close();
    });
    await app.page.evaluateOnNewDocument(before);
    await app.load(server.origin);
    assert.equal(await app.state(), 'running');
    assert.deepEqual(await app.lines(), LOAD_LINES);
    assertBank(await app.grab());
  });
}

// The page's own inflater, for browsers without DecompressionStream, against zlib: every kind of
// deflate block, and damaged input refused rather than unpacked wrong. The page's module is
// imported from its text: no package.json beside it tells node that it is one.
test('the page\'s inflater unpacks what gzip packs, and refuses damaged input', async () => {
  const inflater = await import('data:text/javascript,' +
    encodeURIComponent(fs.readFileSync(path.join(repo, 'src/web/site/inflate.js'), 'utf8')));
  const gunzip = (bytes) => Buffer.from(inflater.gunzip(new Uint8Array(bytes)));
  const snow = zlib.gunzipSync(fs.readFileSync(path.join(siteDir, 'snow.bmp.gz')));
  for (const data of [Buffer.alloc(0), Buffer.from('frost '.repeat(200)), snow]) {
    for (const options of [{ level: 0 }, { level: 1 }, { level: 9 }, { strategy: zlib.constants.Z_FIXED }]) {
      assert.ok(gunzip(zlib.gzipSync(data, options)).equals(data), `${data.length} bytes, ${JSON.stringify(options)}`);
    }
  }
  const packed = zlib.gzipSync(snow);
  const flipped = Buffer.from(packed);
  flipped[packed.length >> 1] ^= 0x55;
  for (const damaged of [packed.subarray(0, packed.length >> 1), flipped, Buffer.from('not packed at all')]) {
    assert.throws(() => {
      if (!gunzip(damaged).equals(snow)) throw new Error('unpacked wrong');
    });
  }
});

// The public site's program exports none of the hooks only the tests call (the code's own export
// names are minified: its script names them); every other file is the same.
test('the public site is the tests\' page without the test hooks', () => {
  const script = (folder) => zlib.gunzipSync(fs.readFileSync(path.join(folder, 'frimel.js.gz'))).toString();
  const hooks = ['_frimel_fault', '_frimel_replay', '_frimel_draw_calls_last_frame', '_frimel_idle_calls',
    '_frimel_kept_objects'];
  assert.deepEqual(hooks.filter((hook) => script(publicSiteDir).includes(hook)), []);
  assert.deepEqual(hooks.filter((hook) => script(siteDir).includes(hook)), hooks);
  assert.ok(script(publicSiteDir).includes('_frimel_menu_choose'), 'the page\'s own hooks are there');
  assert.deepEqual(fs.readdirSync(publicSiteDir).sort(), fs.readdirSync(siteDir).sort());
  const program = ['frimel.js.gz', 'frimel.wasm.gz', 'site.js', 'sw.js'];  // and what names its sizes
  for (const file of fs.readdirSync(siteDir).filter((name) => !program.includes(name))) {
    const bytes = (folder) => fs.readFileSync(path.join(folder, file));
    const unpacked = (folder) => (file.endsWith('.gz') ? zlib.gunzipSync(bytes(folder)) : bytes(folder));
    assert.ok(unpacked(publicSiteDir).equals(unpacked(siteDir)), file);
  }
});

// Chromium's emulation of a slow mobile link against a server that compresses nothing: the
// download's progress in the status line, nothing on the page moves while it loads, and the
// first frame is drawn at the picture's size in device pixels, with no resize after it. On the
// desktop the bytes before the first frame keep within a budget, and the link never stands idle
// for long: the frame comes within the time those bytes take at that rate, plus three round
// trips (the page, its scripts, the program's downloads) and the program's start.
const SLOW_RATE = 1.6e6 / 8;
const SLOW_LINK = [
  { name: 'a desktop window', viewport: DESKTOP_VIEWPORT, budget: { bytes: 950000, startMs: 1500 } },
  { name: 'a phone', viewport: PHONE, budget: null },
];

for (const { name, viewport, budget } of SLOW_LINK) {
  test(`on a 1.6 Mbit/s link with 150 ms latency, in ${name}, the page shows its progress and does not shift`, async (t) => {
    const page = await web.browser.newPage();
    t.after(() => page.close());
    await page.setViewport(viewport);
    await page.emulateNetworkConditions({ download: SLOW_RATE, upload: 750e3 / 8, latency: 150 });
    await page.evaluateOnNewDocument(() => {
      window.shifted = 0;
      new PerformanceObserver((list) => list.getEntries().forEach((shift) => { window.shifted += shift.value; }))
        .observe({ type: 'layout-shift', buffered: true });
      window.statusTexts = [];
      Object.defineProperty(window, 'Module', { configurable: true, set(module) {
        delete window.Module;
        window.Module = module;
        const shown = module.onFrameShown;
        module.onFrameShown = () => {
          window.firstFrameAt = performance.now();
          window.firstFrameSize = [module.canvas.width, module.canvas.height];
          shown();
        };
      } });
      document.addEventListener('DOMContentLoaded', () => new MutationObserver(() => window.statusTexts
        .push(document.querySelector('#status').textContent)).observe(document.querySelector('#status'),
        { childList: true, characterData: true, subtree: true }));
    });
    const app = new Frimel(page);
    await app.load(web.server.origin);
    // The frame itself: the page then opens the kept sketch before it says the program runs.
    const { frameAt, bytes } = await page.evaluate(() => ({ frameAt: window.firstFrameAt,
      bytes: [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')]
        .filter((entry) => entry.responseEnd <= window.firstFrameAt).reduce((sum, entry) => sum + entry.transferSize, 0) }));
    assert.equal(await app.state(), 'running');
    if (budget) {
      assert.ok(bytes > 0 && bytes < budget.bytes, `${bytes} bytes came before the first frame`);
      const within = (1000 * bytes) / SLOW_RATE + budget.startMs;
      assert.ok(frameAt < within, `the first frame came after ${Math.round(frameAt)} ms, not within ${Math.round(within)}`);
    }
    await app.nextFrames(5);
    const { shifted, statusTexts } = await page.evaluate(() => ({ shifted: window.shifted, statusTexts: window.statusTexts }));
    assert.ok(shifted < 0.1, `the layout shifted by ${shifted}`);
    const sizes = await page.evaluate(() => {
      const box = document.querySelector('#canvas').getBoundingClientRect();
      return { first: window.firstFrameSize, box: [box.width, box.height].map((side) => Math.round(side * devicePixelRatio)) };
    });
    assert.deepEqual(sizes.first, sizes.box, 'the first frame\'s size');
    const total = Object.values(await page.evaluate(() => window.frimelDownloads)).reduce((a, b) => a + b, 0);
    const progress = statusTexts.map((text) => /^Loading Frimel… ([\d,]+) of ([\d,]+) KB$/.exec(text)).filter(Boolean)
      .map((match) => [match[1], match[2]].map((kb) => Number(kb.replace(/,/g, ''))));
    assert.ok(progress.length > 10, `progress was shown ${progress.length} times`);
    assert.ok(progress.every(([done, all], i) => all === Math.round(total / 1000) && (i === 0 || done >= progress[i - 1][0])),
      JSON.stringify(progress));
    assert.equal(progress.at(-1)[0], progress.at(-1)[1], 'the progress reaches the total');
  });
}

// After one visit the site is kept: with the network gone the page starts, draws, takes a click
// and brings the sketch back. A new build's site then replaces it, old cache and all, on the next
// visits.
test('after one visit the page plays offline, and a new build replaces the kept site', async (t) => {
  const folder = siteCopy(t);
  const server = await serve(folder);
  const browser = await launch([], { serviceWorker: true });
  t.after(async () => {
    await browser.close();
    await server.close();
  });
  const app = new Frimel(await browser.newPage());
  const keptFiles = () => app.page.evaluate(async (name) => (await caches.has(name)
    ? (await (await caches.open(name)).keys()).map((request) => request.url) : []), keptCache(folder));
  const siteFiles = fs.readdirSync(folder).filter((file) => file !== 'sw.js')
    .map((file) => `${server.origin}/${file}`).concat(server.origin + '/').sort();
  const visitOffline = async () => {
    await app.page.setOfflineMode(true);
    await app.page.reload();
    await app.page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 60000 });
    await app.page.setOfflineMode(false);
  };

  await app.load(server.origin);
  await app.page.waitForFunction(() => navigator.serviceWorker.controller !== null, { timeout: 60000 });
  assert.deepEqual((await keptFiles()).sort(), siteFiles, 'every file of the site, and only those, is kept');
  await visitOffline();
  await app.measure();
  assert.deepEqual(await app.lines(), LOAD_LINES);
  const offline = await app.grab();
  assertBank(offline);
  await app.key('y');
  await app.click(300, 300);
  await app.waitForLine('mouse clicked at 300 299');
  const placed = await app.settle();
  assert.ok(!samePicture(placed, offline), 'the click placed ice');
  // The sketch kept while offline comes back on the next offline visit.
  await app.waitUntilKept();
  await visitOffline();
  await app.measure();
  assert.ok(samePicture(await app.settle(), placed), 'the kept sketch came back offline');

  // A new build: one file changed, and its service worker written by the build's own step.
  const oldCache = keptCache(folder);
  const index = path.join(folder, 'index.html');
  fs.writeFileSync(index, fs.readFileSync(index, 'utf8').replace('<title>Frimel</title>', '<title>Frimel, rebuilt</title>'));
  const files = /files: \[([^\]]*)\]/.exec(fs.readFileSync(path.join(folder, 'sw.js'), 'utf8'))[1]
    .split(',').map((file) => file.trim().slice(1, -1)).filter((file) => file !== './');
  execFileSync('cmake', [`-DSITE_DIR=${folder}`, `-DFILES=${files.join(';')}`,
    `-DTEMPLATE=${path.join(repo, 'src/web/site/sw.js')}`, '-P', path.join(repo, 'tools/web-offline.cmake')]);
  assert.notEqual(keptCache(folder), oldCache, 'the new build names a new cache');
  await app.page.reload();
  await app.page.waitForFunction(async (name) => (await caches.keys()).join() === name, { timeout: 60000 },
    keptCache(folder));
  await visitOffline();
  assert.equal(await app.page.title(), 'Frimel, rebuilt');
});
