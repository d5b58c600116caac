// The browser platform under the program: draws batched by raster state, a runtime that lives
// until exit() and no longer, the menu's hold on the pointer, and a page that stays quiet.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { Frimel, LOAD_LINES, launch, readPng, samePicture, webSuite } from './harness.mjs';

const web = webSuite();

const drawCalls = (app) => app.page.evaluate(() => Module._frimel_draw_calls_last_frame());
const idleCalls = (app) => app.page.evaluate(() => Module._frimel_idle_calls());

// Once the program has ended, its idle handler is called no more, though it was at the end.
async function noIdleCallsAfterTheEnd(app) {
  const calls = await idleCalls(app);
  await app.nextFrames(10);
  assert.equal(await idleCalls(app), calls, 'idle calls after the end');
}

// Each scene with the textures its objects carry. The backdrop and the bank are two textured
// quads; objects add one draw per run of equal texture, whatever their number of cones.
const BATCHES = [
  { name: 'the empty scene', steps: [], textures: 0 },
  { name: 'three white crystals', steps: [['key', 'y'], ['click', 200, 300], ['click', 300, 320], ['click', 400, 300]], textures: 1 },
  { name: 'white, then blue, then translucent', steps: [['key', 'y'], ['click', 200, 300], ['menu', 'Ice Color', 'Blue'],
    ['click', 400, 300], ['key', 't']], textures: 2 },
];

web.test('one draw per change of texture, blending or depth test, not per cone', async (app) => {
  const quads = 2;
  for (const { name, steps, textures } of BATCHES) {
    await app.key('c');
    for (const [kind, ...args] of steps) {
      if (kind === 'key') await app.key(...args);
      if (kind === 'click') await app.click(...args);
      if (kind === 'menu') await app.chooseMenu(...args);
    }
    await app.settle();
    assert.equal(await drawCalls(app), quads + textures, name);
  }
});

web.test('the program keeps running once everything rests, and exit() ends it even mid-growth', async (app) => {
  await app.key('y');
  await app.click(300, 300);
  const rested = await app.settle();
  await new Promise((done) => setTimeout(done, 1500));  // no idle calls, no frames for a while
  assert.equal(await app.state(), 'running');
  await app.key('s');
  assert.ok(!samePicture(await app.grab(), rested), 'a key still reaches the program');
  await app.click(200, 350);  // grows for many frames: idle calls are pending
  const beforeEnd = await idleCalls(app);
  await app.nextFrames(2);
  assert.ok(await idleCalls(app) > beforeEnd, 'the new crystal grows by idle calls');
  await app.key('q');
  assert.deepEqual(await app.waitForEnd(), { status: 0, text: 'Frimel has ended (exit status 0)' });
  await noIdleCallsAfterTheEnd(app);
});

// Gestures with the menu up, what the console gains, and whether the menu is still up.
const GESTURES = [
  { name: 'a right click leaves the menu up and chooses nothing', lines: [], up: true,
    act: async (app) => { await app.openMenu(300, 200); } },
  { name: 'press, drag onto an entry and release chooses it', lines: ['Rotate Mode'], up: false,
    act: async (app) => {
      await app.move(300, 200);
      await app.page.mouse.down({ button: 'right' });
      const entry = await app.menuEntry(0, 'Rotate Scene (R)');
      const box = await entry.boundingBox();
      await app.page.mouse.move(box.x + box.width / 2, box.y + box.height / 2, { steps: 4 });
      await app.page.mouse.up({ button: 'right' });
    } },
  { name: 'a left click on the canvas closes it and places nothing', lines: [], up: false,
    act: async (app) => { await app.openMenu(300, 200); await app.click(150, 450); } },
  { name: 'any other key leaves it up and reaches nothing', lines: [], up: true,
    act: async (app) => { await app.openMenu(300, 200); await app.key('q'); } },
];

web.test('the menu holds the pointer and the keys while it is up', async (app) => {
  for (const { name, lines, up, act } of GESTURES) {
    const before = await app.lines();
    await act(app);
    await app.nextFrames(2);
    assert.deepEqual((await app.lines()).slice(before.length), lines, name);
    assert.equal(await app.page.evaluate(() => document.querySelector('#menu') !== null), up, name);
    await app.key('Escape');
  }
  assert.equal(await app.state(), 'running');
});

