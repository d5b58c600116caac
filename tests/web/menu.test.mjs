// The right-button pop-up menu, every entry picked with the pointer.
import assert from 'node:assert/strict';
import { LOAD_LINES, changedPixels, countChanged, samePicture, webSuite } from './harness.mjs';

const web = webSuite();

const MAIN = [['Draw Crystals (Y)', '1'], ['Draw Chunks (U)', '5'], ['Ice Color', null], ['Opaque (O)', '3'],
  ['Translucent (T)', '4'], ['Toggle Surface Texture (S)', '9'], ['Rotate Scene (R)', '2'],
  ['Crystal Complexity', null], ['Fractal Depth', null], ['Undo (Z)', '8'], ['Clear (C)', '0'], ['Exit (Q)', '6']];
const SUBMENUS = {
  'Ice Color': [['White', '0'], ['Blue', '1'], ['Green', '3'], ['Red', '2'], ['Purple', '4']],
  'Crystal Complexity': [['1D', '1'], ['2D', '2'], ['3D', '3']],
  'Fractal Depth': [['0', '1'], ['1', '2'], ['2', '3']],
};
const shape = (entries) => entries.map(({ label, value }) => [label, value]);
const menuShown = async (app) => (await app.visibleMenus()).length > 0;

web.test('the right button opens the menu at the pointer, in order, with its submenus', async (app) => {
  await app.page.evaluate(() => document.addEventListener('contextmenu', (event) => {
    window.browserMenuBlocked = event.defaultPrevented;
  }));
  await app.openMenu(250, 200);
  const [menu] = await app.visibleMenus();
  const [x, y] = app.at(250, 200);
  assert.ok(Math.abs(menu.left - x) <= 3 && Math.abs(menu.top - y) <= 3, `menu at ${menu.left},${menu.top}, not ${x},${y}`);
  assert.deepEqual(shape(menu.entries), MAIN);
  assert.deepEqual(menu.entries.filter((e) => e.submenu).map((e) => e.label), Object.keys(SUBMENUS));
  for (const [label, entries] of Object.entries(SUBMENUS)) {
    await app.openSubmenu(0, label);
    const menus = await app.visibleMenus();
    assert.equal(menus.length, 2, `${label}: one submenu on show`);
    assert.deepEqual(shape(menus[1].entries), entries);
  }
  assert.equal(await app.page.evaluate(() => window.browserMenuBlocked), true, 'no browser context menu');
  await app.key('Escape');
  assert.equal(await menuShown(app), false);
});

web.test('Escape and a click beside the canvas close the menu doing nothing; the left button never opens it', async (app) => {
  const first = await app.grab();
  const close = [() => app.key('Escape'), () => app.page.mouse.click(1150, 950)];
  for (const closing of close) {
    await app.openMenu();
    await app.openSubmenu(0, 'Ice Color');
    await closing();
    assert.equal(await menuShown(app), false);
  }
  for (const mode of ['u', 'r', 'y']) {
    await app.key(mode);
    await app.click(300, 300 - 40);
    assert.equal(await menuShown(app), false, `left button in mode ${mode}`);
  }
  await app.key('z', 'z');
  assert.ok(samePicture(await app.grab(), first));
  assert.deepEqual((await app.lines()).slice(LOAD_LINES.length),
    ['mouse clicked at 300 339', 'mouse clicked at 300 339', 'mouse clicked at 300 339']);
});

web.test('the mode entries print their line and switch placing and turning', async (app) => {
  await app.click(350, 300);
  const scene = await app.settle();
  await app.chooseMenu('Rotate Scene (R)');
  await app.drag(Array.from({ length: 6 }, (_, i) => [300 + 8 * i, 300]));
  assert.ok(countChanged(await app.grab(), scene) > 5000, 'the scene turned');
  await app.chooseMenu('Draw Chunks (U)');
  assert.ok(samePicture(await app.grab(), scene), 'unrotated again');
  await app.chooseMenu('Draw Crystals (Y)');
  await app.click(200, 400);
  const crystal = await app.settle();
  await app.key('b');  // a crystal loses its side arms
  assert.ok(!samePicture(await app.grab(), crystal));
  assert.deepEqual((await app.lines()).slice(LOAD_LINES.length), ['mouse clicked at 350 299', 'Rotate Mode',
    'mouse clicked at 300 299', 'Draw Chunks Mode', 'Draw Crystals Mode', 'mouse clicked at 200 199']);
});

