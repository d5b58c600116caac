// Which of the page's events reach the program, and as what. The toolkit listens on window in
// the capture phase, after these listeners (this script runs before it, after the menu's): keys
// only from the picture or the page itself, no wheel, and one finger on the picture as the left
// button, held still while it moves less than a finger's slop. Also where the program stands.
'use strict';

(function () {
  // The page's body says whether the program is loading, running or has ended.
  window.frimelPage = {
    running: () => document.body.dataset.state === 'running',
    ended: () => document.body.dataset.state === 'ended',
  };

  // Keys that would scroll the page rather than reach the program.
  const SCROLL_KEYS = new Set([' ', 'ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'PageUp',
    'PageDown', 'Home', 'End']);
  // A press that moves less than this (CSS pixels, as phone toolkits have it) is held still.
  const TOUCH_SLOP = 8;

  const canvas = document.getElementById('canvas');

  // Keys go to the program only from the picture or the page itself; Tab always moves focus.
  const takesKeys = (target) => target === canvas || target === document.body ||
    target === document.documentElement;
  for (const type of ['keydown', 'keyup']) {
    window.addEventListener(type, (event) => {
      if (event.key === 'Tab' || !takesKeys(event.target)) event.stopImmediatePropagation();
    }, true);
  }
  canvas.addEventListener('keydown', (event) => {
    if (SCROLL_KEYS.has(event.key)) event.preventDefault();
  });

  // The toolkit cancels the pointer press, which would otherwise have focused the canvas; the
  // page must not scroll under the pointer before the toolkit reads where the press is.
  canvas.addEventListener('pointerdown', () => canvas.focus({ preventScroll: true }));

  // The program has no use for the wheel; the toolkit's listener would try to cancel a scroll
  // it may not, as the browser makes window wheel listeners passive.
  for (const type of ['mousewheel', 'DOMMouseScroll']) {
    window.addEventListener(type, (event) => event.stopImmediatePropagation(), true);
  }

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
      if (window.frimelPage.running()) handle(event);
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
})();
