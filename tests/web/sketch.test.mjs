// The user's sketch survives a reload, travels as a link and inside its own picture, and comes
// back exactly; what cannot be opened is refused with its reason and changes nothing.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';
import validator from 'gltf-validator';
import { DESKTOP_VIEWPORT, Frimel, countChanged, dataDir, launch, pictureTool, readPng, samePicture, savePng,
  webSuite } from './harness.mjs';

const web = webSuite();
const KEY = 'frimel-sketch';

const sketchText = (app) => app.page.evaluate(() => Module.UTF8ToString(Module._frimel_sketch_text()));
const kept = (app) => app.page.evaluate((key) => localStorage.getItem(key), KEY);
const notice = (app) => app.page.$eval('#sketch-notice', (n) => (n.hidden ? '' : n.textContent));

// Waits until the page has kept the sketch on show, as it does within about a second.
async function waitUntilKept(app) {
  const text = await sketchText(app);
  await app.page.waitForFunction((key, wanted) => localStorage.getItem(key) === wanted, { timeout: 5000 }, KEY, text);
  return text;
}

async function draw(app) {
  await app.key('y');
  await app.click(250, 300);
  await app.chooseMenu('Ice Color', 'Blue');
  await app.drag([[330, 320], [360, 330], [390, 335]]);
  await app.key('u');
  await app.click(300, 250);
  return app.settle();
}

async function reload(app, url = null) {
  if (url) await app.page.goto(url);
  else await app.page.reload();
  await app.page.waitForFunction(() => document.body.dataset.state === 'running');
  await app.measure();
}

web.test('a reload brings the sketch back, and its link opens it in a fresh browser', async (app) => {
  const picture = await draw(app);
  const text = await waitUntilKept(app);
  await reload(app);
  assert.ok(samePicture(await app.grab(), picture), 'the reloaded page shows the sketch');
  assert.equal(await sketchText(app), text, 'and goes on from it exactly');
  await app.key('c');
  await app.page.waitForFunction(() => /Cleared/.test(document.querySelector('#sketch-notice').textContent));
  await app.page.click('#sketch-notice button');  // Bring it back
  assert.ok(samePicture(await app.grab(), picture), 'a clear is offered back');

  await app.page.click('#share-button');
  const link = await app.page.$eval('#share-link', (field) => field.value);
  assert.ok(link.startsWith(web.server.origin + '/index.html#sketch='), link);
  const elsewhere = await launch();
  try {
    const fresh = new Frimel(await elsewhere.newPage());
    await fresh.page.goto(link);
    await fresh.page.waitForFunction(() => document.body.dataset.state === 'running');
    await fresh.measure();
    assert.ok(samePicture(await fresh.grab(), picture), 'the link shows the same picture');
    assert.equal(await sketchText(fresh), text);
    await fresh.click(200, 400);
    assert.ok(!samePicture(await fresh.settle(), picture), 'ready to draw on');
  } finally {
    await elsewhere.close();
  }
});

web.test('a link over a kept sketch offers it back until the next change', async (app) => {
  const mine = await draw(app);
  const text = await waitUntilKept(app);
  await app.key('c');
  await app.click(300, 300);
  const other = await app.settle();
  const link = web.server.origin + '/index.html#sketch=' + await sketchText(app);
  await app.page.goto(web.server.origin + '/icon.svg');  // the page is left, and mine is kept again
  await app.page.evaluate((key, t) => localStorage.setItem(key, t), KEY, text);
  await reload(app, link);
  assert.ok(samePicture(await app.grab(), other));
  assert.match(await notice(app), /Opened the sketch from the link/);
  await new Promise((done) => setTimeout(done, 1500));
  assert.equal(await kept(app), text, 'opening a link replaced nothing kept');
  await app.page.click('#sketch-notice button');
  assert.ok(samePicture(await app.grab(), mine), 'back to my sketch');
  assert.equal(await app.page.evaluate(() => location.hash), '', 'the link is put away');

  await app.key('z');
  const undone = await sketchText(app);
  await app.key('q');
  await app.waitForEnd();
  assert.equal(await kept(app), undone, 'the end keeps the sketch as it was');
});

