// My sketches: the panel that lists every kept sketch, newest first, each with its picture, its
// name and the time of its last change; opens, duplicates, renames and deletes them (into a bin
// kept for 30 days); starts a new one; writes them all to one file (Save all) and reads such a
// file back. It follows the other tabs' changes as they are told. Loaded once the first frame is
// shown (page.js asks, sketch.js waits for it); it attaches itself to this tab's sketch.

import * as store from './sketches.js';
import * as tab from './sketch.js';

const ALL_FILE = 'frimel-sketches.txt';
const ALL_FIRST_LINE = 'frimel-sketches 1';
const MAX_READ = 1000;  // sketches read from one file, at most
const SAY_SAFE = 'The browser keeps these sketches until you delete them.';
const SAY_UNSAFE = 'The browser has not agreed to keep these sketches, so it may clear them when it runs short ' +
  'of room or after some weeks without a visit. To keep them safe, install Frimel (Install in the browser\'s ' +
  'menu), or use Save all now and then and keep the file.';

const toggle = document.getElementById('gallery-button');
const panel = document.getElementById('gallery');

function element(tag, className = '', text = '') {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text) made.textContent = text;
  return made;
}
function button(label, act, name = '') {
  const made = element('button', '', label);
  made.type = 'button';
  if (name) made.setAttribute('aria-label', name);
  made.addEventListener('click', act);
  return made;
}

// ---- The panel's parts, made once.
const tools = element('div', 'tools');
tools.append(button('New sketch', () => tab.leave()), button('Save all', saveAll));
const safety = element('p', 'safety');
const list = element('ul', 'sketch-list');
list.setAttribute('aria-label', 'Sketches, newest first');
const binToggle = button('Bin', () => {
  bin.hidden = !bin.hidden;
  binToggle.setAttribute('aria-expanded', String(!bin.hidden));
});
binToggle.setAttribute('aria-expanded', 'false');
binToggle.className = 'bin-toggle';
const bin = element('div', 'bin');
bin.hidden = true;
const binList = element('ul', 'sketch-list');
binList.setAttribute('aria-label', 'Deleted sketches');
bin.append(element('p', 'safety', 'Deleted sketches wait here for 30 days.'), binList,
  button('Empty the bin', emptyBin));
tools.append(binToggle);
panel.replaceChildren(tools, safety, list, bin);

// ---- One sketch in the list.
// A sketch's picture keeps its address while it is the same, so that the list drawn anew
// shows it at once; addresses no sketch uses any more are let go.
let pictureLinks = new Map();  // id -> { picture's size and time, address }
let used = new Map();
function pictureOf(record) {
  if (record.picture) {
    const same = `${record.picture.byteLength}:${record.changed}`;
    let link = pictureLinks.get(record.id);
    if (!link || link.same !== same) link = { same, address: URL.createObjectURL(new Blob([record.picture])) };
    used.set(record.id, link);
    const img = element('img');
    img.alt = '';
    img.width = 72;
    img.height = 72;
    img.src = link.address;
    return img;
  }
  return element('span', 'no-picture', record.unreadable ? 'cannot be opened' : 'drawing…');
}

function stateOf(record, own, held) {
  if (record.deleted) return `deleted ${tab.timeText(record.deleted)}`;
  if (record.id === own) return 'open in this tab';
  if (held.has(record.id)) return 'open in another tab';
  if (record.unreadable) return `cannot be opened: ${record.unreadable}`;
  if (record.opening) return 'Frimel stopped before it could show it';
  if (record.aside) return 'put aside: opened only when you choose';
  return '';
}