// Each step is keys or a menu path; the first time a picture name appears it is recorded (and
// must differ from the scene), every later time the picture must equal it exactly.
const LOOK_STEPS = [
  [['t'], 'seeThrough'], [['o'], 'scene'], [['menu', 'Translucent (T)'], 'seeThrough'],
  [['menu', 'Opaque (O)'], 'scene'],
  [['s'], 'snow'], [['s'], 'scene'], [['menu', 'Toggle Surface Texture (S)'], 'snow'],
  [['menu', 'Toggle Surface Texture (S)'], 'scene'],
  [['b'], 'noArms'], [['b'], 'scene'], [['d'], 'raisedArms'], [['d'], 'scene'],
  [['menu', 'Crystal Complexity', '1D'], 'noArms'], [['b'], 'raisedArms'],
  [['menu', 'Crystal Complexity', '2D'], 'scene'], [['menu', 'Crystal Complexity', '3D'], 'raisedArms'],
  [['menu', 'Crystal Complexity', '2D'], 'scene'],
  [['tool', 'Translucent (T)'], 'seeThrough'], [['tool', 'Opaque (O)'], 'scene'],
  [['tool', 'Toggle Surface Texture (S)'], 'snow'], [['tool', 'Toggle Surface Texture (S)'], 'scene'],
  [['tool', 'Crystal Complexity', '1D'], 'noArms'], [['tool', 'Crystal Complexity', '3D'], 'raisedArms'],
  [['tool', 'Crystal Complexity', '2D'], 'scene'],
  [['click'], 'second'], [['menu', 'Undo (Z)'], 'scene'], [['click'], 'third'], [['tool', 'Undo (Z)'], 'scene'],
  [['menu', 'Clear (C)'], 'first'], [['click'], 'fourth'], [['tool', 'Clear (C)'], 'first'],
];

web.test('each look and history entry shows exactly what its key shows', async (app) => {
  const seen = { first: await app.grab() };
  await app.key('y');
  await app.click(300, 300);
  seen.scene = await app.settle();
  for (const [[kind, ...rest], name] of LOOK_STEPS) {
    if (kind === 'menu') await app.chooseMenu(...rest);
    else if (kind === 'tool') await app.tool(...rest);
    else if (kind === 'click') await app.click(200, 420);
    else await app.key(kind);
    const shown = await app.settle();
    const step = `${[kind, ...rest].join(' ')} -> ${name}`;
    if (seen[name]) assert.ok(samePicture(shown, seen[name]), step);
    else assert.ok(!samePicture(shown, seen.scene), step);
    seen[name] ??= shown;
  }
});

// Depth shows only on a crystal held long enough to branch twice. Each step's picture, the first
// time its name comes, must differ from the one before; after that it must be the same.
const BIG_CRYSTAL = 'key y\nsrand 1\npress 300 330\nhold 400\nrelease 300 330\nsettle';
const DEPTH_STEPS = [[['3'], 'two'], [['tool', 'Fractal Depth', '0'], 'none'], [['1'], 'none'],
  [['tool', 'Fractal Depth', '2'], 'two'], [['tool', 'Fractal Depth', '0'], 'none'],
  [['menu', 'Fractal Depth', '2'], 'two'], [['tool', 'Fractal Depth', '1'], 'one'], [['2'], 'one']];

