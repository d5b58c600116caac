// The user's sketches are kept in My sketches, survive a reload, travel as a link, inside their
// own picture and all together in one file, and come back exactly; every tab keeps its own; what
// cannot be opened is refused with its reason and changes nothing.
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
const KEY = 'frimel-sketch';  // where the earlier page kept its one sketch

const sketchText = (app) => app.page.evaluate(() => Module.UTF8ToString(Module._frimel_sketch_text()));
const own = (app) => app.page.evaluate(() => window.frimelSketch.currentId());
// The text My sketches keeps for the sketch this tab holds.
async function kept(app) {
  const id = await own(app);
  return (await app.sketches()).find((record) => record.id === id)?.text ?? null;
}
const notice = (app) => app.page.$eval('#sketch-notice', (n) => (n.hidden ? '' : n.textContent));
const waitUntilKept = (app) => app.waitUntilKept();
const pause = (ms) => new Promise((done) => setTimeout(done, ms));
async function until(check, ms = 5000) {
  for (let waited = 0; !(await check()); waited += 100) {
    if (waited > ms) throw new Error('waited in vain');
    await pause(100);
  }
}

// Opens My sketches and clicks a button of one sketch: action open, duplicate, rename, delete, back.
async function gallery(app, id, action) {
  if (await app.page.$eval('#gallery', (panel) => panel.hidden)) await app.page.click('#gallery-button');
  const selector = `#gallery .sketch[data-id="${id}"] [data-action="${action}"]`;
  await app.page.waitForSelector(selector, { visible: true });
  // Found and clicked in one task: $eval clicks later, maybe a button of a list drawn since.
  await app.page.evaluate((found) => document.querySelector(found).click(), selector);
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

// A sketch drawn in a browser of its own, sent as a link: the picture and the link.
async function sentLink(app) {
  const elsewhere = await app.page.browser().createBrowserContext();
  try {
    const sender = new Frimel(await elsewhere.newPage());
    await sender.load(web.server.origin);
    await sender.click(300, 300);
    return [await sender.settle(), web.server.origin + '/index.html#sketch=' + await sketchText(sender)];
  } finally {
    await elsewhere.close();
  }
}

web.test('a link beside a kept sketch opens as a sketch of its own and changes nothing kept', async (app) => {
  const [sent, link] = await sentLink(app);
  const mine = await draw(app);
  const text = await waitUntilKept(app);
  const [{ id: mineId }] = await app.sketches();
  await app.page.goto(web.server.origin + '/icon.svg');
  await reload(app, link);
  assert.ok(samePicture(await app.grab(), sent));
  assert.match(await notice(app), /Opened the sketch from the link\. It is a new sketch in My sketches/);
  assert.equal(await app.page.evaluate(() => location.hash), '', 'the link is put away');
  const linked = await waitUntilKept(app);
  assert.deepEqual((await app.sketches()).map((record) => record.text), [linked, text], 'mine is as it was');
  await app.page.evaluate((fragment) => { location.hash = fragment; }, link.slice(link.indexOf('#')));
  await app.page.waitForFunction(() => /already in My sketches/.test(document.querySelector('#sketch-notice').textContent));
  assert.equal((await app.sketches()).length, 2, 'the same link twice is one sketch');

  await gallery(app, mineId, 'open');
  await app.page.waitForFunction((id) => window.frimelSketch.currentId() === id, {}, mineId);
  assert.ok(samePicture(await app.grab(), mine), 'back to my sketch from the gallery');
  await app.key('z');
  const undone = await sketchText(app);
  await app.key('q');
  await app.waitForEnd();
  await until(async () => (await kept(app)) === undone).catch(() => {});
  assert.equal(await kept(app), undone, 'the end keeps the sketch as it was');
  assert.equal((await app.sketches()).find((record) => record.text === linked)?.text, linked, 'the link\'s sketch too');
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
// closed tab would leave it; then Start again. The fault comes as the page says it runs, once the
// kept sketch is open, in the same task: before any frame.
async function stopOnKeptSketch(app) {
  const { identifier } = await app.page.evaluateOnNewDocument(() => {
    document.addEventListener('DOMContentLoaded', () => {
      const watch = new MutationObserver(() => {
        if (document.body.dataset.state !== 'running') return;
        watch.disconnect();
        try { Module._frimel_fault(); } catch { /* the fault unwinds to here */ }
      });
      watch.observe(document.body, { attributes: true, attributeFilter: ['data-state'] });
    });
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
    await pause(1500);
    assert.deepEqual((await app.sketches()).map((record) => [record.text, record.opening]), [[text, true]],
      'the sketch stays kept, marked, while it is offered');
    await app.screenshot('sketch-held-back');
    await app.page.setViewport({ width: 320, height: 640 });
    await app.screenshot('sketch-held-back-320');
    await app.page.setViewport(DESKTOP_VIEWPORT);
    await app.measure();

    const file = path.join(folder, 'frimel-sketch.txt');
    assert.equal((await app.download(folder, 'frimel-sketch.txt', () => answer(app, 'Save it as a file'))).toString(), text);
    await answer(app, 'Open it anyway');
    await app.page.evaluate(() => window.frimelSketch.idle());
    assert.ok(samePicture(await app.grab(), picture), 'opened anyway');
    await until(async () => !(await app.sketches())[0].opening);
    await reload(app);
    assert.equal(await notice(app), '', 'once shown, it opens by itself again');
    assert.ok(samePicture(await app.grab(), picture));

    await stopOnKeptSketch(app);
    await answer(app, 'Put it aside');
    await app.page.waitForFunction(() => /put aside in My sketches/.test(document.querySelector('#sketch-notice').textContent));
    assert.deepEqual((await app.sketches()).map((record) => [record.text, record.aside]), [[text, true]]);
    await reload(app);
    assert.equal(await notice(app), '', 'the next load starts clean');
    assert.ok(samePicture(await app.grab(), bank));
    await (await app.page.$('#open-picker')).uploadFile(file);
    await app.page.waitForFunction(() => /Opened frimel-sketch\.txt\. It was in My sketches already/
      .test(document.querySelector('#sketch-notice').textContent));
    assert.ok(samePicture(await app.grab(), picture), 'the saved file opens the sketch put aside');
    await pause(1500);

    // Drawing on the empty bank puts the sketch aside too, and what is drawn is a sketch of its own.
    await stopOnKeptSketch(app);
    await app.click(300, 300);
    await app.settle();
    const drawn = await waitUntilKept(app);
    assert.notEqual(drawn, text);
    assert.deepEqual((await app.sketches()).map((record) => [record.text, record.aside]), [[drawn, false], [text, true]]);
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
      await window.frimelSketch.idle();
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
});

// The earlier page kept one sketch in localStorage: it moves into My sketches on the first load,
// once, and its old slot goes only then; one the reader refuses moves in too, marked, never dropped.
web.test('sketches the earlier page kept move into My sketches once, and one it refuses moves in marked', async (app) => {
  const picture = await draw(app);
  const text = await sketchText(app);
  const earlier = await app.page.browser().createBrowserContext();
  try {
    const old = new Frimel(await earlier.newPage());
    await old.page.goto(web.server.origin + '/icon.svg');
    await old.page.evaluate((key, sketch) => {
      localStorage.setItem(key, sketch);
      localStorage.setItem('frimel-sketch-unreadable', 'AQ');
    }, KEY, text);
    await old.load(web.server.origin);
    assert.ok(samePicture(await old.grab(), picture), 'the moved sketch opens');
    assert.match(await notice(old), /kept in this browser cannot be opened: the sketch is cut short\. It is kept in My sketches/);
    const moved = () => old.sketches().then((all) => all.map((record) => [record.text, record.unreadable]).sort());
    assert.deepEqual(await moved(), [['AQ', 'the sketch is cut short'], [text, '']]);
    assert.deepEqual(await old.page.evaluate(() => Object.keys(localStorage)), [], 'the old slots are gone');
    await reload(old);
    assert.deepEqual(await moved(), [['AQ', 'the sketch is cut short'], [text, '']], 'moved once');
    await old.page.click('#gallery-button');
    await old.page.waitForSelector('#gallery .sketch .no-picture');
    assert.match(await old.page.$eval('#gallery', (panel) => panel.textContent), /cannot be opened: the sketch is cut short/);
  } finally {
    await earlier.close();
  }
});

web.test('where the browser refuses storage the page says so once and works as before', async (app) => {
  await app.page.evaluateOnNewDocument(() => {
    for (const name of ['getItem', 'setItem']) {
      Storage.prototype[name] = () => { throw new DOMException('refused', 'SecurityError'); };
    }
    IDBFactory.prototype.open = () => { throw new DOMException('refused', 'SecurityError'); };
  });
  await reload(app);
  const empty = await app.grab();
  await app.key('y');
  await app.click(300, 300);
  assert.ok(!samePicture(await app.settle(), empty));
  await pause(1500);
  assert.match(await app.page.$eval('#status', (s) => s.textContent), /keeps nothing for this page/);
  assert.match(await notice(app), /not kept for now: it stays here while this tab is open.*Save picture/);
});

// Storage full (its writes refused, as a full quota refuses them) and then not: the refusal is
// said once, the sketch stays on show, and the next change once allowed is kept. The browser is
// asked to keep the page's storage once, when something is first kept, and not before.
web.test('a write refused for a full storage is said once, and the next change once allowed is kept', async (app) => {
  await app.page.evaluateOnNewDocument(() => {
    let agreed = false;
    window.persistAsked = 0;
    navigator.storage.persisted = async () => agreed;
    navigator.storage.persist = async () => { window.persistAsked += 1; agreed = true; return true; };
  });
  await reload(app);
  const safety = async () => {
    if (await app.page.$eval('#gallery', (panel) => panel.hidden)) await app.page.click('#gallery-button');
    await pause(500);
    return app.page.$eval('#gallery .safety', (line) => line.textContent);
  };
  assert.match(await safety(), /has not agreed to keep these sketches.*install Frimel.*Save all/);
  assert.equal(await app.page.evaluate(() => window.persistAsked), 0, 'not asked at load');
  await app.page.click('#gallery-button');
  await app.page.evaluate(() => {
    const put = IDBObjectStore.prototype.put;
    window.refusals = 0;
    IDBObjectStore.prototype.put = function (...args) {
      if (!window.storageFull) return put.apply(this, args);
      window.refusals += 1;
      throw new DOMException('full', 'QuotaExceededError');
    };
    window.storageFull = true;
  });
  await app.key('y');
  await app.click(300, 300);
  const drawn = await app.settle();
  await app.page.waitForFunction(() => /storage for this page is full/.test(document.querySelector('#status').textContent));
  assert.match(await notice(app), /not kept for now.*Save picture/);
  await app.page.evaluate(() => document.querySelector('#sketch-notice').replaceChildren('read'));
  await app.click(200, 350);
  await app.settle();
  await app.page.waitForFunction(() => window.refusals >= 2, { timeout: 5000 });
  assert.equal(await notice(app), 'read', 'said once, tried again at the next change');
  assert.deepEqual(await app.sketches(), [], 'nothing was written');
  assert.ok(!samePicture(await app.grab(), drawn) && await sketchText(app), 'the sketch stays on show');

  await app.page.evaluate(() => { window.storageFull = false; });
  await app.click(350, 250);
  await app.settle();
  const text = await waitUntilKept(app);
  assert.match(await notice(app), /kept again/);
  assert.equal(await app.page.$eval('#status', (s) => s.textContent), 'Running');
  assert.deepEqual((await app.sketches()).map((record) => record.text), [text]);
  await app.click(250, 250);
  await app.settle();
  await waitUntilKept(app);
  assert.equal(await app.page.evaluate(() => window.persistAsked), 1, 'asked once, once something was kept');
  assert.equal(await safety(), 'The browser keeps these sketches until you delete them.');
});

// Tabs of one browser: each holds a sketch of its own and sees the others' in its gallery as
// they change; a sketch another tab holds opens as a copy; every sketch is kept whole whichever
// tab closes first, and a new tab opens the newest one no tab holds.
web.test('tabs of one browser draw at once, each its own sketch, all kept whole whichever closes first', async (app) => {
  const tab = async () => {
    const opened = new Frimel(await app.page.browserContext().newPage());
    await opened.load(web.server.origin);
    return opened;
  };
  // The tab in front, as a person switches tabs: one in the background draws no frames.
  const front = async (of) => {
    await of.page.bringToFront();
    return of;
  };
  const second = await tab();
  await (await front(app)).page.click('#gallery-button');
  await app.key('y');
  await app.click(250, 300);
  await (await front(second)).click(350, 300);
  await (await front(app)).click(300, 250);
  await (await front(second)).click(300, 350);
  const theirs = await second.settle();
  const other = await waitUntilKept(second);
  await front(app);
  await app.settle();
  const first = await waitUntilKept(app);
  assert.notEqual(first, other);
  await app.page.waitForFunction(() => document.querySelectorAll('#gallery .sketch').length === 2 &&
    /open in another tab/.test(document.querySelector('#gallery').textContent));

  // A click in a tab brought to the front, and the sketch it keeps.
  const drawIn = async (t, x, y) => {
    await (await front(t)).click(x, y);
    await t.settle();
    return waitUntilKept(t);
  };
  await gallery(app, await own(second), 'open');
  await app.page.waitForFunction(() => /is open in another tab, so this tab has opened a copy of it, “Copy of /
    .test(document.querySelector('#sketch-notice').textContent));
  assert.ok(samePicture(await app.grab(), theirs), 'a copy of the other tab\'s sketch');
  await app.click(200, 380);
  await app.settle();
  const copy = await waitUntilKept(app);
  const changed = await drawIn(second, 400, 250);
  await second.page.close();
  await app.page.close();

  const [third, fourth] = [await tab(), await tab()];
  assert.deepEqual((await third.sketches()).map((record) => record.text).sort(), [first, copy, changed].sort());
  assert.deepEqual([await sketchText(third), await sketchText(fourth)], [changed, copy], 'the newest, then the next');
  const thirds = await drawIn(third, 300, 200);
  const fourths = await drawIn(fourth, 320, 220);
  await fourth.page.close();
  await third.page.close();
  const fifth = await tab();
  assert.deepEqual((await fifth.sketches()).map((record) => record.text).sort(), [first, thirds, fourths].sort());
});

// Fifty sketches of 400 crystals read from one file, listed with their pictures; Save all writes
// every sketch with its name, which a fresh browser reads back once each; delete and take back.
web.test('fifty large sketches are listed with pictures, Save all reads back once each elsewhere, the bin gives back', async (app) => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-all-'));
  const elsewhere = await launch();
  try {
    // In one task, so that the tab keeps only the last of them.
    const texts = await app.page.evaluate(() => {
      Module.ccall('frimel_replay', null, ['string'], ['key c; key y; key 2; srand 1; grid 400; settle']);
      return Array.from({ length: 50 }, () => {
        const text = Module.UTF8ToString(Module._frimel_sketch_text());
        Module.ccall('frimel_replay', null, ['string'], ['key z']);
        return text;
      });
    });
    const fifty = path.join(folder, 'fifty.txt');
    fs.writeFileSync(fifty, ['frimel-sketches 1', ...texts.flatMap((text, i) =>
      [`name=${encodeURIComponent(`Fifty <b>${i}</b>`)}`, `sketch=${text}`])].join('\n'));
    const started = Date.now();
    await (await app.page.$('#open-picker')).uploadFile(fifty);
    await app.page.waitForFunction(() => /Read fifty\.txt: 50 added to My sketches, 0 there already/
      .test(document.querySelector('#sketch-notice').textContent), { timeout: 60000 });
    await app.page.waitForFunction(() => document.querySelectorAll('#gallery .sketch img').length >= 50, { timeout: 180000 });
    console.log(`50 sketches of 400 crystals read, kept and listed with pictures in ${Date.now() - started} ms`);
    const names = await app.page.$$eval('#gallery .sketch-name', (all) => all.map((name) => name.textContent));
    assert.ok(names.includes('Fifty <b>7</b>'), 'a name is shown as its text');
    assert.deepEqual(await app.page.$$eval('#gallery b', (all) => all.length), 0);
    assert.deepEqual(await app.axe(), [], 'axe-core finds nothing in the gallery');
    const shown = () => app.page.waitForFunction(() => [...document.querySelectorAll('#gallery img')]
      .every((img) => img.complete && img.naturalWidth > 0));
    for (const [width, height, name] of [[1000, 660, 'gallery'], [320, 640, 'gallery-320']]) {
      await app.page.setViewport({ width, height });
      await shown();
      await app.screenshot(name);
    }
    assert.ok(await app.page.$eval('#gallery', (panel) => panel.scrollWidth <= panel.clientWidth &&
      panel.getBoundingClientRect().right <= innerWidth), 'the gallery fits 320 pixels');

    await waitUntilKept(app);
    const all = await app.download(folder, 'frimel-sketches.txt', () => app.page.click('#gallery .tools button:nth-child(2)'));
    const saved = all.toString().split('\n');
    assert.equal(saved[0], 'frimel-sketches 1');
    assert.equal(saved.filter((line) => line.startsWith('sketch=')).length, (await app.sketches()).length);

    const fresh = new Frimel(await elsewhere.newPage());
    await fresh.load(web.server.origin);
    const readBack = () => fresh.page.$eval('#sketch-notice', (n) => n.textContent);
    await (await fresh.page.$('#open-picker')).uploadFile(path.join(folder, 'frimel-sketches.txt'));
    await fresh.page.waitForFunction(() => /^Read frimel-sketches\.txt/.test(document.querySelector('#sketch-notice').textContent), { timeout: 60000 });
    const count = saved.filter((line) => line.startsWith('sketch=')).length;
    assert.match(await readBack(), new RegExp(`: ${count} added to My sketches, 0 there already`));
    const back = await fresh.sketches();
    assert.deepEqual(back.map((record) => record.text).sort(), (await app.sketches()).map((record) => record.text).sort());
    assert.ok(back.some((record) => record.name === 'Fifty <b>7</b>'), 'with their names');
    await (await fresh.page.$('#open-picker')).uploadFile(path.join(folder, 'frimel-sketches.txt'));
    await fresh.page.waitForFunction((n) => new RegExp(`: 0 added to My sketches, ${n} there already`)
      .test(document.querySelector('#sketch-notice').textContent), { timeout: 60000 }, count);

    // Read-back sketches get their pictures, even after a press on a button of a list drawn since.
    await fresh.page.evaluate(async () => {
      const stale = document.querySelector('#gallery .sketch [data-action="rename"]');
      for (let toggles = 0; toggles < 2; ++toggles) document.getElementById('gallery-button').click();
      for (let tries = 0; tries < 100 && stale.isConnected; ++tries) await new Promise((done) => setTimeout(done, 50));
      stale.click();
    });
    await fresh.page.waitForFunction((n) => document.querySelectorAll('#gallery .sketch img').length === n, { timeout: 120000 }, count);

    // A name is the user's text, on one line, shown as text.
    const [{ id, text }] = back;
    await gallery(fresh, id, 'rename');
    await fresh.page.waitForSelector('#gallery .rename input');
    await fresh.page.$eval('#gallery .rename input', (field) => { field.value = ' <i>Frost\u0007garden</i> '; });
    await fresh.page.keyboard.press('Enter');
    await until(async () => (await fresh.sketches()).find((record) => record.id === id).name === '<i>Frost garden</i>');
    await fresh.page.waitForFunction((wanted) => document.querySelector(`#gallery .sketch[data-id="${wanted}"] .sketch-name`)
      ?.textContent === '<i>Frost garden</i>', {}, id);
    await gallery(fresh, id, 'delete');
    await fresh.page.waitForFunction(() => /is in the bin for 30 days/.test(document.querySelector('#sketch-notice').textContent));
    assert.ok((await fresh.sketches()).find((record) => record.id === id).deleted > 0, 'in the bin');
    await fresh.page.click('#gallery .bin-toggle');
    await gallery(fresh, id, 'back');
    await until(async () => (await fresh.sketches()).find((record) => record.id === id).deleted === 0);
    await gallery(fresh, id, 'open');
    await fresh.page.waitForFunction((wanted) => window.frimelSketch.currentId() === wanted, {}, id);
    assert.equal(await sketchText(fresh), text, 'taken back whole');

    // The bin keeps what was deleted for 30 days, looked at on every start, until it is emptied.
    const [, aged, young, emptied] = back;
    for (const { id: deleted } of [aged, young, emptied]) {
      await gallery(fresh, deleted, 'delete');
      await until(async () => (await fresh.sketches()).find((record) => record.id === deleted).deleted > 0);
    }
    await fresh.page.evaluate((ids) => Promise.all(ids.map(([id, days]) => window.frimelSketches.update(id,
      () => ({ deleted: Date.now() - days * 24 * 3600 * 1000 })))), [[aged.id, 31], [young.id, 29]]);
    await reload(fresh);
    await until(async () => (await fresh.sketches()).length === count - 1);
    const binned = async () => (await fresh.sketches()).filter((record) => record.deleted).map((record) => record.id).sort();
    assert.deepEqual(await binned(), [young.id, emptied.id].sort(), 'only the one past 30 days is gone');
    await fresh.page.click('#gallery-button');
    await fresh.page.click('#gallery .bin-toggle');
    await fresh.page.click('#gallery .bin > button');
    await fresh.page.waitForFunction(() => document.querySelector('#sketch-notice').textContent === 'The bin is empty.');
    assert.deepEqual(await binned(), []);
    assert.equal((await fresh.sketches()).length, count - 3, 'the rest stay');
  } finally {
    await elsewhere.close();
    fs.rmSync(folder, { recursive: true, force: true });
  }
});
