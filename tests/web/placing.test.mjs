// The left button on the canvas: clicks, strokes, long presses and turning the scene.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Frimel, PHONE, changedBox, countChanged, samePicture, savePng, webSuite } from './harness.mjs';

const web = webSuite();
const width = (box) => (box ? box[2] - box[0] + 1 : 0);

web.core('a click prints its row from the bottom and grows an object under the pointer only', async (app) => {
  const first = await app.grab();
  for (const [x, y] of [[380, 420], [150, 250]]) {
    await app.click(x, y);
    await app.waitForLine(`mouse clicked at ${x} ${599 - y}`);
    const placed = await app.settle();
    const box = changedBox(placed, first);
    assert.ok(box, `nothing appeared at ${x},${y}`);
    assert.ok(box[0] - 4 <= x && x <= box[2] + 4 && box[1] - 4 <= y && y <= box[3] + 4,
      `changes at ${box} are not around the click at ${x},${y}`);
    assert.ok(width(box) < 60 && box[3] - box[1] < 60, `a fresh chunk is small, not ${box}`);
    await app.key('z');
  }
  await app.click(300, 20);  // the sky: a line, no object
  await app.waitForLine('mouse clicked at 300 579');
  assert.ok(samePicture(await app.settle(), first));
});

web.core('a crystal stroke lays crystals all along the drag', async (app) => {
  const first = await app.grab();
  await app.key('y');
  const row = 300;
  await app.drag(Array.from({ length: 13 }, (_, i) => [150 + 25 * i, row]));
  const stroke = await app.settle();
  savePng(stroke, 'stroke');
  assert.ok(width(changedBox(stroke, first)) > 280);
  for (let x = 160; x < 450; x += 30) {
    assert.ok(countChanged(stroke, first, 24, [x, row - 12, x + 30, row + 12]) > 0, `a gap at x=${x}`);
  }
  assert.equal(countChanged(stroke, first, 24, [0, 0, 600, row - 60]), 0, 'nothing far above the stroke');
  assert.equal((await app.lines()).filter((line) => line.startsWith('mouse clicked')).length, 1);
});

web.core('holding the button still enlarges the newest crystal only', async (app) => {
  const first = await app.grab();
  await app.key('y');
  await app.click(150, 150);
  const small = await app.settle();
  const smallBox = changedBox(small, first);
  await app.press(400, 430);
  let held;
  try {
    for (const started = Date.now(); Date.now() - started < 30000;) {
      held = await app.grab();
      if (width(changedBox(held, small)) > 1.7 * width(smallBox)) break;
    }
  } finally {
    await app.release();
  }
  const big = await app.settle();
  savePng(big, 'held');
  assert.ok(width(changedBox(big, small)) > 1.7 * width(smallBox), 'the held crystal grew past the clicked one');
  const [x0, y0, x1, y1] = smallBox;
  assert.equal(countChanged(big, small, 0, [x0 - 3, y0 - 3, x1 + 4, y1 + 4]), 0, 'the older crystal stayed');
});