web.test('each Fractal Depth button draws a big crystal as its key does', async (app) => {
  let before = await app.grab(BIG_CRYSTAL);
  const seen = {};
  for (const [[kind, ...rest], name] of DEPTH_STEPS) {
    if (kind === 'tool') await app.tool(...rest);
    else if (kind === 'menu') await app.chooseMenu(...rest);
    else await app.key(kind);
    const shown = await app.grab();
    const step = `${[kind, ...rest].join(' ')} -> ${name}`;
    assert.ok(seen[name] ? samePicture(shown, seen[name]) : !samePicture(shown, before), step);
    seen[name] ??= shown;
    before = shown;
  }
});

for (const via of ['menu', 'tool']) web.test(`each ice colour (${via}) shows on the next object only`, async (app) => {
  const first = await app.grab();
  const spots = { Blue: [150, 200], Green: [300, 200], Red: [450, 200], Purple: [200, 420], White: [400, 420] };
  const colourAt = (picture, [x, y]) => {
    const changed = changedPixels(picture, first, 24, [x - 40, y - 40, x + 40, y + 40]);
    assert.ok(changed.length > 30, `an object at ${x},${y}`);
    const rgb = [0, 0, 0];
    for (const [px, py] of changed) for (let c = 0; c < 3; c++) rgb[c] += picture.rgb[3 * (py * 600 + px) + c];
    return rgb.map((v) => v / changed.length);
  };
  await app.key('y');
  let picture = first;
  for (const [colour, [x, y]] of Object.entries(spots)) {
    await (via === 'menu' ? app.chooseMenu('Ice Color', colour) : app.tool('Ice Color', colour));
    assert.ok(samePicture(await app.grab(), picture), `${colour} changes nothing already placed`);
    await app.click(x, y);
    picture = await app.settle();
  }
  const [blue, green, red, purple, white] = Object.values(spots).map((spot) => colourAt(picture, spot));
  assert.ok(blue[2] > blue[0] + 25, `blue ${blue}`);
  assert.ok(green[1] > green[0] + 25 && green[1] > green[2] + 10, `green ${green}`);
  assert.ok(red[0] > red[1] + 25 && red[0] > red[2] + 25, `red ${red}`);
  assert.ok(purple[0] > purple[1] + 25 && purple[2] > purple[1] + 25, `purple ${purple}`);
  assert.ok(Math.max(...white) - Math.min(...white) < 40, `white ${white}`);
});

web.test('Exit (Q) ends the program with status 0', async (app) => {
  await app.chooseMenu('Exit (Q)');
  assert.deepEqual(await app.waitForEnd(), { status: 0, text: 'Frimel has ended (exit status 0)' });
  assert.deepEqual(await app.lines(), LOAD_LINES);
});

// The toolbar: the menu's entries in its order, a row of buttons for each submenu, Exit apart.
const TOOL_ROWS = MAIN.reduce((rows, [label, value]) => {
  if (value === '6') rows.push([null, [[label, value]]]);
  else if (value) rows.at(-2)[1].push([label, value]);
  else rows.splice(-1, 0, [label, SUBMENUS[label]], [null, []]);
  return rows;
}, [[null, []], [null, []]]).filter(([, buttons]) => buttons.length > 0);
// What shows as chosen at the start: every setting in force, and no command.
const START_CHOSEN = ['Draw Chunks (U)', 'White', 'Opaque (O)', '2D', 'Side Arms (B)', '1'];
const sorted = (labels) => [...labels].sort();