web.test('the canvas takes the keyboard on a click, and keys do not scroll the page', async (app) => {
  await app.page.click('#console');
  await app.click(300, 300);
  assert.equal(await app.page.evaluate(() => document.activeElement.id), 'canvas');
  await app.page.setViewport({ width: 640, height: 400 });  // the page now scrolls
  assert.ok(await app.page.evaluate(() => document.documentElement.scrollHeight > window.innerHeight));
  const scrolled = await app.page.evaluate(() => window.scrollY);  // reaching the console scrolled
  for (const key of ['Space', 'ArrowDown', 'PageDown', 'End']) {
    await app.page.keyboard.press(key);
    assert.equal(await app.page.evaluate(() => window.scrollY), scrolled, key);
  }
});

test('a whole session logs no error, not even for the end', async (t) => {
  const page = await web.browser.newPage();
  t.after(() => page.close());
  const errors = [];
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
  page.on('pageerror', (error) => errors.push(error.message));
  const app = new Frimel(page);
  await app.load(web.server.origin);
  await app.key('y');
  await app.click(300, 300);
  await app.chooseMenu('Ice Color', 'Green');
  await app.key('q');
  await app.waitForEnd();
  assert.deepEqual(errors, []);
  assert.deepEqual((await app.lines()).slice(0, LOAD_LINES.length), LOAD_LINES);
});

// Menu layouts after a few moves, as the pointer leaves them: how many menus show, the labels
// of the submenu on show, and whether every menu lies inside the window.
const LAYOUTS = [
  { name: 'hovering another submenu entry swaps the submenu', at: [300, 200],
    hover: ['Ice Color', 'Crystal Complexity'], menus: 2, submenu: ['1D', '2D', '3D'] },
  { name: 'hovering a plain entry closes the submenu', at: [300, 200],
    hover: ['Fractal Depth', 'Undo (Z)'], menus: 1, submenu: null },
  { name: 'a menu opened in the corner is moved inside the window', at: [595, 595],
    hover: ['Fractal Depth'], menus: 2, submenu: ['0', '1', '2'] },
];

web.test('submenus follow the pointer, one at a time, inside the window', async (app) => {
  await app.page.setViewport({ width: 700, height: 660 });
  for (const { name, at, hover, menus, submenu } of LAYOUTS) {
    await app.openMenu(50, 50);
    await app.openMenu(...at);  // a second right click, beside the first menu, leaves one menu
    for (const label of hover) await (await app.menuEntry(0, label)).hover();
    await app.nextFrames(1);
    const shown = await app.visibleMenus();
    assert.equal(await app.page.$$eval('#menu', (all) => all.length), 1, name);
    assert.equal(shown.length, menus, name);
    assert.deepEqual(shown[1]?.entries.map((e) => e.label) ?? null, submenu, name);
    const inside = await app.page.$$eval('.menu', (all) => all.every((menu) => {
      const box = menu.getBoundingClientRect();
      return box.left >= 0 && box.top >= 0 && box.right <= innerWidth && box.bottom <= innerHeight;
    }));
    assert.ok(inside, name);
    await app.key('Escape');
  }
});

test('main waits for every bitmap, and a reload after the end starts afresh', async (t) => {
  const page = await web.browser.newPage();
  t.after(() => page.close());
  let releaseSnow;
  const snowHeld = new Promise((resolve) => { releaseSnow = resolve; });
  await page.setRequestInterception(true);
  page.on('request', async (request) => {
    if (request.url().endsWith('/snow.bmp.gz')) await snowHeld;
    request.continue();
  });
  await page.goto(web.server.origin + '/index.html');
  await page.waitForFunction(() => typeof Module._main === 'function');
  await new Promise((done) => setTimeout(done, 500));
  assert.equal(await page.evaluate(() => document.body.dataset.state), 'loading');
  assert.equal(await page.$$eval('#console .line', (lines) => lines.length), 0, 'main has not run');
  releaseSnow();
  const app = new Frimel(page);
  app.origin = web.server.origin;
  await page.waitForFunction(() => document.body.dataset.state === 'running');
  assert.deepEqual(await app.lines(), LOAD_LINES);
  await page.focus('#canvas');
  await app.key('q');
  await app.waitForEnd();
  await page.reload();
  await page.waitForFunction(() => document.body.dataset.state === 'running');
  assert.deepEqual(await app.lines(), LOAD_LINES);
  assert.equal(await page.evaluate(() => window.frimelExitStatus), undefined);
});