// The deepest crystal, four arms a side, held until the bound stops it: the page then comes to
// rest, and the sketch it keeps opens again. Its frames near the bound take about a second each
// on SwiftShader, and it grows for some two hundred after the hold: the hold and the growth go
// by undrawn, with the graphics taken away, as the program goes on through a lost context.
web.test('a hold at the deepest setting stops at the bound, and the page comes to rest', async (app) => {
  const graphics = (lose) => app.page.evaluate((away) => new Promise((done) => {
    canvas.addEventListener(away ? 'webglcontextlost' : 'webglcontextrestored', done, { once: true });
    window.loseContext ??= Module.ctx.getExtension('WEBGL_lose_context');
    if (away) window.loseContext.loseContext();
    else window.loseContext.restoreContext();
  }), lose);
  const calls = () => app.page.evaluate(() => [Module._frimel_frames_shown(), Module._frimel_idle_calls()]);
  const rests = async () => {
    const before = await calls();
    await app.nextFrames(10);
    return JSON.stringify(await calls()) === JSON.stringify(before);
  };
  await app.key('y', '4', 'd');
  assert.deepEqual(await app.page.evaluate(() => ['4', 'b', 'd'].map((key) => Module._frimel_key_in_force(key.charCodeAt(0)))),
    [1, 1, 1], 'the deepest branching, side arms, four a side');
  const from = (await app.lines()).length;
  const started = Date.now();
  await graphics(true);
  await app.press(300, 330);
  try {
    await app.waitForLine('The crystal grows no larger: the scene would take too long to draw', from);
  } finally {
    await app.release();
  }
  const held = Date.now() - started;
  while (!(await rests())) assert.ok(Date.now() - started < 150000, 'the page never came to rest');
  await graphics(false);
  await app.nextFrames(5);  // the scene drawn again, once
  assert.ok(await rests(), 'no frames once at rest');
  console.log(`held ${held} ms until the bound stopped it; at rest ${Date.now() - started} ms after the press`);

  const text = await app.waitUntilKept();
  await app.page.reload();
  await app.page.waitForFunction(() => document.body.dataset.state === 'running');
  assert.equal(await app.page.$eval('#sketch-notice', (n) => n.textContent), '', 'opened without a word');
  assert.equal(await app.page.evaluate(() => Module.UTF8ToString(Module._frimel_sketch_text())), text);
});

web.test('a drag in rotate mode turns the scene, and y or u shows it unrotated exactly', async (app) => {
  await app.key('y');
  await app.click(380, 360);
  const scene = await app.settle();
  for (const back of ['y', 'u', 'Y', 'U']) {
    await app.key(back === back.toUpperCase() ? 'R' : 'r');
    const lines = (await app.lines()).length;
    await app.drag(Array.from({ length: 6 }, (_, i) => [300 + 8 * i, 300 + 3 * i]));
    assert.deepEqual((await app.lines()).slice(lines), ['mouse clicked at 300 299'], 'nothing placed');
    const turned = await app.grab();
    assert.ok(countChanged(turned, scene) > 5000, `the scene should have turned before ${back}`);
    await app.key(back);
    assert.ok(samePicture(await app.grab(), scene), `${back} should show the unrotated scene`);
  }
});

// A fresh program in a page (and storage) of its own, with the console's errors kept.
async function openPage(t, viewport, options) {
  const context = await web.browser.createBrowserContext();
  const page = await context.newPage();
  t.after(() => context.close());
  const errors = [];
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
  page.on('pageerror', (error) => errors.push(error.message));
  await page.setViewport(viewport);
  const app = new Frimel(page);
  await app.load(web.server.origin, options);
  return { app, errors };
}

const layout = (app) => app.page.evaluate(() => ({ scrollWidth: document.documentElement.scrollWidth,
  css: document.querySelector('#canvas').getBoundingClientRect().width, device: canvas.width }));

test('on a phone the picture is the screen\'s width in device pixels; a tap places under the finger', async (t) => {
  const { app, errors } = await openPage(t, PHONE);
  assert.deepEqual(await layout(app), { scrollWidth: 390, css: 390, device: 1170 });
  const button = await app.page.$('#toolbar button[data-value="1"]');  // Draw Crystals (Y)
  const box = await button.boundingBox();
  assert.ok(box.height >= 44 && box.width >= 44, `a finger-sized button, not ${box.width} x ${box.height}`);
  await app.page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
  await app.waitForLine('Draw Crystals Mode');
  await app.page.evaluate(() => window.scrollTo(0, 0));
  const first = await app.grab();
  await app.page.touchscreen.tap(130, 250);  // CSS pixels: device pixel 390, 750
  await app.waitForLine('mouse clicked at 390 419');
  const placed = changedBox(await app.settle(), first);
  assert.ok(placed && placed[0] - 12 <= 390 && 390 <= placed[2] + 12 && placed[1] - 12 <= 750 && 750 <= placed[3] + 12,
    `changes at ${placed} are not around the tap`);
  await app.page.setViewport({ ...PHONE, width: 844, height: 390 });  // turned: beside the panel
  // The turn reshapes: a smaller picture beside the panel, drawn at its size in device pixels.
  await app.page.waitForFunction(() => canvas.getBoundingClientRect().width < 390 &&
    canvas.width === 3 * canvas.getBoundingClientRect().width);
  const turned = await layout(app);
  assert.ok(turned.scrollWidth <= 844, JSON.stringify(turned));
  assert.deepEqual(errors, []);
});

