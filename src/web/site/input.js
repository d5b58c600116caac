// Which of the page's events reach the program, and as what. The toolkit listens on window in
// the capture phase, after these listeners (this module runs before it, after the menu's): keys
// only from the picture or the page itself, no wheel, and one finger on the picture as the left
// button, held still while it moves less than a finger's slop.

import { running, onChange } from './run.js';

// Keys that would scroll the page rather than reach the program.
const SCROLL_KEYS = new Set([' ', 'ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'PageUp',
  'PageDown', 'Home', 'End']);
// A press that moves less than this (CSS pixels, as phone toolkits have it) is held still.
const TOUCH_SLOP = 8;

const canvas = document.getElementById('canvas');

// Keys go to the program only from the picture or the page itself; Tab always moves focus.
// On the picture the arrows, Enter, Space and Escape work the keyboard's cursor instead
// (keyboardCursor, below): the program has no use for them.
const takesKeys = (target) => target === canvas || target === document.body ||
  target === document.documentElement;
for (const type of ['keydown', 'keyup']) {
  window.addEventListener(type, (event) => {
    if (event.key === 'Tab' || !takesKeys(event.target)) event.stopImmediatePropagation();
    else if (event.target === canvas && keyboardCursor(event)) {
      event.stopImmediatePropagation();
      event.preventDefault();
    }
  }, true);
}
canvas.addEventListener('keydown', (event) => {
  if (SCROLL_KEYS.has(event.key)) event.preventDefault();
});

// The toolkit cancels the pointer press, which would otherwise have focused the canvas; the
// page must not scroll under the pointer before the toolkit reads where the press is. The focus
// ring is the keyboard's: a press takes it away, as it would have if the browser had focused.
canvas.addEventListener('pointerdown', (event) => {
  if (!event.isTrusted) return;  // the keyboard's cursor: the picture has the focus already
  if (canvas.matches(':focus-visible')) canvas.blur();
  canvas.focus({ preventScroll: true, focusVisible: false });
});
// The skip link leads the keyboard to the picture without a change of address.
document.getElementById('skip').addEventListener('click', (event) => {
  event.preventDefault();
  canvas.focus();
});

// The program has no use for the wheel; the toolkit's listener would try to cancel a scroll
// it may not, as the browser makes window wheel listeners passive.
for (const type of ['mousewheel', 'DOMMouseScroll']) {
  window.addEventListener(type, (event) => event.stopImmediatePropagation(), true);
}

// ---- The keyboard's cursor on the snow. The arrows show it and move it (Shift: one pixel; Ctrl,
// or Option on a Mac, where Ctrl and the arrows switch desktops: large steps); Enter or Space
// presses the left button where it is and releases it on key up, so a held key grows the
// newest object as a still mouse does, and moving while it is held drags. Escape hides it. In
// rotate mode an arrow alone turns the scene: a short drag from the cursor, through the
// trackball. The program gets the very events a mouse at the cursor's pixel would send; the
// cursor is drawn over the picture, never into it.
const cursorMark = document.getElementById('cursor');
const STEP = 4;         // CSS pixels
const LARGE_STEP = 40;
const ARROWS = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
const onMac = /^Mac/.test(navigator.platform);
let spot = null;        // the cursor's pixel of the canvas, rows from the top; null: hidden
let pressKey = null;    // the key that holds the button down
let turn = null;        // a rotate-mode turn under way: where its drag has reached

// The middle of the bank lies under the middle of the picture.
const middle = () => ({ x: canvas.width >> 1, y: canvas.height >> 1 });

// The page's coordinates of a canvas pixel's middle, as the toolkit maps them back.
function pointerAt({ x, y }) {
  const box = canvas.getBoundingClientRect();
  return [box.left + (x + 0.5) * box.width / canvas.width, box.top + (y + 0.5) * box.height / canvas.height];
}

// A mouse's pointer and mouse events, in its order; the toolkit and the page take them as a
// mouse's. A made-up mouse event rounds its coordinates to whole CSS pixels, too coarse where
// a CSS pixel holds several of the canvas's: the event keeps them exact.
function mouse(type, at) {
  const [clientX, clientY] = pointerAt(at);
  const held = type === 'move' ? pressKey !== null || turn !== null : type === 'down';
  const init = { bubbles: true, cancelable: true, view: window, clientX, clientY, button: 0,
    buttons: held ? 1 : 0 };
  canvas.dispatchEvent(new PointerEvent('pointer' + type, { ...init, pointerId: 1, pointerType: 'mouse',
    isPrimary: true }));
  const event = new MouseEvent('mouse' + type, init);
  for (const [name, value] of [['clientX', clientX], ['clientY', clientY], ['pageX', clientX + window.scrollX],
    ['pageY', clientY + window.scrollY]]) Object.defineProperty(event, name, { value });
  canvas.dispatchEvent(event);
}

function showCursor() {
  if (!spot) spot = middle();
  const box = canvas.getBoundingClientRect();
  cursorMark.style.left = (spot.x + 0.5) * box.width / canvas.width + 'px';
  cursorMark.style.top = (spot.y + 0.5) * box.height / canvas.height + 'px';
  cursorMark.classList.toggle('pressed', pressKey !== null);
  cursorMark.hidden = false;
}

function hideCursor() {
  release();
  spot = null;
  cursorMark.hidden = true;
}

function release() {
  if (pressKey === null) return;
  pressKey = null;
  mouse('up', spot);
  showCursor();
}

