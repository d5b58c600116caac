// Keeping, sharing and opening the user's sketches. The program writes and reads every sketch
// (its text, a link's fragment, a picture's text chunk); the page keeps the sketch of each tab
// in My sketches (sketches.js, with the panel in gallery.js), puts it in links and pictures, and
// opens whatever comes from outside as a sketch of its own, so that opening never replaces one.
// Nothing leaves the browser but a link or a file the user chooses to make.

import * as run from './run.js';
import { due, sceneReplaced, watcher } from './watch.js';

const FRAGMENT = '#sketch=';
const KEEP_EVERY_MS = 1000;
const MAX_LINK = 32000;           // characters: longer links do not survive every messenger
const MAX_FILE = 64 * 1024 * 1024;
const PNG_START = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
const ALL_START = 'frimel-sketches ';  // the first line of a Save all file
const NO_ROOM = 'there is not enough memory left for it';
const PICTURE = 160;              // pixels a side of a sketch's picture in the gallery
const ENCODE_AFTER_MS = 50;       // from copying a frame for a picture to encoding the copy

// The user's ways in wait until the program runs; the page's own flows go on while it starts,
// and stop at the end.
const ended = () => !run.running();
const over = () => run.ended();
const canvas = document.getElementById('canvas');
const notice = document.getElementById('sketch-notice');
const sharePanel = document.getElementById('share');
const shareField = document.getElementById('share-link');
const statusLine = document.getElementById('status');
const saveButton = document.getElementById('save-button');

// ---- The program's side: the sketch now as text, reading and opening bytes of any kind.
function sketchNow() {
  const text = Module._frimel_sketch_text();
  return text ? Module.UTF8ToString(text) : null;
}
const problem = () => Module.UTF8ToString(Module._frimel_sketch_why());
const hasObjects = () => JSON.parse(Module.UTF8ToString(Module._frimel_scene_summary())).objects.length > 0;

// Bytes copied into the program's memory, or null where it has no room left for them.
function copyIn(bytes) {
  const at = Module._malloc(Math.max(1, bytes.length));
  if (!at) return null;
  Module.HEAPU8.set(bytes, at);
  return at;
}

// Null once opened, otherwise why not; the scene is then as it was.
function openBytes(bytes) {
  const at = copyIn(bytes);
  if (at === null) return NO_ROOM;
  const opened = Module._frimel_sketch_open(at, bytes.length);
  Module._free(at);
  if (opened) sceneReplaced();
  return opened ? null : problem();
}
const openText = (text) => openBytes(new TextEncoder().encode(text));

// The sketch in bytes of any kind as the program writes it, read by the same reader as opening
// but leaving the scene alone; null where it refuses them (why in problem()).
function readBytes(bytes) {
  const at = copyIn(bytes);
  if (at === null) {
    lastRefusal = NO_ROOM;
    return null;
  }
  const text = Module._frimel_sketch_read(at, bytes.length);
  Module._free(at);
  lastRefusal = text ? null : problem();
  return text ? Module.UTF8ToString(text) : null;
}
let lastRefusal = null;
const readText = (text) => readBytes(new TextEncoder().encode(text));
const whyRefused = () => lastRefusal;

// ---- Notices in the panel, with a button or two.
function tell(text, actions = []) {
  notice.replaceChildren(text);
  for (const [label, act] of actions) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = label;
    button.addEventListener('click', act);
    notice.append(' ', button);
  }
  notice.hidden = false;
}
function quiet() {
  notice.hidden = true;
  notice.replaceChildren();
}