web.test('Save picture\'s frimel.png is the picture on show and opens again to draw on', async (app) => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-save-'));
  try {
    const picture = await draw(app);
    const file = path.join(folder, 'frimel.png');
    const png = readPng(await app.savePicture(folder));
    assert.ok(samePicture(png, picture), 'the file holds the canvas\'s pixels');
    assert.ok(png.texts['frimel-sketch'], 'and the sketch');

    await app.key('c');
    const input = await app.page.$('#open-picker');
    await input.uploadFile(file);
    await app.page.waitForFunction(() => /Opened frimel\.png/.test(document.querySelector('#sketch-notice').textContent));
    assert.ok(samePicture(await app.grab(), picture), 'opened again');

    // The desktop draws it too, off-screen, as the page does.
    const drawn = path.join(folder, 'desktop.png');
    await promisify(execFile)(pictureTool, [file, drawn, '--size', '600', '--data', dataDir],
      { env: { ...process.env, DISPLAY: '' }, timeout: 120000 });
    const desktop = readPng(fs.readFileSync(drawn));
    savePng(desktop, 'sketch-desktop-tool');
    const share = countChanged(desktop, picture, 24) / (600 * 600);
    assert.ok(share <= 0.005, `${(100 * share).toFixed(2)} % of the desktop tool's picture differs`);

    // With no memory left for the sketch, the picture alone, and the page says so.
    await app.page.evaluate(() => { Module._malloc = () => 0; });
    const alone = readPng(await app.savePicture(folder));
    assert.ok(samePicture(alone, picture) && !alone.texts['frimel-sketch'], 'the picture without its sketch');
    assert.match(await notice(app), /saved without its sketch: there is not enough memory left for it/);
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});

web.test('Save 3-D model makes the glb and the 3MF in the page and downloads them, sending nothing', async (app) => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-model-'));
  const sent = [];
  app.page.on('request', (request) => { if (!/^(blob|data):/.test(request.url())) sent.push(request.url()); });
  try {
    await app.replay('key c; key y; key 2; srand 1; grid 400; settle');
    const ms = await app.page.evaluate(() => {
      const start = performance.now();
      const made = Module._frimel_model(0, 0, 0);
      return made ? performance.now() - start : -1;
    });
    assert.ok(ms >= 0 && ms < 2000, `the 400 crystals' glb took ${ms.toFixed(0)} ms`);

    await app.page.click('#model-button');
    const glb = await app.download(folder, 'frimel.glb', () => app.page.click('#model-view'));
    assert.equal(glb.subarray(0, 4).toString(), 'glTF');
    const report = await validator.validateBytes(new Uint8Array(glb));
    assert.equal(report.issues.numErrors + report.issues.numWarnings, 0, JSON.stringify(report.issues.messages));

    await app.replay('key c; key u; srand 9; grid 60; settle');
    await app.page.click('#model-button');
    await app.page.$eval('#model-mm', (field) => { field.value = '60'; });
    const print = await app.download(folder, 'frimel-60mm.3mf', () => app.page.click('#model-print'));
    assert.equal(print.subarray(0, 2).toString(), 'PK');
    assert.ok(print.includes('unit="millimeter"'), 'a 3MF in millimetres');
    assert.match(await notice(app), /more than the 200 x 200 mm plate/, '60 chunks at 60 mm do not fit one plate');

    await app.page.click('#model-button');
    await app.page.$eval('#model-mm', (field) => { field.value = '2'; });
    await app.page.click('#model-print');
    assert.match(await notice(app), /model cannot be made: the size is from 5 to 1000 mm/);
    assert.deepEqual(sent, [], 'nothing left the page');
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});