// A kept or linked sketch is read from My sketches as the page starts: some engines show it a
// few frames after the page runs.
async function showsSoon(app, picture) {
  for (let waited = 0; waited < 10000; waited += 250) {
    if (samePicture(await app.grab(), picture)) return true;
    await new Promise((done) => setTimeout(done, 250));
  }
  return false;
}

// As a visitor keeps a sketch, in every engine: what the page shows after a reload, and where a
// link to it opens, whatever the page keeps it in.
web.core('a reload shows the sketch again, and its link opens it where nothing was kept', async (app) => {
  await app.key('y');
  await app.click(250, 300);
  await app.drag([[330, 320], [360, 330], [390, 335]]);
  await app.key('u');
  await app.click(300, 250);
  const picture = await app.settle();
  await new Promise((done) => setTimeout(done, 1500));  // a moment, as a person takes to reload
  await app.page.reload();
  await app.page.waitForFunction(() => document.body.dataset.state === 'running');
  assert.ok(await showsSoon(app, picture), 'the reloaded page shows the sketch');
  await app.page.click('#share-button');
  const link = await app.page.$eval('#share-link', (field) => field.value);
  const elsewhere = await web.browser.createBrowserContext();
  try {
    const fresh = new Frimel(await elsewhere.newPage());
    await fresh.page.goto(link);
    await fresh.page.waitForFunction(() => document.body.dataset.state === 'running');
    await fresh.measure();
    assert.ok(await showsSoon(fresh, picture), 'the link shows the same picture');
    await fresh.click(200, 400);
    assert.ok(!samePicture(await fresh.settle(), picture), 'ready to draw on');
  } finally {
    await elsewhere.close();
  }
});

web.test('Save picture downloads frimel.png at the canvas\'s size, the picture on show', async (app) => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-save-'));
  try {
    await app.key('y');
    await app.click(300, 300);
    const shown = await app.settle();
    const png = readPng(await app.savePicture(folder));
    assert.deepEqual([png.width, png.height], [600, 600]);
    assert.ok(samePicture(png, shown), 'the file holds the canvas\'s pixels');
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});

// Wholly inside the page and readable at its width: no line cut off.
const readWhole = (app, selector) => app.page.$eval(selector, (element) => {
  const box = element.getBoundingClientRect();
  return element.scrollWidth <= element.clientWidth && box.left >= 0 && box.right <= innerWidth &&
    element.textContent.length > 0;
});

