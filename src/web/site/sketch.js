// Keeping, sharing and opening the user's sketch. The program writes and reads every sketch
// (its text, a link's fragment, a picture's text chunk); the page only keeps the text in the
// browser's own storage, puts it in links and pictures, and offers back a sketch it replaced.
// Nothing leaves the browser but a link the user chooses to send.
'use strict';

(function () {
  const KEY = 'frimel-sketch';
  const UNREADABLE_KEY = 'frimel-sketch-unreadable';  // a kept sketch that could not be opened
  const ASIDE_KEY = 'frimel-sketch-put-aside';         // a kept sketch the page last stopped on
  const OPENING_KEY = 'frimel-opening';                // names a kept sketch being opened
  const FRAGMENT = '#sketch=';
  const KEEP_EVERY_MS = 1000;
  const MAX_LINK = 32000;           // characters: longer links do not survive every messenger
  const MAX_FILE = 64 * 1024 * 1024;
  const PNG_START = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
  const NO_ROOM = 'there is not enough memory left for it';

  const ended = () => !window.frimelPage.running();
  const notice = document.getElementById('sketch-notice');
  const sharePanel = document.getElementById('share');
  const shareField = document.getElementById('share-link');
  const statusLine = document.getElementById('status');

  // ---- The browser's storage, which may refuse (private windows, storage off, quota full).
  let storageRefused = false;
  function refuseStorage(error) {
    if (storageRefused) return;
    storageRefused = true;
    statusLine.textContent = error && error.name === 'QuotaExceededError'
      ? 'Running; the browser\'s storage for this page is full, so the sketch is not kept'
      : 'Running; this browser keeps nothing for this page, so the sketch is not kept';
  }
  function stored(key = KEY) {
    try {
      return window.localStorage.getItem(key);
    } catch (error) {
      refuseStorage(error);
      return null;
    }
  }
  function store(text, key = KEY) {
    if (storageRefused) return false;
    try {
      window.localStorage.setItem(key, text);
      return true;
    } catch (error) {
      refuseStorage(error);
      return false;
    }
  }

  // ---- The program's side: the sketch now as text, and opening bytes of any kind.
  function sketchNow() {
    const text = Module._frimel_sketch_text();
    return text ? Module.UTF8ToString(text) : null;
  }
  const problem = () => Module.UTF8ToString(Module._frimel_sketch_why());

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
    return opened ? null : problem();
  }
  const openText = (text) => openBytes(new TextEncoder().encode(text));

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

  function saveAsFile(text) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
    link.download = 'frimel-sketch.txt';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  // ---- A kept sketch the page stopped on. Before the kept sketch is opened a mark names it, and
  // the first frame shown after the open takes the mark away; a mark still there at the next load
  // means that load never showed the sketch (it hung, crashed or was closed), so the sketch is not
  // opened by itself again. The mark is only a help: where storage refuses it, all goes as before.
  const openingMark = (() => {
    let set = false;
    // A short name for a text of any length: its length and FNV-1a hash.
    const nameOf = (text) => {
      let hash = 0x811c9dc5;
      for (let i = 0; i < text.length; i++) hash = Math.imul(hash ^ text.charCodeAt(i), 0x01000193);
      return `${text.length}:${(hash >>> 0).toString(16)}`;
    };
    const attempt = (act) => {
      try {
        return act(window.localStorage);
      } catch {
        return null;
      }
    };
    return {
      stoppedOn: (text) => attempt((storage) => storage.getItem(OPENING_KEY)) === nameOf(text),
      opening(text) { set = attempt((storage) => storage.setItem(OPENING_KEY, nameOf(text))) !== null; },
      shown() {
        if (set) attempt((storage) => storage.removeItem(OPENING_KEY));
        set = false;
      },
      drop() { set = true; this.shown(); },
    };
  })();

  let heldBack = null;  // the kept sketch the page stopped on, while it is offered
  const HELD_BACK_SAID = 'Frimel stopped last time before it could show the sketch kept in this browser, ' +
    'so it starts with an empty bank. Your sketch is still kept:';

  function offerHeldBack(text) {
    heldBack = text;
    tell(HELD_BACK_SAID, [['Open it anyway', openHeldBack], ['Save it as a file', () => saveAsFile(heldBack)],
      ['Put it aside', putAside]]);
  }

  function openHeldBack() {
    if (ended()) return;
    const text = heldBack;
    heldBack = null;
    openingMark.opening(text);
    const why = openText(text);
    if (why) {
      openingMark.drop();
      store(text, UNREADABLE_KEY);
      changed = true;
      tell(`Your sketch cannot be opened: ${why}. It is kept aside; drawing starts afresh.`);
      return;
    }
    lastKept = text;
    quiet();
  }

  // Moved to a key of its own, where nothing opens it: the next load starts clean. The two are
  // never held at once, as storage may have room for one only.
  function setAside(text) {
    try {
      window.localStorage.removeItem(KEY);
      window.localStorage.setItem(ASIDE_KEY, text);
      return true;
    } catch {
      try {
        window.localStorage.setItem(KEY, text);
      } catch { /* storage refuses all: the mark keeps the next load from opening it */ }
      return false;
    }
  }

  // By its button, or at anything else that changes the scene: what is drawn from then on is kept.
  function putAside() {
    if (heldBack === null) return;
    const text = heldBack;
    if (!setAside(text)) {
      tell('Your sketch cannot be put aside: this browser\'s storage for this page refuses it. ' +
        'Save it as a file to keep it.', [['Save it as a file', () => saveAsFile(text)]]);
      return;
    }
    heldBack = null;
    openingMark.drop();
    changed = true;
    tell('Your sketch is put aside in this browser, and nothing opens it by itself any more.',
      [['Save it as a file', () => saveAsFile(text)]]);
  }

  // ---- Keeping: soon after every change, and when the page is hidden or left. While the page
  // offers back a sketch it replaced, that one stays kept until the user changes something.
  let lastKept = null;
  let latest = null;   // the sketch as last seen, kept or not
  let changed = true;
  let offered = null;  // { text offered back, whether the kept sketch waits for the offer }
  let acted = false;   // the user has reached the program since the offer

  function keepNow() {
    if (ended() || heldBack !== null || (offered !== null && offered.holdKept) || !changed) return;
    changed = false;
    const text = sketchNow();
    if (text !== null) latest = text;
    if (text === null) {
      tell(`The sketch cannot be kept: ${problem()}.`);
    } else if (text !== lastKept && store(text)) {
      lastKept = text;
    }
  }

  // Offers back the sketch that an opened one, or a clear, replaced, unless there was nothing to
  // lose. An opened sketch leaves the kept one as it was until the next change; a clear is a
  // change like any other, and only the page remembers what it cleared.
  // While a link's offer stands, the link stays in the address: a reload opens it again.
  function offerBack(before, said, { label = 'Back to my sketch', holdKept = true, fromLink = false } = {}) {
    if (before === null || before === sketchNow()) {
      dropFragment();
      tell(said);
      return;
    }
    if (!fromLink) dropFragment();
    offered = { text: before, holdKept };
    acted = false;
    tell(said, [[label, () => {
      const back = offered.text;
      endOffer();
      const why = openText(back);
      if (why) tell(`The sketch cannot be brought back: ${why}.`);
      else quiet();
    }]]);
  }

  function dropFragment() {
    if (location.hash.startsWith(FRAGMENT)) history.replaceState(null, '', location.pathname + location.search);
  }

  // The next change keeps the new sketch, and the offer ends.
  function endOffer() {
    offered = null;
    changed = true;
    dropFragment();
  }

  // What reaches the program: a press on the picture, a key it takes, a command of the toolbar
  // or the menu.
  const canvas = document.getElementById('canvas');
  const takesKey = (event) => event.key.length === 1 &&
    [canvas, document.body, document.documentElement].includes(event.target);
  // Clear by its key, its menu entry or its button: the main menu's entry of value 0.
  const clears = (event, target) => (event.type === 'keydown' ? event.key === 'c' || event.key === 'C'
    : Boolean(target && target.closest('[data-value="0"]') &&
      Number((target.closest('[data-menu]') || target.closest('.menu')).dataset.menu) === Module.glutMenus.buttons[2]));

  function userActs(event) {
    const target = event.target instanceof Element ? event.target : null;
    const reaches = event.type === 'keydown' ? takesKey(event)
      : event.type === 'pointerdown' ? target === canvas
        : Boolean(target && target.closest('#toolbar button[data-menu], .menu-entry[data-value]'));
    if (!reaches || ended()) return;
    putAside();
    changed = true;
    if (offered !== null) acted = true;
    if (event.type !== 'pointerdown' && clears(event, target)) {
      const before = sketchNow();
      setTimeout(() => { if (!ended()) offerBack(before, 'Cleared.', { label: 'Bring it back', holdKept: false }); });
    }
  }

  function tick() {
    if (offered !== null && acted) {
      endOffer();
      quiet();
    }
    keepNow();
  }

  // Starting again after the end, or after the graphics stayed away: the page is loaded anew and
  // brings the kept sketch back. Where the browser keeps nothing, the sketch rides in the link.
  function restart() {
    if (!storageRefused && stored() !== null) return location.reload();
    if (latest !== null) history.replaceState(null, '', location.pathname + location.search + FRAGMENT + latest);
    location.reload();
  }

  // ---- Opening: a link's fragment, a file or a dropped picture, in place of the scene.
  function openLink(fragment, before) {
    putAside();
    const why = openText(fragment);
    if (why) {
      tell(`This link's sketch cannot be opened: ${why}. Your sketch is as it was.`);
      dropFragment();
      return;
    }
    offerBack(before, 'Opened the sketch from the link.', { fromLink: true });
  }

  async function isPicture(file) {
    const start = new Uint8Array(await file.slice(0, PNG_START.length).arrayBuffer());
    return PNG_START.every((byte, i) => start[i] === byte);
  }

  async function openFile(file) {
    if (ended() || !file) return;
    if (file.size > MAX_FILE || (file.size > Module._frimel_sketch_text_limit() && !(await isPicture(file)))) {
      tell(`${file.name} is too big to hold a Frimel sketch.`);
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (ended()) return;
    putAside();
    const before = sketchNow();
    const why = openBytes(bytes);
    if (why) tell(`${file.name} cannot be opened: ${why}. Your sketch is as it was.`);
    else offerBack(before, `Opened ${file.name}.`);
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
      [['Save picture', () => document.getElementById('save-button').click()]]);
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

  function start() {
    const kept = stored();
    if (kept !== null && openingMark.stoppedOn(kept)) {
      offerHeldBack(kept);
    } else if (kept !== null) {
      openingMark.opening(kept);
      const why = openText(kept);
      if (why) {
        openingMark.drop();
        store(kept, UNREADABLE_KEY);
        tell(`The sketch kept in this browser cannot be opened: ${why}. It is kept aside; drawing starts afresh.`);
      } else {
        lastKept = kept;
      }
    }
    // A sketch held back is put aside for a link's: the empty bank is nothing to offer back.
    if (location.hash.startsWith(FRAGMENT)) openLink(location.hash, kept === null || heldBack !== null ? null : sketchNow());

    const shown = Module.onFrameShown;
    Module.onFrameShown = () => {
      changed = true;
      openingMark.shown();
      if (shown) shown();
    };
    setInterval(tick, KEEP_EVERY_MS);
    document.addEventListener('visibilitychange', () => { if (document.hidden) tick(); });
    window.addEventListener('pagehide', tick);
    window.addEventListener('hashchange', () => {
      if (!ended() && location.hash.startsWith(FRAGMENT)) openLink(location.hash, sketchNow());
    });
  }

  // Quitting keeps the sketch as it was at the end.
  Module.onSketchAtEnd = (text) => {
    latest = text;
    if (heldBack === null && (offered === null || !offered.holdKept || acted)) store(text);
  };

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

  window.frimelSketch = { start, carry, restart };
})();
