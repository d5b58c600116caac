// My sketches' storage: every sketch in the browser's IndexedDB, one record each with its
// picture and the time of its last change; the locks that give each tab the one sketch it works
// on, so that no two tabs write the same; and a channel on which every tab says what it changed,
// so that every gallery follows the others. Loaded once the first frame is shown.

const DATABASE = 'frimel';
const STORE = 'sketches';
const LOCK = 'frimel-sketch:';
const MOVING_IN = 'frimel-moving-in';
const CHANNEL = 'frimel-sketches';
const BIN_KEPT_MS = 30 * 24 * 3600 * 1000;
const MAX_NAME = 80;
// The sketch kept by earlier pages, in localStorage: moved in once, then removed.
const OLD_KEYS = [['frimel-sketch', false], ['frimel-sketch-put-aside', true], ['frimel-sketch-unreadable', false]];
const OLD_OPENING = 'frimel-opening';

// A short name for a text of any length: its length and FNV-1a hash.
function hashOf(text) {
  let hash = 0x811c9dc5;
  for (let i = 0; i < text.length; i++) hash = Math.imul(hash ^ text.charCodeAt(i), 0x01000193);
  return `${text.length}:${(hash >>> 0).toString(16)}`;
}

// A name is the user's text: one line, no control characters, of a bounded length.
function cleanName(text) {
  const line = String(text).replace(/[\u0000-\u001f\u007f-\u009f\u2028\u2029]+/g, ' ').replace(/\s+/g, ' ').trim();
  return [...line].slice(0, MAX_NAME).join('');
}

const newId = () => (crypto.randomUUID ? crypto.randomUUID()
  : Date.now().toString(36) + Math.random().toString(36).slice(2));

// ---- The database, opened on first use; a failed opening is tried again on the next.
let connecting = null;
function database() {
  connecting ??= new Promise((resolve, reject) => {
    const request = indexedDB.open(DATABASE, 1);
    request.onupgradeneeded = () => request.result.createObjectStore(STORE, { keyPath: 'id' })
      .createIndex('hash', 'hash');
    request.onsuccess = () => {
      const db = request.result;
      db.onversionchange = () => {
        db.close();
        connecting = null;
      };
      db.onclose = () => { connecting = null; };  // the browser closed it: opened again on next use
      resolve(db);
    };
    request.onerror = () => reject(request.error);
  });
  connecting.catch(() => { connecting = null; });
  return connecting;
}

// Runs work(store, give) in one transaction: resolves with what it gave once the transaction
// is written, or rejects with the browser's reason (QuotaExceededError where storage is full).
async function within(mode, work) {
  const db = await database();
  return new Promise((resolve, reject) => {
    let result = null;
    let failure = null;
    const transaction = db.transaction(STORE, mode);
    transaction.oncomplete = () => resolve(result);
    transaction.onabort = () => reject(failure || transaction.failure || transaction.error ||
      new DOMException('not written', 'AbortError'));
    try {
      work(transaction.objectStore(STORE), (value) => { result = value; });
    } catch (error) {
      failure = error;
      transaction.abort();
    }
  });
}

// Requests answered in the same transaction; a refusal inside one aborts it, with its reason.
const answered = (request, then) => {
  request.onsuccess = () => {
    try {
      then(request.result);
    } catch (error) {
      request.transaction.failure = error;
      request.transaction.abort();
    }
  };
};

// ---- What other tabs are told, and what this one hears.
const listeners = [];
const channel = window.BroadcastChannel ? new BroadcastChannel(CHANNEL) : null;
function told() {
  channel?.postMessage('changed');
  listeners.forEach((listener) => listener());
}
channel?.addEventListener('message', () => listeners.forEach((listener) => listener()));

// ---- Records: { id, name, text, hash, changed, picture, deleted, aside, unreadable, opening }.
function all() {
  return within('readonly', (store, give) => answered(store.getAll(), give))
    .then((records) => records.sort((a, b) => b.changed - a.changed));
}
const get = (id) => within('readonly', (store, give) => answered(store.get(id), (record) => give(record || null)));