web.test('at 320 pixels every message is read whole, and Start again brings the sketch back after the end', async (app) => {
  await app.page.setViewport({ width: 320, height: 640 });
  await app.page.waitForFunction(() => canvas.width <= 320 && canvas.width === canvas.getBoundingClientRect().width);
  await app.measure();
  await app.key('y');
  await app.click(160, 160);
  const picture = await app.settle();
  await app.page.evaluate(() => { location.hash = 'sketch=AgA'; });  // a link from a newer Frimel
  await app.page.waitForFunction(() => !document.querySelector('#sketch-notice').hidden);
  assert.ok(await readWhole(app, '#sketch-notice'), 'the refused link');
  await app.page.evaluate(() => new Promise((done) => {
    canvas.addEventListener('webglcontextlost', done, { once: true });
    window.loseContext = Module.ctx.getExtension('WEBGL_lose_context');
    window.loseContext.loseContext();
  }));
  assert.match(await app.page.$eval('#status', (s) => s.textContent), /drawing paused/);
  assert.ok(await readWhole(app, '#status'), 'the lost graphics');
  await app.page.click('#save-button');
  assert.match(await app.page.$eval('#status', (s) => s.textContent), /Save picture needs the graphics/);
  await app.page.evaluate(() => new Promise((done) => {
    canvas.addEventListener('webglcontextrestored', done, { once: true });
    window.loseContext.restoreContext();
  }));
  await app.key('q');
  await app.waitForEnd();
  assert.ok(await readWhole(app, '#status'), 'the end');
  await app.page.click('#restart');
  await app.page.waitForFunction(() => document.body.dataset.state === 'running');
  assert.ok(samePicture(await app.grab(), picture), 'started again with the sketch as it was');
  try { await app.page.evaluate(() => Module._frimel_fault()); } catch { /* the fault unwinds to here */ }
  assert.match(await app.page.$eval('#status', (s) => s.textContent), /^Frimel has stopped/);
  assert.ok(await readWhole(app, '#status'), 'the fault');
  await app.page.click('#restart');
  await app.page.waitForFunction(() => document.body.dataset.state === 'running');
  assert.ok(samePicture(await app.grab(), picture), 'and after a fault');
});

// The program's downloads start while the graphics are checked, and stop when they are found
// lacking: on a slow link none of them is fetched whole.
test('without WebGL 2 the page says so, starts nothing, downloads nothing whole and throws nothing', async () => {
  const browser = await launch(['--disable-webgl']);
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    const fetchedWhole = [];
    page.on('requestfinished', (request) => fetchedWhole.push(request.url()));
    await page.emulateNetworkConditions({ download: 1.6e6 / 8, upload: 750e3 / 8, latency: 150 });
    await page.setViewport({ width: 320, height: 640 });
    const app = new Frimel(page);
    await app.load(web.server.origin);
    assert.equal(await app.state(), 'ended');
    assert.match(await page.$eval('#status', (s) => s.textContent), /needs WebGL 2.*lacks or has turned off/);
    assert.ok(await readWhole(app, '#status'), 'read whole at 320 pixels');
    assert.deepEqual(await app.lines(), []);
    assert.deepEqual(errors, []);
    await new Promise((done) => setTimeout(done, 1000));
    assert.deepEqual(fetchedWhole.filter((url) => url.endsWith('.gz')), [], 'nothing was downloaded whole');
    assert.deepEqual(await app.axe(), [], 'axe-core finds nothing to mend');
  } finally {
    await browser.close();
  }
});

web.test('a lost context pauses the drawing and, once restored, shows the same scene', async (app) => {
  await app.key('y');
  await app.click(300, 300);
  await app.chooseMenu('Ice Color', 'Blue');
  await app.click(420, 320);
  const before = await app.settle();
  const status = () => app.page.$eval('#status', (s) => s.textContent);
  await app.page.evaluate(() => { window.loseContext = Module.ctx.getExtension('WEBGL_lose_context'); });
  await app.page.evaluate(() => new Promise((done) => {
    Module.canvas.addEventListener('webglcontextlost', done, { once: true });
    window.loseContext.loseContext();
  }));
  assert.match(await status(), /drawing paused/);
  await app.key('s');
  await app.key('s');  // the surface off and on again: the scene is the same
  await app.page.evaluate(() => new Promise((done) => {
    Module.canvas.addEventListener('webglcontextrestored', done, { once: true });
    window.loseContext.restoreContext();
  }));
  await app.nextFrames(2);
  assert.equal(await status(), 'Running');
  assert.ok(samePicture(await app.grab(), before), 'the picture after the restore is the one before the loss');
  assert.equal(await app.page.evaluate(() => Module._frimel_cones_by_instances()), 1, 'cones still go by instances');

  // Lost while the page still loads, before the program runs, and given back once it runs: the
  // kept sketch is drawn with no help from the test.
  let releaseSnow;
  const snowHeld = new Promise((resolve) => { releaseSnow = resolve; });
  await app.page.setRequestInterception(true);
  app.page.on('request', async (request) => {
    if (request.url().endsWith('/snow.bmp.gz')) await snowHeld;
    request.continue();
  });
  await app.page.reload();
  await app.page.waitForFunction(() => typeof Module._main === 'function');
  await app.page.evaluate(() => new Promise((done) => {
    canvas.addEventListener('webglcontextlost', done, { once: true });
    window.loseContext = canvas.getContext('webgl2').getExtension('WEBGL_lose_context');
    window.loseContext.loseContext();
  }));
  releaseSnow();
  await app.page.waitForFunction(() => document.body.dataset.state === 'running');
  await app.nextFrames(3);
  assert.match(await status(), /drawing paused/);
  const [restored, drawn] = await app.page.evaluate(() => {
    const within = (promise) => Promise.race([promise, new Promise((done) => setTimeout(() => done(false), 5000))]);
    const frame = new Promise((done) => {
      const shown = Module.onFrameShown;
      Module.onFrameShown = () => { shown?.(); done(true); };
    });
    const back = new Promise((done) => canvas.addEventListener('webglcontextrestored', () => done(true), { once: true }));
    window.loseContext.restoreContext();
    return Promise.all([within(back), within(back.then(() => frame))]);
  });
  assert.ok(restored, 'the loss before the program ran was claimed, so the browser gave the context back');
  assert.ok(drawn, 'a frame was drawn once the context was back');
  assert.equal(await status(), 'Running');
  assert.ok(samePicture(await app.grab(), before), 'the kept sketch, drawn with the restored context');
});