function item(record, own, held) {
  const li = element('li', 'sketch');
  li.dataset.id = record.id;
  const name = element('span', 'sketch-name', record.name);
  const time = element('time', '', tab.timeText(record.changed));
  time.dateTime = new Date(record.changed).toISOString();
  const words = element('div', 'sketch-words');
  words.append(name, time);
  const state = stateOf(record, own, held);
  if (state) words.append(element('span', 'sketch-state', state));
  const actions = element('div', 'sketch-actions');
  const act = (label, work, action) => {
    const made = button(label, work, `${label} ${record.name}`);
    made.dataset.action = action;
    actions.append(made);
    return made;
  };
  if (record.deleted) {
    act('Take back', () => store.update(record.id, () => ({ deleted: 0 })).catch(said), 'back');
    act('Delete now', () => store.remove([record.id]).catch(said), 'remove');
  } else {
    act('Open', () => tab.open(record.id).then(toPicture), 'open').disabled = record.id === own || Boolean(record.unreadable);
    act('Duplicate', () => duplicate(record), 'duplicate');
    act('Rename', () => rename(li, record), 'rename');
    act('Delete', () => remove(record), 'delete').disabled = held.has(record.id) && record.id !== own;
  }
  words.append(actions);
  li.append(pictureOf(record), words);
  return li;
}

// Once a sketch is opened the keys go to the picture, as after Skip to the picture.
const toPicture = () => document.getElementById('canvas').focus({ preventScroll: true });

const said = (error) => tab.tell(`My sketches cannot be changed now: ${error && error.message ? error.message : error}.`);

function duplicate(record) {
  store.add({ name: store.cleanName('Copy of ' + record.name), text: record.text, picture: record.picture,
    unreadable: record.unreadable }).catch(said);
}

// Deleted into the bin; the tab working on it moves on to a new sketch.
function remove(record) {
  const own = record.id === tab.currentId();
  store.update(record.id, () => ({ deleted: Date.now() })).then(() => {
    if (own) tab.leave();
    tab.tell(`“${record.name}” is in the bin for 30 days.`);
  }, said);
}

// The name in a field of its own, in place: Enter or Save name keeps it, Cancel does not. The
// list is not drawn again meanwhile.
let renaming = false;
function rename(li, record) {
  if (!li.isConnected) return;  // a button of a list drawn since: the field would be in no list
  renaming = true;
  const form = element('form', 'rename');
  const field = element('input');
  field.value = record.name;
  field.maxLength = 80;
  field.setAttribute('aria-label', `New name for ${record.name}`);
  const done = () => {
    renaming = false;
    render();
  };
  form.append(field, button('Save name', () => form.requestSubmit()), button('Cancel', done));
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const name = store.cleanName(field.value);
    if (!name) return done();
    store.update(record.id, () => ({ name })).then(() => tab.renamed(record.id, name), said).finally(done);
  });
  li.querySelector('.sketch-words').replaceChildren(form);
  field.focus();
  field.select();
}

function emptyBin() {
  store.all().then((records) => store.remove(records.filter((record) => record.deleted).map((record) => record.id)))
    .then(() => tab.tell('The bin is empty.'), said);
}

// ---- The list, drawn again after every change here or in another tab; the keyboard's place
// stays on the same button of the same sketch.
let drawing = null;
let again = false;
async function render() {
  if (panel.hidden || renaming) return;
  if (drawing) {
    again = true;
    return;
  }
  drawing = (async () => {
    const focused = document.activeElement && document.activeElement.closest('.sketch');
    const focus = focused && [focused.dataset.id, document.activeElement.dataset.action];
    const [records, held] = await Promise.all([store.all(), store.heldNow()]);
    if (renaming || panel.hidden) return;  // drawn again when the name is given
    const own = tab.currentId();
    used = new Map();
    const kept = records.filter((record) => !record.deleted);
    const deleted = records.filter((record) => record.deleted);
    list.replaceChildren(...kept.map((record) => item(record, own, held)));
    if (kept.length === 0) list.append(element('li', 'empty', 'Nothing kept yet: what you draw is kept here.'));
    binList.replaceChildren(...deleted.map((record) => item(record, own, held)));
    binToggle.textContent = `Bin (${deleted.length})`;
    for (const [id, link] of pictureLinks) if (used.get(id) !== link) URL.revokeObjectURL(link.address);
    pictureLinks = used;
    if (focus) panel.querySelector(`.sketch[data-id="${CSS.escape(focus[0])}"] [data-action="${focus[1]}"]`)?.focus();
    safety.textContent = navigator.storage && navigator.storage.persisted && await navigator.storage.persisted()
      ? SAY_SAFE : SAY_UNSAFE;
    paintMissing(kept);
  })().catch(said).finally(() => {
    drawing = null;
    if (again) {
      again = false;
      render();
    }
  });
}

