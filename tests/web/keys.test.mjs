// Single-key commands, in both cases, as they show on the canvas.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { changedBox, changedPixels, countChanged, readPng, samePicture, savePng, webSuite } from './harness.mjs';

const web = webSuite();

// One crystal in the middle of the bank; the picture before it and with it.
async function oneCrystal(app) {
  const first = await app.grab();
  await app.key('y');
  await app.click(300, 300);
  const scene = await app.settle();
  const [x0, y0, x1, y1] = changedBox(scene, first);
  return { first, scene, crystal: [x0 - 3, y0 - 3, x1 + 4, y1 + 4] };
}

const inside = (box, [x0, y0, x1, y1]) => box[0] >= x0 && box[1] >= y0 && box[2] < x1 && box[3] < y1;
// Summed colour distance from the bare bank over a region: smaller when the snow shows through.
const distance = (p, first, [x0, y0, x1, y1]) => {
  let sum = 0;
  for (let y = y0; y < y1; y++) {
    for (let i = 3 * (y * p.width + x0); i < 3 * (y * p.width + x1); i++) sum += Math.abs(p.rgb[i] - first.rgb[i]);
  }
  return sum;
};

// Each look key, what it must show against the crystal scene, and the key that undoes it.
const LOOKS = [
  { on: 's', off: 's', shows: 'another bank under the same sky',
    check: (p, { scene }) => countChanged(p, scene, 8) > 20000 &&
      countChanged(p, scene, 0, [0, 0, 600, 50]) === 0 },
  { on: 'b', off: 'b', shows: 'the crystal without side arms',
    check: (p, { first, scene, crystal }) => inside(changedBox(p, scene, 0), crystal) &&
      countChanged(p, first) < countChanged(scene, first) },
  { on: 'd', off: 'd', shows: 'more arms',
    check: (p, { first, scene }) => countChanged(p, first) > countChanged(scene, first) },
  { on: 't', off: 'o', shows: 'the snow through the crystal',
    check: (p, { first, scene, crystal }) => inside(changedBox(p, scene, 0), crystal) &&
      distance(p, first, crystal) < distance(scene, first, crystal) },
];

web.test('look keys change the picture as designed, in either case, and back exactly', async (app) => {
  const looks = await oneCrystal(app);
  for (const { on, off, shows, check } of LOOKS) {
    const pictures = [];
    for (const [first, second] of [[on, off.toUpperCase()], [on.toUpperCase(), off]]) {
      await app.key(first);
      const shown = await app.grab();
      assert.ok(check(shown, looks), `${first} should show ${shows}`);
      pictures.push(shown);
      await app.key(second);
      assert.ok(samePicture(await app.grab(), looks.scene), `${second} should bring the scene back`);
    }
    assert.ok(samePicture(...pictures), `${on} and ${on.toUpperCase()} should show the same`);
  }
  await app.key('t', 'T');
  assert.ok(!samePicture(await app.grab(), looks.scene), 't and T set translucency, they do not toggle it');
});

web.test('keys without a command, and depth keys on a small crystal, change nothing', async (app) => {
  const { scene } = await oneCrystal(app);
  const lines = (await app.lines()).length;
  await app.key('a', 'x', '0', '5', '9', 'Escape', 'Backspace', 'F1', 'Home', '1', '3', '4', '2');
  assert.ok(samePicture(await app.grab(), scene));
  assert.equal(await app.state(), 'running');
  assert.deepEqual((await app.lines()).slice(lines), []);
});

web.core('y and Y place crystals, u and U chunks', async (app) => {
  for (const [i, [key, crystal]] of [['u', false], ['Y', true], ['U', false], ['y', true]].entries()) {
    await app.key(key);
    await app.click(200 + 50 * i, 350);
    const placed = await app.settle();
    await app.key('b');  // only a crystal has side arms to hide
    assert.equal(!samePicture(await app.grab(), placed), crystal, `${key} places a ${crystal ? 'crystal' : 'chunk'}`);
    await app.key('b', 'z');  // one object at a time
  }
});