function add(fields) {
  const record = { id: newId(), name: '', text: '', changed: Date.now(), picture: null, deleted: 0,
    aside: false, unreadable: '', opening: false, ...fields };
  record.name = cleanName(record.name) || 'Sketch';
  record.hash = hashOf(record.text);
  return within('readwrite', (store, give) => {
    store.put(record);
    give(record);
  }).then((kept) => { told(); return kept; });
}

// Changes some fields of a record as it is now, whoever wrote it last: a name given in one tab
// stays while another tab keeps drawing. Null where there is no such record.
function update(id, change) {
  return within('readwrite', (store, give) => answered(store.get(id), (record) => {
    if (!record) return;
    const changed = { ...record, ...change(record) };
    changed.hash = hashOf(changed.text);
    store.put(changed);
    give(changed);
  })).then((record) => { told(); return record; });
}

function remove(ids) {
  return within('readwrite', (store) => ids.forEach((id) => store.delete(id))).then(told);
}

// A sketch with this text that is not in the bin, or null.
const sameText = (text) => within('readonly', (store, give) => answered(store.index('hash').getAll(hashOf(text)),
  (records) => give(records.find((record) => record.text === text && !record.deleted) || null)));

// The bin keeps a deleted sketch for 30 days.
async function emptyOldBin(now = Date.now()) {
  const old = (await all()).filter((record) => record.deleted && now - record.deleted > BIN_KEPT_MS);
  if (old.length) await remove(old.map((record) => record.id));
}

// ---- Locks: a tab holds the sketch it works on until it moves on or closes. Where the
// browser has no locks there is only ever one tab to mind.
let held = null;  // { id, release }
function release() {
  held?.release();
  held = null;
}
// patience: how long to wait for a lock another page holds, in ms (0: not at all).
function hold(id, patience = 0) {
  if (held && held.id === id) return Promise.resolve(true);
  release();
  if (!navigator.locks) {
    held = { id, release() {} };
    return Promise.resolve(true);
  }
  return new Promise((answer) => {
    const waiting = patience > 0 ? { signal: AbortSignal.timeout(patience) } : { ifAvailable: true };
    navigator.locks.request(LOCK + id, waiting, (lock) => {
      if (!lock) {
        answer(false);
        return null;
      }
      return new Promise((released) => {
        held = { id, release: released };
        answer(true);
      });
    }).catch(() => answer(false));
  });
}
// The sketches any tab holds now, this one's too.
async function heldNow() {
  if (!navigator.locks) return new Set(held ? [held.id] : []);
  const { held: locks = [] } = await navigator.locks.query();
  return new Set(locks.map((lock) => lock.name).filter((name) => name.startsWith(LOCK))
    .map((name) => name.slice(LOCK.length)));
}

// ---- Moving in: what earlier pages kept in localStorage comes in once, each under one lock so
// that two tabs loading at once move it once; an old key goes only once its sketch is written.
// read(text) gives the text as the program writes it, or null with why(): one it refuses
// moves in too, marked as one that cannot be opened.
function moveIn(read, why) {
  const refused = [];  // why each one that cannot be opened was refused
  const moving = async () => {
    let openingMark = null;
    try {
      openingMark = localStorage.getItem(OLD_OPENING);
    } catch { /* storage refused: nothing kept there either */ }
    for (const [key, aside] of OLD_KEYS) {
      let text = null;
      try {
        text = localStorage.getItem(key);
      } catch {
        return;
      }
      if (text === null) continue;
      const readable = read(text);
      const kept = readable !== null ? readable : text;
      const unreadable = readable !== null ? '' : why();
      if (unreadable) refused.push(unreadable);
      if (!(await sameText(kept))) {
        await add({ name: unreadable ? 'A sketch that cannot be opened' : 'My sketch', text: kept, aside, unreadable,
          opening: openingMark === hashOf(text) });
      }
      localStorage.removeItem(key);
    }
    if (openingMark !== null) localStorage.removeItem(OLD_OPENING);
  };
  return (navigator.locks ? navigator.locks.request(MOVING_IN, moving) : moving()).then(() => refused);
}

export { all, get, add, update, remove, sameText, emptyOldBin, hold, release, heldNow, moveIn, cleanName, hashOf,
  newId };
export const onChange = (listener) => { listeners.push(listener); };