// Sketches moved in or read from a file have no picture yet: drawn one at a time, between the
// user's gestures.
let painting = false;
async function paintMissing(records) {
  if (painting) return;
  painting = true;
  let painted = false;
  try {
    for (const record of records.filter((r) => !r.picture && !r.unreadable)) {
      await new Promise((done) => setTimeout(done, 50));
      const picture = await tab.drawPicture(record.text);
      if (picture) await store.update(record.id, (now) => (now.picture ? {} : { picture }));
      painted ||= Boolean(picture);
    }
  } finally {
    painting = false;
  }
  if (painted) refresh();  // for any added meanwhile
}

let pending = null;
function refresh() {
  clearTimeout(pending);
  pending = setTimeout(render, 100);
}
store.onChange(refresh);

toggle.addEventListener('click', () => {
  panel.hidden = !panel.hidden;
  toggle.setAttribute('aria-expanded', String(!panel.hidden));
  render();
});

// ---- Save all: every sketch not in the bin, with its name and time, in one text file that
// Open reads back here or in any other browser.
async function saveAll() {
  const records = (await store.all().catch(said) || []).filter((record) => !record.deleted);
  const lines = [ALL_FIRST_LINE];
  for (const record of records) {
    lines.push(`name=${encodeURIComponent(record.name)}`, `changed=${new Date(record.changed).toISOString()}`,
      `sketch=${record.text}`);
  }
  tab.saveAsFile(lines.join('\n') + '\n', ALL_FILE);
  tab.tell(`Saved ${records.length} sketch${records.length === 1 ? '' : 'es'} in ${ALL_FILE}.`);
}

// Each sketch read by the program's reader, as every sketch from outside; one already kept is
// not added twice, and one the reader refuses is left out with its reason.
async function readAll(text, fileName) {
  const lines = text.split('\n');
  if (lines[0].trim() !== ALL_FIRST_LINE) {
    tab.tell(`${fileName} cannot be opened: it is a list of sketches from a newer Frimel.`);
    return;
  }
  let entry = {};
  let added = 0;
  let there = 0;
  const refused = [];
  let read = 0;
  for (let i = 1; i < lines.length && read < MAX_READ; i++) {
    const line = lines[i].trim();
    const split = line.indexOf('=');
    const [key, value] = split < 0 ? [line, ''] : [line.slice(0, split), line.slice(split + 1)];
    if (key === 'name') {
      try {
        entry.name = store.cleanName(decodeURIComponent(value));
      } catch {
        entry.name = '';
      }
    } else if (key === 'changed') {
      entry.changed = Date.parse(value);
    } else if (key === 'sketch') {
      read += 1;
      const sketch = tab.readText(value);
      if (sketch === null) {
        refused.push(tab.whyRefused());
      } else if (await store.sameText(sketch)) {
        there += 1;
      } else {
        const changed = Number.isFinite(entry.changed) && entry.changed <= Date.now() ? entry.changed : Date.now();
        await store.add({ name: entry.name || 'Sketch from a file', text: sketch, changed });
        added += 1;
      }
      entry = {};
    }
  }
  const more = lines.length > 1 && read === MAX_READ ? ` Only the first ${MAX_READ} were read.` : '';
  const left = refused.length ? ` ${refused.length} cannot be opened (${refused[0]}) and are left out.` : '';
  tab.tell(`Read ${fileName}: ${added} added to My sketches, ${there} there already.${left}${more}`);
  if (panel.hidden) toggle.click();
}

tab.attachPanel({ refresh, readAll: (text, name) => readAll(text, name).catch(said) });