web.test('a long hold on the deepest crystal keeps the heap small, and undo empties the scene at once', async (app) => {
  await app.key('4', 'y');
  const empty = await app.grab();
  const draws = () => app.page.evaluate(() => Module._frimel_draw_calls_last_frame());
  const emptyDraws = await draws();
  const heap = () => app.page.evaluate(() => Module.HEAP8.buffer.byteLength);
  const before = await heap();
  await app.page.evaluate(() => {
    window.shownAt = [];
    const shown = Module.onFrameShown;
    Module.onFrameShown = () => { window.shownAt.push(performance.now()); shown?.(); };
  });
  await app.press(300, 300);
  await new Promise((done) => setTimeout(done, 6000));  // frames of some 300 000 triangles by then
  const after = await heap();
  // The 'z' waits for the frame being drawn, and no more: the graphics are never a frame behind.
  const frame = await app.page.evaluate(() => {
    const recent = window.shownAt.filter((t) => t > performance.now() - 2000);
    return Math.max(...recent.slice(1).map((t, i) => t - recent[i]));
  });
  const start = performance.now();
  await Promise.all([app.release(), app.page.keyboard.press('z')]);
  while (await draws() !== emptyDraws) await app.nextFrames(1);
  await app.nextFrames(1);
  const undo = performance.now() - start;
  // A frame's triangles are drawn batch by batch: the heap the program started with suffices.
  assert.equal(after, before, `the heap grew from ${before / 1024 / 1024} to ${after / 1024 / 1024} MiB`);
  assert.ok(undo < frame + 100, `the 'z' showed after ${undo.toFixed(0)} ms, with frames of ${frame.toFixed(0)} ms`);
  assert.ok(samePicture(await app.grab(), empty));
});

// Fences counted as the context makes and deletes them, none of them ever signalled.
web.test('a frame fence the browser never signals holds growth back a few frames, and is deleted', async (app) => {
  await app.key('4', 'y');
  await app.page.evaluate(() => {
    const gl = Module.ctx;
    const [fenceSync, deleteSync] = [gl.fenceSync.bind(gl), gl.deleteSync.bind(gl)];
    window.fences = { made: 0, live: 0 };
    gl.fenceSync = (...args) => { fences.made++; fences.live++; return fenceSync(...args); };
    gl.deleteSync = (sync) => { if (sync) fences.live--; deleteSync(sync); };
    gl.getSyncParameter = (sync, pname) => (pname === gl.SYNC_STATUS ? gl.UNSIGNALED : null);
  });
  await app.press(300, 300);
  // The first fence comes once the crystal needs more than one batch, however long that takes;
  // two more must follow it soon.
  await app.page.waitForFunction(() => fences.made >= 1, { timeout: 60000 });
  await app.page.waitForFunction(() => fences.made >= 3, { timeout: 10000 }).catch(() => {});
  await app.release();
  const { made, live } = await app.page.evaluate(() => window.fences);
  assert.ok(made >= 3, `growth stopped at a fence: ${made} frames of more than one batch`);
  assert.ok(live <= 1, `${live} of ${made} fences were never deleted`);
});

