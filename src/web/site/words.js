// The scene in words, for those who do not see the picture: the picture's name and description
// say what is on the bank, kept current from the program's own state; a polite live region says
// what a command or a placement did, once per click, stroke or command. The console stays as it
// is, for those who want the program's own lines.

import { running } from './run.js';
import { due, watcher } from './watch.js';

const canvas = document.getElementById('canvas');
const description = document.getElementById('scene-words');
const announcer = document.getElementById('announce');

const KIND = { c: ['crystal', 'crystals'], k: ['chunk', 'chunks'] };
const MODE = { crystals: 'Draw crystals mode', chunks: 'Draw chunks mode', rotate: 'Rotate mode' };
// The program's lines that tell what it refused or stopped, said as they are.
const TOLD = [/^Not changed: /, /^The crystal grows no larger/];

let started = false;
let known = null;      // the scene as last told
let gesture = null;    // a press under way: the scene before it, and whether it moved
let command = null;    // a command under way: clear, undo or another
let toldLine = false;  // the program said something itself during the command

const read = () => JSON.parse(Module.UTF8ToString(Module._frimel_scene_summary()));
const plural = (n, [one, many]) => `${n} ${n === 1 ? one : many}`;
const capital = (text) => text[0].toUpperCase() + text.slice(1);
const kindOf = (object) => KIND[object[0]][0];
const colourOf = (object) => object.slice(2);

// "2 crystals and 1 chunk", or null for a bare bank.
function counts(objects) {
  const parts = Object.entries(KIND).map(([key, names]) => [objects.filter((o) => o[0] === key).length, names])
    .filter(([n]) => n > 0).map(([n, names]) => plural(n, names));
  return parts.length ? parts.join(' and ') : null;
}

// "2 white crystals, 1 blue chunk": each kind and colour, in the order first placed.
function colours(objects) {
  const tally = new Map();
  for (const object of objects) tally.set(object, (tally.get(object) || 0) + 1);
  return [...tally].map(([object, n]) => `${n} ${colourOf(object)} ${KIND[object[0]][n === 1 ? 0 : 1]}`).join(', ');
}

function describe(scene) {
  const what = counts(scene.objects);
  const name = what ? `Snow bank with ${what}` : 'Snow bank, bare';
  const arms = !scene.sideArms ? 'no side arms' : scene.fourASide ? 'four side arms a side' : 'two side arms a side';
  const text = [
    what ? capital(colours(scene.objects)) + '.' : 'Nothing on the snow yet.',
    `${MODE[scene.mode]}; the next crystal ${scene.colour}, ${arms}, fractal depth ${scene.depth - 1}.`,
    `Ice ${scene.translucent ? 'translucent' : 'opaque'}; snow ${scene.surface ? 'with' : 'without'} its surface texture;`,
    `scene ${scene.turned ? 'turned' : 'not turned'}.`,
    'Arrow keys move a cursor on the snow, Enter or Space presses there; the menu is on the right button or the Menu button.',
  ].join(' ');
  if (canvas.getAttribute('aria-label') !== name) canvas.setAttribute('aria-label', name);
  if (description.textContent !== text) description.textContent = text;
}

// What changed from before to after, in a few words, or null.
function change(before, after, moved) {
  const added = after.objects.length - before.objects.length;
  if (command === 'clear') return 'Scene cleared';
  if (command === 'undo') return added < 0 ? `Undone: the newest ${kindOf(before.objects.at(-1))}` : 'Nothing to undo';
  const said = [];
  if (added === 1) said.push(`${capital(colourOf(after.objects.at(-1)))} ${kindOf(after.objects.at(-1))} placed`);
  else if (added > 1) said.push(`Stroke of ${plural(added, KIND[after.objects.at(-1)[0]])}`);
  if (after.mode !== before.mode) said.push(MODE[after.mode]);
  if (after.translucent !== before.translucent) said.push(after.translucent ? 'Translucent ice' : 'Opaque ice');
  if (after.surface !== before.surface) said.push(`Surface texture ${after.surface ? 'on' : 'off'}`);
  if (after.colour !== before.colour) said.push(`${capital(after.colour)} ice`);
  if (after.sideArms !== before.sideArms) said.push(`Side arms ${after.sideArms ? 'on' : 'off'}`);
  if (after.fourASide !== before.fourASide) said.push(after.fourASide ? 'Four arms a side' : 'Two arms a side');
  if (after.depth !== before.depth) said.push(`Fractal depth ${after.depth - 1}`);
  if (moved && after.mode === 'rotate') said.push('Scene turned');
  else if (before.turned && !after.turned && after.objects.length) said.push('Scene turned back');
  return said.length ? said.join('. ') : null;
}

// The same words twice in a row are still said: the region's text differs by a space.
let alternate = false;
function say(text) {
  alternate = !alternate;
  announcer.textContent = text + (alternate ? '' : '\u00a0');
}

function tell(moved = false) {
  if (!started || !running()) return;
  const now = read();
  const before = gesture ? gesture.before : known;
  const text = change(before, now, moved);
  if (text) say(text);
  known = now;
  describe(now);
}

// A key the program takes, or a command of the toolbar or the menu: told once it has run.
const takesKey = (event) => event.key.length === 1 &&
  [canvas, document.body, document.documentElement].includes(event.target);
function commandOf(key, menu, value) {
  const main = Module.glutMenus && Module.glutMenus.buttons[2];
  if (key === 'c' || key === 'C' || (menu === main && value === 0)) return 'clear';
  if (key === 'z' || key === 'Z' || (menu === main && value === 8)) return 'undo';
  return 'other';
}
function commandDone(name) {
  command = name;
  tell();
  command = null;
  toldLine = false;
}

window.addEventListener('keydown', (event) => {
  if (started && running() && takesKey(event)) commandDone(commandOf(event.key));
});
window.addEventListener('frimel-command', (event) => {
  if (started) commandDone(commandOf(null, event.detail?.menu, event.detail?.value));
});

// A press of the left button on the picture, whatever made it (a mouse, a finger, the
// keyboard's cursor): told once, when it ends. Seen before the toolkit places anything.
window.addEventListener('mousedown', (event) => {
  if (!started || !running() || event.button !== 0 || event.target !== canvas) return;
  gesture = { before: read(), moved: false };
}, true);
window.addEventListener('mousemove', (event) => {
  if (gesture && event.buttons & 1) gesture.moved = true;
}, true);
window.addEventListener('mouseup', (event) => {
  if (!gesture || event.button !== 0) return;
  const { moved } = gesture;
  tell(moved);
  gesture = null;
});

// Frames show growth and opened sketches: the description follows; what happened was told.
// Read at the first frame the scene rests at after a change: growing changes no word, and
// reading the scene costs the page time in proportion to what is on the bank.
const wordsWatch = watcher();
export function frame() {
  if (!started || !running() || !due(wordsWatch, Module._frimel_resting() !== 0)) return;
  const now = read();
  if (!now.held && !gesture) known = now;
  describe(now);
}

export function consoleLine(text) {
  if (!started || !TOLD.some((pattern) => pattern.test(text))) return;
  say(text);
  toldLine = true;
}

export function start() {
  started = true;
  known = read();
  describe(known);
}
