// Whether the picture may have changed since a reader last looked at it. Looking costs: the
// sketch's picture reads a frame back, the scene's words read the whole scene. So each looks at
// the first frame the scene rests at after something may have changed it: anything the user
// does to the picture or the page's size, a command, a sketch opened, or a frame the scene
// grows or is held at. A hover moves only the pointer over the picture, and changes nothing.

const watchers = new Set();

function touched() {
  for (const watcher of watchers) watcher.stale = true;
}
for (const type of ['pointerdown', 'pointerup', 'keydown', 'keyup', 'wheel', 'resize', 'frimel-command']) {
  window.addEventListener(type, touched, true);
}
window.addEventListener('pointermove', (event) => {
  if (event.buttons) touched();
}, true);

// A sketch opened in the program: said by the one who opens it.
export const sceneReplaced = touched;

// A watcher is stale until it has looked once.
export function watcher() {
  const made = { stale: true };
  watchers.add(made);
  return made;
}

// Whether this frame is one to look at; the watcher counts as having looked if so.
export function due(watcher, resting) {
  if (!resting) {
    watcher.stale = true;
    return false;
  }
  if (!watcher.stale) return false;
  watcher.stale = false;
  return true;
}
