// Single-key commands, in both cases, as they show on the canvas.
import assert from 'node:assert/strict';
import { changedBox, changedPixels, countChanged, samePicture, savePng, webSuite } from './harness.mjs';

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
  await app.key('a', 'x', '0', '5', '9', ' ', 'Enter', 'Escape', 'Backspace', 'F1', 'ArrowLeft', 'ArrowUp',
    '1', '3', '4', '2');
  assert.ok(samePicture(await app.grab(), scene));
  assert.equal(await app.state(), 'running');
  assert.deepEqual((await app.lines()).slice(lines), []);
});

web.test('y and Y place crystals, u and U chunks', async (app) => {
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
  // Held still long enough for three depths of branches.
  await app.replay('key y; press 300 330; hold 150; release 300 330');
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