web.test('z undoes the newest object and c clears all, in either case', async (app) => {
  const first = await app.grab();
  await app.click(200, 250);
  const one = await app.settle();
  await app.key('y');
  await app.click(400, 350);
  assert.ok(!samePicture(await app.settle(), one));
  await app.key('z');
  assert.ok(samePicture(await app.grab(), one), 'z takes back the crystal');
  await app.key('Z');
  assert.ok(samePicture(await app.grab(), first), 'Z takes back the chunk');
  await app.key('z');  // nothing left to take back
  assert.ok(samePicture(await app.grab(), first));
  for (const clear of ['c', 'C']) {
    await app.key('y');
    await app.drag(Array.from({ length: 8 }, (_, i) => [150 + 30 * i, 250]));
    await app.key('u');
    await app.click(300, 400);
    await app.key('t', 'r');
    assert.ok(!samePicture(await app.settle(), first));
    await app.key(clear);
    assert.ok(samePicture(await app.grab(), first), `${clear} clears every object`);
    // The clear also left rotate mode and made ice opaque again.
    await app.click(300, 300);
    const after = await app.settle();
    await app.key('o');
    assert.ok(samePicture(await app.grab(), after) && !samePicture(after, first), `${clear} leaves placing, opaque`);
    await app.key('z');
  }
});

web.test('depth keys and the Fractal Depth entries add and take away branch depths', async (app) => {
  const first = await app.grab();
  // Held still long enough for three depths of branches; without side arms, so that the deepest
  // branching stays within the cone bound.
  await app.replay('key y; key b; press 300 330; hold 150; release 300 330');
  const depths = {};
  for (const key of ['2', '1', '3', '4']) {
    await app.key(key);
    depths[key] = await app.settle();
  }
  savePng(depths['4'], 'depth-4');
  const covered = ['1', '2', '3', '4'].map((key) => countChanged(depths[key], first));
  assert.deepEqual(covered, [...new Set(covered)].sort((a, b) => a - b), `each depth adds branches: ${covered}`);
  for (const [entry, key] of [['0', '1'], ['2', '3'], ['1', '2']]) {
    await app.chooseMenu('Fractal Depth', entry);
    const shown = await app.settle();
    assert.ok(samePicture(shown, depths[key]),
      `entry ${entry} should show what key ${key} shows (${changedPixels(shown, depths[key]).length} differ)`);
  }
});

// ---- The keyboard's cursor, driven by DevTools' key events alone: no pointer event at all.

async function keyWith(app, modifier, key) {
  if (modifier) await app.page.keyboard.down(modifier);
  await app.page.keyboard.press(key);
  if (modifier) await app.page.keyboard.up(modifier);
}

// Moves the cursor from one canvas pixel to another: 40 pixels with Ctrl, 4 alone, 1 with Shift.
async function cursorTo(app, from, to, between = async () => {}) {
  for (const [axis, more, less] of [[0, 'ArrowRight', 'ArrowLeft'], [1, 'ArrowDown', 'ArrowUp']]) {
    let left = Math.abs(to[axis] - from[axis]);
    for (const [size, modifier] of [[40, 'Control'], [4, null], [1, 'Shift']]) {
      for (; left >= size; left -= size) {
        await keyWith(app, modifier, to[axis] > from[axis] ? more : less);
        await between();
      }
    }
  }
  return to;
}

// Where the cursor's mark stands, in canvas pixels, or null when hidden.
const cursorMark = (app) => app.page.$eval('#cursor', (mark) => (mark.hidden ? null
  : [parseFloat(mark.style.left) - 0.5, parseFloat(mark.style.top) - 0.5]));
const told = (app) => app.page.$eval('#announce', (region) => region.textContent.trim());
const clickLines = async (app, from) => (await app.lines()).slice(from).filter((line) => line.startsWith('mouse clicked'));

