// Start-up as a visitor meets it: the console, the first picture, leaving, a missing bitmap, and
// a page that reaches nothing beyond its own folder and keeps nothing.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { Frimel, LOAD_LINES, brightness, mean, pixel, serve, siteDir, webSuite } from './harness.mjs';

const web = webSuite();

web.test('the console shows the eight bitmaps loading in order, and the bank under the sky', async (app) => {
  assert.equal(await app.state(), 'running');
  assert.deepEqual(await app.lines(), LOAD_LINES);
  const first = await app.grab();
  for (const [x, y] of [[3, 3], [596, 3], [3, 596], [596, 596]]) {
    assert.ok(Math.max(...pixel(first, x, y)) > 20, `black at corner ${x},${y}`);
  }
  const snow = brightness(mean(first, 200, 250, 200, 100));
  const sky = brightness(mean(first, 0, 0, 600, 40));
  assert.ok(snow > 200, `the lower middle should be bright snow, not ${snow}`);
  assert.ok(sky < snow - 60, `the top should be darker sky, not ${sky} against ${snow}`);
});

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
  await new Promise((done) => setTimeout(done, 1500));  // the cleared bank is kept within a second
  const kept = await app.page.evaluate(async () => ({ local: Object.keys(localStorage),
    sketch: localStorage.getItem('frimel-sketch') === Module.UTF8ToString(Module._frimel_sketch_text()),
    session: sessionStorage.length, cookie: document.cookie,
    databases: (await indexedDB.databases()).length, caches: (await caches.keys()).length }));
  assert.deepEqual(kept, { local: ['frimel-sketch'], sketch: true, session: 0, cookie: '', databases: 0, caches: 0 });
});

test('a missing snow.bmp ends the program with status 1 after seven loads', async (t) => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-site-'));
  fs.cpSync(siteDir, folder, { recursive: true });
  fs.rmSync(path.join(folder, 'snow.bmp.gz'));
  const server = await serve(folder);
  const app = new Frimel(await web.browser.newPage());
  t.after(async () => {
    await app.page.close();
    await server.close();
    fs.rmSync(folder, { recursive: true, force: true });
  });
  await app.load(server.origin);
  assert.deepEqual(await app.waitForEnd(), { status: 1, text: 'Frimel has ended (exit status 1)' });
  assert.deepEqual(await app.lines(), [...LOAD_LINES, 'File Not Found : snow.bmp']);
});

// Chromium's emulation of a slow mobile link against a server that compresses nothing.
test('on a 1.6 Mbit/s link with 150 ms latency the first frame shows within 5 s', async (t) => {
  const page = await web.browser.newPage();
  t.after(() => page.close());
  await page.emulateNetworkConditions({ download: 1.6e6 / 8, upload: 750e3 / 8, latency: 150 });
  const app = new Frimel(page);
  await app.load(web.server.origin);
  const frameAt = await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => done(performance.now()))));
  assert.equal(await app.state(), 'running');
  assert.ok(frameAt < 5000, `the first frame came after ${Math.round(frameAt)} ms`);
});