function saveAsFile(text, name = 'frimel-sketch.txt') {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

// ---- The sketch's picture, taken from a frame as it is shown, before the browser clears the
// canvas. Reading a frame back costs the page tens of milliseconds on software graphics, so
// only the first frame the scene rests at after a change is taken (watch.js): when the pointer
// is up, after a pause, or at most a few times a second during a turn. A sketch left while it
// grows keeps the picture of its last rest, or is drawn for one when the gallery lists it.
const small = document.createElement('canvas');
small.width = PICTURE;
small.height = PICTURE;
let pictureAt = -Infinity;
let frameAt = -Infinity;
let picture = null;        // the newest picture, once made
let pictureKept = true;    // whether the gallery has it
let painting = false;      // a frame of another sketch, drawn for its picture

function takePicture(into) {
  into.getContext('2d').drawImage(canvas, 0, 0, PICTURE, PICTURE);
  // Encoded a moment later: asked at once, the browser waits for the frame's drawing to finish
  // (20 ms a picture on software graphics) and holds up the page meanwhile. Kept as bytes:
  // WebKit's private windows keep no Blob in IndexedDB.
  return new Promise((done) => setTimeout(done, ENCODE_AFTER_MS))
    .then(() => new Promise((done) => into.toBlob(done, 'image/webp', 0.85)))
    .then((blob) => blob && blob.arrayBuffer());
}
let generation = 0;       // counts the tab's moves to another sketch
const pictureWatch = watcher();
function pictureFromFrame() {
  const now = performance.now();
  const resting = Module._frimel_resting() !== 0;
  const paced = !pressed || now - frameAt > 100 || now - pictureAt > 400;
  frameAt = now;
  if ((resting && !paced) || Module.ctx.isContextLost()) return;  // still to be taken
  if (!due(pictureWatch, resting)) return;
  pictureAt = now;
  const made = generation;
  takePicture(small).then((blob) => {
    if (!blob || made !== generation) return;
    picture = blob;
    pictureKept = false;
  });
}
// The tab has moved to another sketch: pictures of the one before are not its.
function switched() {
  generation += 1;
  picture = null;
  pictureKept = true;
}

// A picture for a kept sketch that has none (moved in, or read from a file): the program opens
// it for one frame between the user's gestures, then opens this tab's sketch again as it was
// and shows it, in the same task, so that the other one is never on show.
let pressed = false;
function drawPicture(text) {
  if (ended() || pressed || switching || marked !== null || Module.ctx.isContextLost()) return Promise.resolve(null);
  const own = sketchNow();
  if (own === null) return Promise.resolve(null);
  const into = document.createElement('canvas');
  into.width = PICTURE;
  into.height = PICTURE;
  let made = null;
  painting = true;
  try {
    if (openText(text) === null) {
      Module._frimel_display();
      made = takePicture(into);
    }
  } finally {
    const why = openText(own);
    Module._frimel_display();
    painting = false;
    if (why) tell(`Your sketch could not be opened again after drawing another's picture: ${why}.`);
  }
  return made || Promise.resolve(null);
}

// ---- Which sketch this tab holds, and keeping it: soon after every change, and when the
// page is hidden or left. A bare bank adds nothing to the gallery until something is drawn.
let store = null;     // sketches.js, once loaded and working
let panel = null;     // gallery.js's { refresh, readAll }, once loaded
let current = null;   // { id, name } of the sketch this tab holds, or null
let lastKept = null;  // its text as last kept
let latest = null;    // the sketch as last seen, kept or not
let changed = true;
let switching = 0;    // another sketch is being opened: nothing is kept until it is in place
let refusal = null;   // the storage's refusal, said once, until a write goes through
let bareText = null;  // a bare bank with the settings Frimel starts with: a new sketch

// One change of the gallery at a time, in order.
let queue = Promise.resolve();
const inTurn = (work) => {
  queue = queue.then(work).catch((error) => console.warn(error));
  return queue;
};

function keepNow() {
  if (over() || !store || switching || heldBack !== null || (!changed && pictureKept)) return;
  changed = false;
  const text = sketchNow();
  if (text === null) {
    tell(`The sketch cannot be kept: ${problem()}.`);
    return;
  }
  latest = text;
  if (text === lastKept && pictureKept) return;
  if (current === null && !hasObjects()) return;
  switching += 1;  // kept before anything else is opened
  inTurn(() => keepText(text)).finally(() => { switching -= 1; });
}

// A time as the sketches' names and the gallery say it. The formatter is made once: making one
// loads the language's data, which holds up the page for tens of milliseconds.
let timeFormat = null;
const timeText = (time) => (timeFormat ??= new Intl.DateTimeFormat(undefined, { dateStyle: 'medium',
  timeStyle: 'short' })).format(new Date(time));
const timeName = () => 'Sketch of ' + timeText(Date.now());

// A new record for this tab, held before it is added so that no other tab opens it first.
async function begin(fields) {
  const id = store.newId();
  await store.hold(id);
  try {
    const record = await store.add({ id, ...fields });
    current = { id, name: record.name };
    return record;
  } catch (error) {
    store.release();
    throw error;
  }
}

// True once the text is kept; otherwise the refusal is said and the next change tries again.
async function keepText(text) {
  const withPicture = picture;
  try {
    let record = current && await store.update(current.id, (was) => ({ text,
      changed: was.text === text ? was.changed : Date.now(), picture: withPicture || was.picture }));
    if (!record) record = await begin({ name: timeName(), text, picture: withPicture });
    current.name = record.name;
    lastKept = text;
    if (withPicture === picture) pictureKept = true;
    if (refusal !== null) {
      refusal = null;
      statusLine.textContent = 'Running';
      tell('Your sketch is kept again.');
    }
    askToKeep();
    return true;
  } catch (error) {
    pictureKept = true;  // tried again with the next change, picture and all
    refuse(error);
    return false;
  }
}

// Said once, until a write goes through again; what is on show stays on show.
function refuse(error) {
  if (refusal !== null) return;
  refusal = error || new Error('refused');
  const full = error && error.name === 'QuotaExceededError';
  statusLine.textContent = full
    ? 'Running; the browser\'s storage for this page is full, so the sketch is not kept'
    : 'Running; this browser keeps nothing for this page, so the sketch is not kept';
  tell('This sketch is not kept for now: it stays here while this tab is open, and Frimel tries again ' +
    'at your next change. Save picture keeps it in a file that opens here again.', [['Save picture', () => saveButton.click()]]);
}

// Asked once something worth keeping is kept, never at load: some browsers ask the user.
let askedToKeep = false;
function askToKeep() {
  if (askedToKeep || !navigator.storage || !navigator.storage.persist) return;
  askedToKeep = true;
  navigator.storage.persisted().then((kept) => kept || navigator.storage.persist())
    .then(() => panel?.refresh()).catch(() => {});
}

// Before the tab moves on to another sketch: false, with the reason said, where the one on
// show cannot be kept, so that the tab stays on it.
async function keptBeforeLeaving() {
  if (!store || over()) return true;
  const text = sketchNow();
  if (text === null || (text === lastKept && pictureKept) || (current === null && !hasObjects())) return true;
  if (await keepText(text)) return true;
  tell('This sketch cannot be kept now, so Frimel stays on it. Save picture keeps it in a file that opens here again.',
    [['Save picture', () => saveButton.click()]]);
  return false;
}

// ---- A kept sketch the page stopped on. Before a kept sketch is opened its record is marked,
// and the first frame shown after the open takes the mark away; a mark still there at the next
// load means that load never showed the sketch (it hung, crashed or was closed), so the sketch
// is not opened by itself again. The mark is only a help: where storage refuses it, all goes
// as before.
let marked = null;    // the id of a kept sketch opened and not shown yet
let heldBack = null;  // the record of the kept sketch the page stopped on, while it is offered
const HELD_BACK_SAID = 'Frimel stopped last time before it could show the sketch kept in this browser, ' +
  'so it starts with an empty bank. Your sketch is still kept:';

function offerHeldBack(record) {
  heldBack = record;
  tell(HELD_BACK_SAID, [['Open it anyway', () => inTurn(() => openKept(record.id))],
    ['Save it as a file', () => saveAsFile(record.text)], ['Put it aside', putAside]]);
}

// By its button, or at anything else that changes the scene: nothing opens it by itself any
// more, and what is drawn from then on is a sketch of its own.
function putAside() {
  if (heldBack === null) return;
  const record = heldBack;
  heldBack = null;
  inTurn(async () => {
    try {
      await store.update(record.id, () => ({ aside: true, opening: false }));
      tell('Your sketch is put aside in My sketches, and nothing opens it by itself any more.',
        [['Save it as a file', () => saveAsFile(record.text)]]);
    } catch {
      tell('Your sketch cannot be put aside: this browser\'s storage for this page refuses it. ' +
        'Save it as a file to keep it.', [['Save it as a file', () => saveAsFile(record.text)]]);
    }
  });
}

// Opens a record this tab holds, marked until a frame shows it; the reason where it cannot.
async function openHeld(record) {
  try {
    await store.update(record.id, () => ({ opening: true }));
    marked = record.id;
  } catch { /* only a help */ }
  const why = openText(record.text);
  if (why) {
    marked = null;
    store.release();
    await store.update(record.id, () => ({ opening: false, unreadable: why })).catch(() => {});
    return why;
  }
  current = { id: record.id, name: record.name };
  lastKept = record.text;
  latest = record.text;
  changed = false;
  switched();
  return null;
}

const copyName = (name) => store.cleanName('Copy of ' + name);

// From the gallery or the offer: this tab moves to a kept sketch. One another tab holds opens
// as a copy of it, which says so.
async function openKept(id, { said = '' } = {}) {
  if (over() || (current && current.id === id && heldBack === null)) return;
  if (!(await keptBeforeLeaving())) return;
  const record = await store.get(id);
  if (!record || record.deleted) {
    tell('That sketch is no longer in My sketches.');
    return;
  }
  if (record.unreadable) {
    tell(`“${record.name}” cannot be opened: ${record.unreadable}.`);
    return;
  }
  const before = current;
  let target = record;
  let copied = '';
  if (!(await store.hold(id))) {
    target = await begin({ name: copyName(record.name), text: record.text, picture: record.picture });
    copied = `“${record.name}” is open in another tab, so this tab has opened a copy of it, “${target.name}”.`;
  }
  heldBack = null;
  const why = await openHeld(target);
  if (why) {
    current = before;
    if (before) await store.hold(before.id);
    tell(`“${record.name}” cannot be opened: ${why}. It stays in My sketches, marked as one that cannot be opened.`);
    return;
  }
  if (copied || said) tell([said, copied].filter(Boolean).join(' '));
  else quiet();
  panel?.refresh();
}

// A new sketch: a bare bank, added to the gallery once something is drawn on it.
async function newSketch() {
  if (over() || !(await keptBeforeLeaving())) return;
  store?.release();
  heldBack = null;
  current = null;
  const why = openText(bareText);
  if (why) tell(`A new sketch cannot be started: ${why}.`);
  else quiet();
  lastKept = null;
  switched();
  panel?.refresh();
}

// ---- Opening what comes from outside (a link, a file, a dropped picture): a sketch of its own
// in the gallery, or the one already there with the same text; no sketch is ever replaced.
function openFromOutside(bytes, name, said, refused) {
  const text = readBytes(bytes);
  if (text === null) {
    tell(refused(whyRefused()));
    return;
  }
  switching += 1;
  inTurn(async () => {
    putAside();
    if (!(await keptBeforeLeaving())) return;
    const same = store ? await store.sameText(text).catch(() => null) : null;
    if (same && current && same.id === current.id) {
      openText(text);  // the sketch on show, as every link opens
      tell(`${said} It is this sketch, already in My sketches.`);
    } else if (same) {
      await openKept(same.id, { said: `${said} It was in My sketches already, as “${same.name}”.` });
    } else {
      const why = openText(text);
      if (why) {
        tell(refused(why));
        return;
      }
      store?.release();
      current = null;
      lastKept = null;
      switched();
      tell(`${said} It is a new sketch in My sketches; your other sketches are as they were.`);
      if (store) await begin({ name, text }).then(() => { lastKept = text; }, refuse);
      panel?.refresh();
    }
  }).finally(() => { switching -= 1; });
}

function dropFragment() {
  if (location.hash.startsWith(FRAGMENT)) history.replaceState(null, '', location.pathname + location.search);
}

function openLink(fragment) {
  dropFragment();
  openFromOutside(new TextEncoder().encode(fragment), 'From a link', 'Opened the sketch from the link.',
    (why) => `This link's sketch cannot be opened: ${why}. Your sketch is as it was.`);
}

async function startsWith(file, bytes) {
  const start = new Uint8Array(await file.slice(0, bytes.length).arrayBuffer());
  return bytes.every((byte, i) => start[i] === byte);
}

async function openFile(file) {
  if (ended() || !file) return;
  const all = await startsWith(file, new TextEncoder().encode(ALL_START));
  if (file.size > MAX_FILE ||
      (!all && file.size > Module._frimel_sketch_text_limit() && !(await startsWith(file, PNG_START)))) {
    tell(`${file.name} is too big to hold a Frimel sketch.`);
    return;
  }
  const bytes = new Uint8Array(await file.arrayBuffer());
  if (ended()) return;
  if (all) {
    panel?.readAll(new TextDecoder().decode(bytes), file.name);
    return;
  }
  const name = store ? store.cleanName(file.name.replace(/\.[^.]*$/, '')) || 'Opened file' : '';
  openFromOutside(bytes, name, `Opened ${file.name}.`, (why) => `${file.name} cannot be opened: ${why}. Your sketch is as it was.`);
}

// ---- What reaches the program: a press on the picture, a key it takes, a command of the
// toolbar or the menu. After a clear the page offers the cleared sketch back until the next change.
const takesKey = (event) => event.key.length === 1 &&
  [canvas, document.body, document.documentElement].includes(event.target);
// Clear by its key, its menu entry or its button: the main menu's entry of value 0.
const clears = (event, target) => (event.type === 'keydown' ? event.key === 'c' || event.key === 'C'
  : Boolean(target && target.closest('[data-value="0"]') &&
    Number((target.closest('[data-menu]') || target.closest('.menu')).dataset.menu) === Module.glutMenus.buttons[2]));

let offered = false;  // a cleared sketch is offered back
let acted = false;    // the user has reached the program since the offer

function offerCleared(before) {
  if (before === null || before === sketchNow()) {
    tell('Cleared.');
    return;
  }
  offered = true;
  acted = false;
  tell('Cleared.', [['Bring it back', () => {
    offered = false;
    changed = true;
    const why = openText(before);
    if (why) tell(`The sketch cannot be brought back: ${why}.`);
    else quiet();
  }]]);
}

function userActs(event) {
  const target = event.target instanceof Element ? event.target : null;
  if (event.type === 'pointerdown' && target === canvas) pressed = true;
  if (event.type === 'pointerup') pressed = false;
  const reaches = event.type === 'keydown' ? takesKey(event)
    : event.type === 'pointerdown' ? target === canvas
      : Boolean(target && target.closest('#toolbar button[data-menu], .menu-entry[data-value]'));
  if (!reaches || ended()) return;
  putAside();
  changed = true;
  if (offered) acted = true;
  if (event.type !== 'pointerdown' && clears(event, target)) {
    const before = sketchNow();
    setTimeout(() => { if (!ended()) offerCleared(before); });
  }
}

let unsaid = null;  // a refusal met before the program ran
function tick() {
  if (unsaid !== null && !ended()) {
    refuse(unsaid);
    unsaid = null;
  }
  if (offered && acted) {
    offered = false;
    quiet();
  }
  keepNow();
}

// Starting again after the end, or after the graphics stayed away: the page is loaded anew and
// opens the kept sketch. Where it is not kept, the sketch rides in the link.
function restart() {
  inTurn(() => {
    if (latest !== null && (store === null || refusal !== null || latest !== lastKept)) {
      history.replaceState(null, '', location.pathname + location.search + FRAGMENT + latest);
    }
    location.reload();
  });
}

// ---- Sharing: a link with the sketch in its fragment, which browsers never send anywhere.
async function shareLink() {
  if (ended()) return;
  const text = sketchNow();
  if (text === null) {
    tell(`The sketch cannot be shared: ${problem()}.`);
    return;
  }
  const link = location.origin + location.pathname + FRAGMENT + text;
  if (link.length > MAX_LINK) {
    sharePanel.hidden = true;
    tell(`This sketch is too big for a link (${link.length} characters, at most ${MAX_LINK}). ` +
      'Save picture keeps it inside frimel.png, which opens again here.',
    [['Save picture', () => saveButton.click()]]);
    return;
  }
  shareField.value = link;
  sharePanel.hidden = false;
  shareField.select();
  let copied = false;
  try {
    await navigator.clipboard.writeText(link);
    copied = true;
  } catch { /* not allowed here: the link stays shown, selected */ }
  tell(copied ? 'Link copied. Anyone who opens it sees this sketch.' : 'Copy the link below to share this sketch.');
  if (navigator.share) navigator.share({ title: 'Frimel', url: link }).catch(() => {});
}

// ---- Save picture: the PNG carries the sketch in a text chunk; the picture is unchanged.
async function carry(blob) {
  if (ended()) return blob;
  const png = new Uint8Array(await blob.arrayBuffer());
  if (ended()) return blob;
  const at = copyIn(png);
  const result = at === null ? 0 : Module._frimel_sketch_picture(at, png.length);
  if (at !== null) Module._free(at);
  if (!result) {
    tell(`The picture is saved without its sketch: ${at === null ? NO_ROOM : problem()}.`);
    return blob;
  }
  return new Blob([Module.HEAPU8.slice(result, result + Module._frimel_sketch_picture_size())],
    { type: 'image/png' });
}

// ---- Start: once the first frame is shown, My sketches' modules load; what earlier pages
// kept moves in; then the page opens a link in the address as a sketch of its own, or else
// the sketch last worked on that no other tab holds.

async function openLast() {
  const records = (await store.all()).filter((record) => !record.deleted && !record.aside && !record.unreadable);
  // After a reload the page before may hold its sketch a moment longer as it unloads (WebKit
  // lets go late): the newest is waited for, briefly.
  let patience = 1000;
  for (const record of records) {
    const mine = await store.hold(record.id, patience);
    patience = 0;
    if (!mine) continue;
    if (record.opening) {
      store.release();
      offerHeldBack(record);
      return;
    }
    const why = await openHeld(record);
    if (why) tell(`The sketch kept in this browser cannot be opened: ${why}. It stays in My sketches, marked; drawing starts afresh.`);
    return;
  }
}

// Every frame shown but one drawn for another sketch's picture; whether it was.
function frame() {
  if (painting) return false;
  changed = true;
  pictureFromFrame();
  if (marked !== null) {
    const id = marked;
    marked = null;
    inTurn(() => store.update(id, () => ({ opening: false, aside: false })));
  }
  return true;
}

// Before the program runs, while the page still says it loads: the page then takes no input
// that the opening of a kept sketch could replace. loadPanel loads My sketches' panel, which
// attaches itself (attachPanel), alongside the storage.
export async function start(loadPanel) {
  bareText = sketchNow();
  Module._frimel_sketch_keep_at_end();
  Module.onFrameShown = frame;  // until the page's own takes over
  setInterval(tick, KEEP_EVERY_MS);
  document.addEventListener('visibilitychange', () => { if (document.hidden) tick(); });
  window.addEventListener('pagehide', tick);
  window.addEventListener('hashchange', () => {
    if (!ended() && location.hash.startsWith(FRAGMENT)) openLink(location.hash);
  });

  switching += 1;
  try {
    const [kept] = await Promise.all([import('./sketches.js'), loadPanel()]);
    const refused = await kept.moveIn(readText, whyRefused);
    store = kept;
    store.emptyOldBin().catch(() => {});
    if (refused.length) {
      tell(`The sketch kept in this browser cannot be opened: ${refused[0]}. ` +
        'It is kept in My sketches, marked as one that cannot be opened.');
    }
  } catch (error) {
    unsaid = error;
  } finally {
    switching -= 1;
  }
  if (location.hash.startsWith(FRAGMENT)) openLink(location.hash);
  else if (store) await inTurn(openLast);
}

// Quitting keeps the sketch as it was at the end: the program's Module.onSketchAtEnd.
export function atEnd(text) {
  latest = text;
  if (store && heldBack === null && (current !== null || text !== bareText)) inTurn(() => keepText(text));
}

// On window, before the toolkit's own listeners, so that a clear is seen before it happens.
for (const type of ['pointerdown', 'pointerup', 'keydown', 'click']) window.addEventListener(type, userActs, true);
document.getElementById('share-button').addEventListener('click', shareLink);
const picker = document.getElementById('open-picker');
document.getElementById('open-button').addEventListener('click', () => { if (!ended()) picker.click(); });
picker.addEventListener('change', () => {
  openFile(picker.files[0]);
  picker.value = '';
});
document.addEventListener('dragover', (event) => {
  if (event.dataTransfer && event.dataTransfer.types.includes('Files')) event.preventDefault();
});
document.addEventListener('drop', (event) => {
  if (!event.dataTransfer || event.dataTransfer.files.length === 0) return;
  event.preventDefault();
  openFile(event.dataTransfer.files[0]);
});

export { frame, carry, restart, tell, readText, whyRefused, drawPicture, saveAsFile, timeText };
export const open = (id) => inTurn(() => openKept(id));
export const leave = () => inTurn(newSketch);
export const currentId = () => (current ? current.id : null);
export const idle = () => queue;  // once every change asked for so far is done
export const renamed = (id, name) => { if (current && current.id === id) current.name = name; };
export const storage = () => store;  // My sketches' storage, once loaded and working; else null

// My sketches' panel (gallery.js) attaches itself once loaded: it is told when the sketches
// change here, and handed a Save all file to read.
export const attachPanel = (given) => { panel = given; };