test('in an 800 x 600 window the first click lands under the pointer, and the page stays put', async (t) => {
  const { app, errors } = await openPage(t, { width: 800, height: 600 }, { focus: false });
  const { device } = await layout(app);
  await app.click(200, 150);
  await app.waitForLine(`mouse clicked at 200 ${device - 1 - 150}`);
  assert.deepEqual(await app.page.evaluate(() => [window.scrollX, window.scrollY, document.activeElement.id]),
    [0, 0, 'canvas']);
  await app.move(300, 300);
  await app.page.mouse.wheel({ deltaY: 120 });
  await app.page.keyboard.press('Tab');  // on to the panel, where keys are not the program's
  assert.equal(await app.page.evaluate(() => document.activeElement.id), 'gallery-button');
  await app.key('q');
  assert.equal(await app.state(), 'running');
  await app.page.evaluate(() => document.activeElement.blur());  // the page itself has the keys
  await app.key('y');
  await app.page.waitForFunction(() => document.querySelector('#mode').textContent === 'Mode: Draw Crystals');
  assert.deepEqual(errors, []);
});

// 1 to 3 pixels this way and that, as a real finger held on a phone.
const DRIFT = [[1, 2], [-2, 1], [3, -3], [-1, -2]];

// A crystal held on the bank by a finger that stays put or drifts, for some animation frames
// (the program grows once a frame, however busy the machine), and then undone; its changed
// pixels. The touches are the page's own, as every browser sends them: Chromium would hold back
// moves this small by itself.
async function heldCrystal(app, frames, drifts) {
  const before = await app.grab();
  await app.page.evaluate(async (drift, count) => {
    const at = ([dx, dy]) => new Touch({ identifier: 7, target: canvas, clientX: 195 + dx, clientY: 200 + dy });
    const fire = (type, touch, down) => canvas.dispatchEvent(new TouchEvent(type, { bubbles: true,
      cancelable: true, changedTouches: [touch], touches: down ? [touch] : [], targetTouches: down ? [touch] : [] }));
    fire('touchstart', at([0, 0]), true);
    for (let i = 0; i < count; i++) {
      await new Promise((done) => requestAnimationFrame(done));
      if (drift && i % 3 === 0) fire('touchmove', at(drift[(i / 3) % drift.length]), true);
    }
    fire('touchend', at([0, 0]), false);
  }, drifts ? DRIFT : null, frames);
  const grown = countChanged(await app.settle(), before);
  await app.key('z');
  return grown;
}

test('a finger that drifts a few pixels holds still: its crystal grows as a still one\'s', async (t) => {
  const { app, errors } = await openPage(t, PHONE);
  await app.key('y');
  await heldCrystal(app, 60, false);  // the page warms up
  const drifting = await heldCrystal(app, 240, true);  // 4 s at 60 frames a second
  const still = await heldCrystal(app, 240, false);
  console.log(`held 240 frames: still ${still} changed pixels, drifting ${drifting}`);
  assert.ok(drifting >= 0.9 * still, `drifting ${drifting}, still ${still}`);
  assert.equal((await app.lines()).filter((l) => l.startsWith('mouse clicked')).length, 3, 'a press each, no drag');
  assert.deepEqual(errors, []);
});