// A load that opened the kept sketch and faulted before it showed it, as a hang, a crash or a
// closed tab would leave it; then Start again.
async function stopOnKeptSketch(app) {
  const { identifier } = await app.page.evaluateOnNewDocument(() => {
    let sketch = null;
    Object.defineProperty(window, 'frimelSketch', { configurable: true, get: () => sketch, set(value) {
      sketch = { ...value, start() {
        value.start();
        try { Module._frimel_fault(); } catch { /* the fault unwinds to here */ }
      } };
    } });
  });
  await app.page.reload();
  await app.waitForEnd();
  await app.page.removeScriptToEvaluateOnNewDocument(identifier);
  await app.page.click('#restart');
  await app.page.waitForFunction(() => document.body.dataset.state === 'running');
  await app.measure();
}

const HELD_BACK = /^Frimel stopped last time before it could show the sketch kept in this browser, so it starts with an empty bank\./;
const answer = (app, label) => app.page.evaluate((wanted) => [...document.querySelectorAll('#sketch-notice button')]
  .find((button) => button.textContent === wanted).click(), label);

web.test('after a load that never showed the kept sketch, the page starts empty and offers it back', async (app) => {
  const bank = await app.grab();
  const picture = await draw(app);
  const text = await waitUntilKept(app);
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-held-'));
  try {
    await stopOnKeptSketch(app);
    assert.match(await notice(app), HELD_BACK);
    assert.ok(samePicture(await app.grab(), bank), 'an empty bank');
    await new Promise((done) => setTimeout(done, 1500));
    assert.equal(await kept(app), text, 'the sketch stays kept while it is offered');
    await app.screenshot('sketch-held-back');
    await app.page.setViewport({ width: 320, height: 640 });
    await app.screenshot('sketch-held-back-320');
    await app.page.setViewport(DESKTOP_VIEWPORT);
    await app.measure();

    const file = path.join(folder, 'frimel-sketch.txt');
    assert.equal((await app.download(folder, 'frimel-sketch.txt', () => answer(app, 'Save it as a file'))).toString(), text);
    await answer(app, 'Open it anyway');
    assert.ok(samePicture(await app.grab(), picture), 'opened anyway');
    await reload(app);
    assert.equal(await notice(app), '', 'once shown, it opens by itself again');
    assert.ok(samePicture(await app.grab(), picture));

    await stopOnKeptSketch(app);
    await answer(app, 'Put it aside');
    assert.equal(await app.page.evaluate(() => localStorage.getItem('frimel-sketch-put-aside')), text);
    await reload(app);
    assert.equal(await notice(app), '', 'the next load starts clean');
    assert.ok(samePicture(await app.grab(), bank));
    await (await app.page.$('#open-picker')).uploadFile(file);
    await app.page.waitForFunction(() => /Opened frimel-sketch\.txt/.test(document.querySelector('#sketch-notice').textContent));
    assert.ok(samePicture(await app.grab(), picture), 'the saved file opens');

    // Drawing on the empty bank puts the sketch aside too, and what is drawn is kept from then on.
    await app.page.evaluate((key, sketch) => {
      localStorage.removeItem('frimel-sketch-put-aside');
      localStorage.setItem(key, sketch);
    }, KEY, text);
    await stopOnKeptSketch(app);
    await app.click(300, 300);
    await app.settle();
    assert.notEqual(await waitUntilKept(app), text);
    assert.equal(await app.page.evaluate(() => localStorage.getItem('frimel-sketch-put-aside')), text);
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});

// The bench's 400 crystals opened again and again through a link, as the page opens every link.
web.test('200 opens of a large sketch leave the heap and the objects held as after the first', async (app) => {
  await app.replay('key y; key 2; srand 1; grid 400; settle');
  const after = await app.page.evaluate(async (text) => {
    const opened = () => new Promise((done) => window.addEventListener('hashchange', done, { once: true }));
    const held = [];
    for (let i = 0; i < 200; i++) {
      location.hash = 'sketch=' + text;
      await opened();
      held.push([Module.HEAP8.buffer.byteLength, Module._frimel_kept_objects()]);
      location.hash = 'elsewhere';
      await opened();
    }
    return held;
  }, await sketchText(app));
  console.log(`heap and objects held after open 1: ${after[0]}, after open 200: ${after.at(-1)}`);
  assert.match(await notice(app), /Opened the sketch from the link/);
  assert.ok(after[0][1] >= 400 && after[0][1] <= 403, `${after[0][1]} objects held for a scene of 400`);
  assert.deepEqual(after.at(-1), after[0]);
});

// Ways in that must be refused, each with what the page must say; some with no memory left.
const REFUSED = [
  { name: 'a file with no memory left for it', file: 'notes.txt', noRoom: true, says: /notes\.txt cannot be opened: there is not enough memory left/ },
  { name: 'a link with no memory left for it', hash: (text) => text, noRoom: true, says: /link's sketch cannot be opened: there is not enough memory left/ },
  { name: 'a text file longer than any sketch', file: 'long.txt', says: /long\.txt is too big to hold a Frimel sketch/ },
  { name: 'a link cut short', hash: (text) => text.slice(0, -8), says: /link's sketch cannot be opened: the sketch is damaged or cut short/ },
  { name: 'a link from a newer Frimel', hash: () => 'AgA', says: /newer Frimel \(format 2/ },
  { name: 'a link with stray characters', hash: () => 'AB!C', says: /characters that are not part of one/ },
  { name: 'a file that is no sketch', file: 'notes.txt', says: /notes\.txt cannot be opened: the sketch holds characters/ },
  { name: 'a picture without a sketch', file: 'plain.png', says: /plain\.png cannot be opened: the picture holds no Frimel sketch/ },
];

web.test('links, files and kept data that fail are refused with the reason and change nothing', async (app) => {
  await draw(app);
  const text = await waitUntilKept(app);
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-open-'));
  try {
    fs.writeFileSync(path.join(folder, 'notes.txt'), 'shopping: milk, eggs');
    fs.writeFileSync(path.join(folder, 'long.txt'), 'A'.repeat(17 << 20));
    fs.writeFileSync(path.join(folder, 'plain.png'), fs.readFileSync(path.join(dataDir, '..', 'icons', 'frimel.png')));
    for (const { name, hash, file, noRoom, says } of REFUSED) {
      await app.page.evaluate((none) => {
        window.malloc ??= Module._malloc;
        Module._malloc = none ? () => 0 : window.malloc;
      }, Boolean(noRoom));
      if (hash) await app.page.evaluate((h) => { location.hash = 'sketch=' + h; }, hash(text));
      else await (await app.page.$('#open-picker')).uploadFile(path.join(folder, file));
      await app.page.waitForFunction((pattern) => new RegExp(pattern).test(document.querySelector('#sketch-notice').textContent),
        { timeout: 5000 }, says.source).catch(() => {});
      assert.match(await notice(app), says, name);
      assert.equal(await sketchText(app), text, name);
      assert.equal(await kept(app), text, name);
    }
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
  await app.page.evaluate((key) => localStorage.setItem(key, 'AQ'), KEY);
  await reload(app);
  assert.match(await notice(app), /kept in this browser cannot be opened: the sketch is cut short/);
  assert.equal(await app.page.evaluate(() => localStorage.getItem('frimel-sketch-unreadable')), 'AQ');
});

web.test('where the browser refuses storage the page says so once and works as before', async (app) => {
  await app.page.evaluateOnNewDocument(() => {
    for (const name of ['getItem', 'setItem']) {
      Storage.prototype[name] = () => { throw new DOMException('refused', 'SecurityError'); };
    }
  });
  await reload(app);
  const empty = await app.grab();
  await app.key('y');
  await app.click(300, 300);
  assert.ok(!samePicture(await app.settle(), empty));
  await new Promise((done) => setTimeout(done, 1500));
  assert.match(await app.page.$eval('#status', (s) => s.textContent), /keeps nothing for this page/);
});