web.test('a fault ends the page with the reason, and the menu stays shut', async (app) => {
  await app.key('y');
  await app.click(300, 300);  // still growing at the fault
  await app.openMenu(300, 200);
  await app.page.evaluate(() => { try { Module._frimel_fault(); } catch { /* the abort unwinds to here */ } });
  assert.equal(await app.state(), 'ended');
  await noIdleCallsAfterTheEnd(app);
  assert.match(await app.page.$eval('#status', (s) => s.textContent), /^Frimel has stopped/);
  assert.equal(await app.page.$('#menu'), null, 'the open menu closed');
  const lines = await app.lines();
  await app.click(300, 200, 'right');
  await app.click(300, 300);
  await app.tool('Rotate Scene (R)');
  await app.page.click('#menu-button');
  await app.nextFrames(2);
  assert.equal(await app.page.$('#menu'), null, 'no menu opens, from the picture or the toolbar');
  assert.deepEqual(await app.lines(), lines);
});

web.test('axe-core finds nothing in any state; the keyboard reaches the picture and leaves it', async (app) => {
  const { page } = app;
  const focus = () => page.evaluate(() => [document.activeElement.id, document.activeElement.matches(':focus-visible')]);
  assert.deepEqual(await app.axe(), [], 'running');
  // The skip link comes before the picture and leads to it; the keyboard's focus shows a ring.
  await page.keyboard.down('Shift');
  await page.keyboard.press('Tab');
  await page.keyboard.up('Shift');
  assert.deepEqual(await focus(), ['skip', true]);
  await page.keyboard.press('Enter');
  assert.deepEqual(await focus(), ['canvas', true]);
  await app.click(300, 300);
  assert.deepEqual(await focus(), ['canvas', false], 'a click shows no ring');
  await page.keyboard.press('Tab');
  assert.deepEqual(await focus(), ['gallery-button', true], 'Tab leaves the picture for the panel\'s first control');

  // The menu tells its choices and whether they are in force, and which submenu is open.
  await app.openMenu();
  await app.openSubmenu(0, 'Ice Color');
  const entries = await page.$$eval('.menu-entry', (all) => Object.fromEntries(all.map((entry) =>
    [entry.firstChild.textContent, [entry.getAttribute('role'), entry.getAttribute('aria-checked') ?? entry.getAttribute('aria-expanded')]])));
  assert.deepEqual([entries['Draw Chunks (U)'], entries['Rotate Scene (R)'], entries['Ice Color'], entries.White,
    entries.Blue, entries['Toggle Surface Texture (S)'], entries['Undo (Z)']], [['menuitemradio', 'true'],
    ['menuitemradio', 'false'], ['menuitem', 'true'], ['menuitemradio', 'true'], ['menuitemradio', 'false'],
    ['menuitemcheckbox', 'false'], ['menuitem', null]]);
  assert.deepEqual(await app.axe(), [], 'menu open');
  await app.key('Escape');

  await page.click('#share-button');
  await page.click('#model-button');
  await page.waitForSelector('#sketch-notice', { visible: true });
  assert.deepEqual(await app.axe(), [], 'the share, notice and model panels');

  // After the end, in a laptop's window: Start again within the first screen, with the focus.
  await page.setViewport({ width: 1000, height: 660 });
  await page.focus('#canvas');  // the shared link took it
  await app.key('q');
  await app.waitForEnd();
  const restart = await page.$eval('#restart', (button) => {
    const box = button.getBoundingClientRect();
    return [document.activeElement === button, box.top >= 0 && box.bottom <= innerHeight && box.right <= innerWidth];
  });
  assert.deepEqual(restart, [true, true], 'Start again in sight, focused');
  assert.deepEqual(await app.axe(), [], 'ended');
});