// Touches the page may see, the button each leaves, and presses it makes: a cancel, a second
// finger, an end that never came.
const TOUCHES = [
  { name: 'a cancelled touch lets go', steps: [['touchstart', 1, [1]], ['touchcancel', 1, []]], presses: 1 },
  { name: 'a second finger is no button', steps: [['touchstart', 1, [1]], ['touchstart', 2, [1, 2]],
    ['touchend', 2, [1]], ['touchend', 1, []]], presses: 1 },
  { name: 'a finger whose end was lost lets go at the next touch', steps: [['touchstart', 1, [1]],
    ['touchstart', 3, [3]], ['touchend', 3, []]], presses: 2 },
];

test('a lost end, a cancel or a second finger never leaves the button held', async (t) => {
  const { app } = await openPage(t, PHONE);
  await app.key('y');
  for (const { name, steps, presses } of TOUCHES) {
    const from = (await app.lines()).length;
    await app.page.evaluate((all) => {
      const at = (id) => new Touch({ identifier: id, target: canvas, clientX: 60 + 70 * id, clientY: 200 });
      for (const [type, id, down] of all) {
        canvas.dispatchEvent(new TouchEvent(type, { bubbles: true, cancelable: true, changedTouches: [at(id)],
          touches: down.map(at), targetTouches: down.map(at) }));
      }
    }, steps);
    const rested = await app.settle();
    await new Promise((done) => setTimeout(done, 700));  // a held button would go on growing it
    assert.ok(samePicture(await app.grab(), rested), name);
    assert.equal((await app.lines()).slice(from).length, presses, name);
    await app.key('c');
  }
});

// The picture as the accessibility tree has it, and what the live region last said.
async function inWords(app) {
  const canvas = await app.page.$('#canvas');
  const node = await app.page.accessibility.snapshot({ root: canvas, interestingOnly: false });
  const told = await app.page.$eval('#announce', (region) => region.textContent.trim());
  return { name: node.name, description: node.description, told };
}

web.test('the picture says what is on the bank, and each placement, undo and clear is told once', async (app) => {
  const bare = await inWords(app);
  assert.equal(bare.name, 'Snow bank, bare');
  assert.match(bare.description, /^Nothing on the snow yet\. Draw chunks mode;.* scene not turned\./);
  await app.tool('Ice Color', 'Blue');
  assert.equal((await inWords(app)).told, 'Blue ice');
  await app.tool('Crystal Complexity', 'Side Arms (B)');  // a key's button, not the menu's
  assert.equal((await inWords(app)).told, 'Side arms off');
  await app.key('y');
  await app.click(200, 400);
  const one = await inWords(app);
  assert.deepEqual([one.name, one.told], ['Snow bank with 1 crystal', 'Blue crystal placed']);
  assert.match(one.description, /^1 blue crystal\. Draw crystals mode; the next crystal blue,/);
  await app.key('u');
  await app.drag(Array.from({ length: 8 }, (_, i) => [150 + 40 * i, 300]));
  const stroke = await inWords(app);
  const chunks = Number(/(\d+) chunks/.exec(stroke.name)[1]);
  assert.ok(chunks > 2, stroke.name);
  assert.equal(stroke.told, `Stroke of ${chunks} chunks`);
  await app.key('z');
  const undone = await inWords(app);
  assert.deepEqual([undone.name, undone.told], [`Snow bank with 1 crystal and ${chunks - 1} chunks`,
    'Undone: the newest chunk']);
  assert.match(undone.description, new RegExp(`^1 blue crystal, ${chunks - 1} blue chunks\\.`));
  await app.key('c');
  const cleared = await inWords(app);
  assert.deepEqual([cleared.name, cleared.told], ['Snow bank, bare', 'Scene cleared']);
});