const clamp = (value, size) => Math.min(size - 1, Math.max(0, value));

function moveBy([dx, dy], event) {
  const css = canvas.width / canvas.getBoundingClientRect().width;
  const step = event.shiftKey ? 1 : Math.round((event.ctrlKey || (onMac && event.altKey) ? LARGE_STEP : STEP) * css);
  if (!spot) {
    showCursor();
    if (running() && Module._frimel_rotating()) turnBy(dx * step, dy * step);
    return;
  }
  // In rotate mode an arrow with no button held turns the scene; the cursor stays.
  if (pressKey === null && Module._frimel_rotating()) {
    turnBy(dx * step, dy * step);
    return;
  }
  spot = { x: clamp(spot.x + dx * step, canvas.width), y: clamp(spot.y + dy * step, canvas.height) };
  showCursor();
  if (pressKey !== null) mouse('move', spot);
}

// The turn is drawn by the frame after the move, while the button is still down: released
// only once a frame has been shown, however long the graphics take to come to it.
function turnBy(dx, dy) {
  if (!turn) {
    turn = { ...spot };
    mouse('down', turn);
    window.addEventListener('frimel-frame', () => {
      const at = turn;
      turn = null;
      mouse('up', at);
    }, { once: true });
  }
  turn = { x: turn.x + dx, y: turn.y + dy };
  mouse('move', turn);
}

// Whether the event was the cursor's; the toolkit then never sees it.
function keyboardCursor(event) {
  if (!running()) return false;
  const press = event.key === 'Enter' || event.key === ' ';
  if (event.type === 'keyup') {
    if (event.key === pressKey) release();
    return press || event.key in ARROWS;
  }
  if (event.key in ARROWS) {
    moveBy(ARROWS[event.key], event);
    return true;
  }
  if (press) {
    // The key's auto-repeat, or the other press key, never presses again.
    if (event.repeat || pressKey !== null || turn !== null) return true;
    pressKey = event.key;
    showCursor();
    mouse('down', spot);
    return true;
  }
  if (event.key === 'Escape' && spot) {
    hideCursor();
    return true;
  }
  return false;
}

// The focus leaving the picture, or the window, ends a press.
canvas.addEventListener('blur', release);
// The picture's size may change under the cursor: it keeps its place on the snow.
let sizedFor = [canvas.width, canvas.height];
new ResizeObserver(() => requestAnimationFrame(() => {
  const [width, height] = sizedFor;
  sizedFor = [canvas.width, canvas.height];
  if (!spot) return;
  spot = { x: clamp(Math.round(spot.x * canvas.width / width), canvas.width),
    y: clamp(Math.round(spot.y * canvas.height / height), canvas.height) };
  showCursor();
})).observe(canvas);
// Nothing of it stays once the program has ended.
onChange(() => {
  if (!running()) {
    pressKey = null;
    hideCursor();
  }
});

// One finger on the picture is the left button. These listeners keep the toolkit's own touch
// handling from running; they are passive, so scrolling the panel never waits for the program,
// and the picture's touch-action keeps the browser's gestures off it.
let finger = null;  // where it went down, where it is, and whether it has left the slop
let lastTouch = -Infinity;

function send(type, x, y) {
  canvas.dispatchEvent(new MouseEvent(type, { bubbles: true, cancelable: true, view: window,
    clientX: x, clientY: y, button: 0, buttons: type === 'mouseup' ? 0 : 1 }));
}

function lift(x, y) {
  const { downX, downY, dragging } = finger;
  finger = null;
  send('mouseup', dragging ? x : downX, dragging ? y : downY);
}

const followed = (touches) => [...touches].find((t) => finger && t.identifier === finger.id);

const TOUCH = {
  touchstart(event) {
    // A finger whose end never came is no longer down: its press ends where it was.
    if (finger && !followed(event.touches)) lift(finger.x, finger.y);
    if (finger) return;  // a second finger is not a button
    const t = event.changedTouches[0];
    finger = { id: t.identifier, downX: t.clientX, downY: t.clientY, x: t.clientX, y: t.clientY, dragging: false };
    send('mousedown', t.clientX, t.clientY);
  },
  touchmove(event) {
    const t = followed(event.changedTouches);
    if (!t) return;
    finger.x = t.clientX;
    finger.y = t.clientY;
    if (!finger.dragging && Math.hypot(t.clientX - finger.downX, t.clientY - finger.downY) < TOUCH_SLOP) return;
    finger.dragging = true;
    send('mousemove', t.clientX, t.clientY);
  },
  touchend(event) {
    const t = followed(event.changedTouches);
    if (t) lift(t.clientX, t.clientY);
  },
};
TOUCH.touchcancel = TOUCH.touchend;

for (const [type, handle] of Object.entries(TOUCH)) {
  window.addEventListener(type, (event) => {
    if (event.target !== canvas) return;
    event.stopImmediatePropagation();
    lastTouch = performance.now();
    if (running()) handle(event);
  }, { capture: true, passive: true });
}

// The mouse events a browser makes up after a tap would press the button a second time.
const fromTouch = (event) => event.isTrusted && (event.sourceCapabilities
  ? event.sourceCapabilities.firesTouchEvents : performance.now() - lastTouch < 1000);
for (const type of ['mousedown', 'mouseup', 'mousemove']) {
  window.addEventListener(type, (event) => {
    if (event.target === canvas && fromTouch(event)) event.stopImmediatePropagation();
  }, true);
}