web.test('the toolbar mirrors the menu, shows every setting in force, and is inert once Exit (Q) ends it', async (app) => {
  assert.deepEqual(await app.toolbarRows(), TOOL_ROWS);
  const shown = () => app.page.evaluate(() => [document.querySelector('#mode').textContent,
    [...document.querySelectorAll('#toolbar [aria-pressed=true]')].map((b) => b.textContent).sort(),
    [...document.querySelectorAll('#toolbar button:not([aria-pressed])')].map((b) => b.textContent)]);
  assert.deepEqual(await shown(), ['Mode: Draw Chunks', sorted(START_CHOSEN), ['Menu', 'Save picture', 'Share link', 'Open',
    'Save 3-D model', 'Undo (Z)', 'Clear (C)', 'Exit (Q)']]);
  for (const [label, line, mode] of [['Draw Crystals (Y)', 'Draw Crystals Mode', 'Draw Crystals'],
    ['Rotate Scene (R)', 'Rotate Mode', 'Rotate Scene'], ['Draw Chunks (U)', 'Draw Chunks Mode', 'Draw Chunks']]) {
    const from = (await app.lines()).length;
    await app.tool(label);
    await app.waitForLine(line, from);
    await app.nextFrames(2);
    assert.deepEqual((await shown()).slice(0, 2), ['Mode: ' + mode, sorted([label, ...START_CHOSEN.slice(1)])]);
  }
  // Keys, the keys-only buttons and the colour, which asks for no frame, show as chosen too.
  await app.key('y', 't', 's');
  await app.tool('Ice Color', 'Red');
  await app.tool('Fractal Depth', '3 (4)');
  await app.tool('Crystal Complexity', 'Four a Side (D)');
  await app.nextFrames(2);
  assert.deepEqual((await shown()).slice(0, 2), ['Mode: Draw Crystals', sorted(['Draw Crystals (Y)', 'Red',
    'Translucent (T)', 'Toggle Surface Texture (S)', '3D', 'Side Arms (B)', 'Four a Side (D)', '3 (4)'])]);
  assert.equal(await app.page.evaluate(() => document.activeElement.id), 'canvas', 'the keys stay with the picture');
  await app.page.click('#menu-button');
  assert.deepEqual(shape((await app.visibleMenus())[0].entries), MAIN);
  await app.key('Escape');
  await app.tool('Exit (Q)');
  assert.deepEqual(await app.waitForEnd(), { status: 0, text: 'Frimel has ended (exit status 0)' });
  await app.page.evaluate(() => document.querySelectorAll('#toolbar button').forEach((b) => b.click()));
  assert.equal(await menuShown(app), false);
  assert.deepEqual(await app.lines(), [...LOAD_LINES, 'Draw Crystals Mode', 'Rotate Mode', 'Draw Chunks Mode']);
});

web.test('the menu works from the keyboard, and at 320 pixels its submenus leave its labels uncovered', async (app) => {
  await app.page.focus('#menu-button');
  await app.page.keyboard.press('Enter');
  await app.page.waitForSelector('#menu', { visible: true });
  const focused = () => app.page.evaluate(() => document.activeElement.textContent);
  assert.equal(await focused(), 'Draw Crystals (Y)');
  for (const key of ['ArrowUp', 'ArrowUp', 'ArrowUp', 'ArrowUp', 'ArrowUp']) await app.page.keyboard.press(key);
  assert.equal(await focused(), 'Crystal Complexity');
  await app.page.keyboard.press('ArrowRight');
  assert.equal(await focused(), '1D');
  await app.page.keyboard.press('ArrowLeft');
  assert.equal(await focused(), 'Crystal Complexity');
  await app.page.keyboard.press('ArrowUp');
  await app.page.keyboard.press('Enter');  // Rotate Scene (R)
  await app.waitForLine('Rotate Mode');
  assert.equal(await menuShown(app), false);

  await app.page.setViewport({ width: 320, height: 640 });
  for (const label of Object.keys(SUBMENUS)) {
    await app.openMenu(20, 20);
    await app.openSubmenu(0, label);
    // Every label of the main menu still shows, or the submenu stands in its place with a way back.
    const covered = await app.page.evaluate(() => {
      const [main, sub] = [...document.querySelectorAll('.menu')];
      const box = sub.getBoundingClientRect();
      const inside = box.left >= 0 && box.right <= innerWidth;
      const hidden = main.classList.contains('behind') && sub.querySelector('.back') !== null;
      const overlaps = [...main.children].filter((e) => e.classList.contains('menu-entry')).some((e) => {
        const r = e.getBoundingClientRect();
        return r.right > box.left && r.left < box.right && r.bottom > box.top && r.top < box.bottom;
      });
      return { inside, covers: overlaps && !hidden };
    });
    assert.deepEqual(covered, { inside: true, covers: false }, label);
    await app.key('Escape');
  }
});