web.test('with the keys alone: placing at chosen pixels, holding, a stroke, turning, undo and save', async (app) => {
  const { page } = app;
  await app.key('y');
  const bare = await app.grab();
  await page.keyboard.press('ArrowUp');  // shows the cursor in the middle, moving nothing
  assert.deepEqual(await cursorMark(app), [300, 300]);
  assert.ok(samePicture(await app.grab(), bare), 'the cursor is drawn over the picture, not in it');

  // Three chosen pixels: the lines a mouse there prints (x, and rows from the bottom).
  let at = [300, 300];
  let from = (await app.lines()).length;
  for (const [target, key] of [[[151, 422], 'Enter'], [[437, 263], ' '], [[299, 301], 'Enter']]) {
    at = await cursorTo(app, at, target);
    assert.deepEqual(await cursorMark(app), target);
    await page.keyboard.press(key === ' ' ? 'Space' : key);
  }
  await app.nextFrames(2);
  assert.deepEqual(await clickLines(app, from), ['mouse clicked at 151 177', 'mouse clicked at 437 336',
    'mouse clicked at 299 298']);
  assert.equal(await told(app), 'White crystal placed');

  // Held, with the key's auto-repeat: one press, and the crystal grows its fractal branches,
  // past what a short press at the same pixel grows to.
  await app.key('4');
  at = await cursorTo(app, at, [300, 470]);
  await page.keyboard.press('Enter');
  const placed = await app.settle();
  await app.key('z');
  const three = await app.grab();
  from = (await app.lines()).length;
  await page.keyboard.down('Enter');
  for (let i = 0; i < 6; i++) {
    await app.nextFrames(15);
    await page.keyboard.down('Enter');
  }
  await page.keyboard.up('Enter');
  const held = await app.settle();
  assert.equal((await clickLines(app, from)).length, 1, 'auto-repeat never presses again');
  assert.ok(countChanged(held, three) > 3 * countChanged(placed, three),
    `held ${countChanged(held, three)} pixels, pressed ${countChanged(placed, three)}`);
  await app.key('2');

  // A stroke: arrows while Enter is held drag, told once at its end.
  await cursorTo(app, at, [150, 540]);
  at = [150, 540];
  const count = () => page.evaluate(() => JSON.parse(UTF8ToString(Module._frimel_scene_summary())).objects.length);
  const before = await count();
  await page.keyboard.down('Enter');
  at = await cursorTo(app, at, [450, 540], () => app.nextFrames(2));
  await page.keyboard.up('Enter');
  const stroke = await count() - before;
  assert.ok(stroke >= 4, `${stroke} crystals in the stroke`);
  assert.equal(await told(app), `Stroke of ${stroke} crystals`);

  // In rotate mode the arrows alone turn the scene; the cursor stays.
  const flat = await app.settle();
  await app.key('r');
  for (let i = 0; i < 8; i++) await keyWith(app, 'Control', 'ArrowRight');
  await app.nextFrames(3);
  assert.deepEqual(await cursorMark(app), at);
  // A loaded machine may deliver the last turning steps a few frames later.
  let turned = 0;
  for (let tries = 0; tries < 20 && turned <= 20000; tries++) {
    turned = countChanged(await app.grab(), flat);
    if (turned <= 20000) await app.nextFrames(2);
  }
  assert.ok(turned > 20000, `the scene turned (${turned} pixels changed)`);
  assert.equal(await told(app), 'Scene turned');

  await app.key('y', 'z');
  assert.equal(await told(app), 'Undone: the newest crystal');
  assert.equal(await count(), before + stroke - 1);

  // Escape hides the cursor; Tab leaves the picture, for Save picture.
  await page.keyboard.press('Escape');
  assert.equal(await cursorMark(app), null);
  const shown = await app.grab();
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-keys-'));
  try {
    const png = readPng(await app.download(folder, 'frimel.png', async () => {
      while (await page.evaluate(() => document.activeElement.id) !== 'save-button') await page.keyboard.press('Tab');
      await page.keyboard.press('Enter');
    }));
    assert.ok(samePicture(png, shown));
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});

web.test('a press by key ends with its key, or when the picture loses the focus', async (app) => {
  const { page } = app;
  await app.key('y', '4');
  const from = (await app.lines()).length;
  await page.keyboard.press('ArrowUp');
  await page.keyboard.down('Enter');
  await page.keyboard.press('Space');  // the other press key, while held, presses nothing
  const held = () => page.evaluate(() => JSON.parse(UTF8ToString(Module._frimel_scene_summary())).held);
  assert.equal(await held(), true);
  await page.$eval('#save-button', (button) => button.focus());
  assert.equal(await held(), false, 'the focus left: released');
  await page.keyboard.up('Enter');
  await page.focus('#canvas');
  await page.keyboard.down('Enter');
  assert.equal(await held(), true);
  await page.keyboard.up('Enter');
  assert.equal(await held(), false, 'the key came up: released');
  assert.equal((await clickLines(app, from)).length, 2);
  assert.equal(await told(app), 'White crystal placed');
});
