// The page around Frimel's browser build: what the browser must have, the downloads and their
// progress, the emscripten module's settings, the console panel, the bitmaps written into the
// program's working directory before main runs, the graphics taken away and given back, and the
// end, after which the page offers to start again; the picture drawn at its size in device
// pixels, Save picture, and the site kept for offline use. It alone moves the run on (run.js),
// makes emscripten's Module and hands the program's hooks to the modules that answer them.

import * as run from './run.js';
// The bitmaps' names come from the build (site.js), which ships each gzip'd as NAME.gz, and says
// what every download weighs.
import { bitmaps as BITMAPS, downloads as DOWNLOADS } from './site.js';
import { fetchUnpacked } from './unpack.js';
import * as menu from './menu.js';
import * as toolbar from './toolbar.js';
import * as sketch from './sketch.js';
import * as words from './words.js';

const canvas = document.getElementById('canvas');
const consolePanel = document.getElementById('console');
const statusLine = document.getElementById('status');
const restartButton = document.getElementById('restart');

// Folded on a phone until asked for; always shown beside the picture.
const consoleToggle = document.getElementById('console-toggle');
consoleToggle.addEventListener('click', () => {
  const shown = consolePanel.classList.toggle('shown');
  consoleToggle.setAttribute('aria-expanded', String(shown));
});

function printLine(text) {
  const line = document.createElement('div');
  line.className = 'line';
  line.textContent = text;
  consolePanel.appendChild(line);
  consolePanel.scrollTop = consolePanel.scrollHeight;
  words.consoleLine(text);
}

// The bitmaps and the program's script and code are shipped gzip'd, as a plain static server
// compresses nothing; their fetches start once the browser is known to run the program.
// Null: not there.
let scriptLoad = null;
let programLoad = null;
let bitmapLoads = [];
const downloads = new AbortController();
let check = null;  // check.js, once imported
const nextTask = () => new Promise((done) => setTimeout(done, 0));

// The code compiles as it arrives, and is only instantiated once the script asks for it.
function compiled(stream) {
  if (!stream) throw new Error('frimel.wasm.gz could not be fetched');
  const response = new Response(stream, { headers: { 'Content-Type': 'application/wasm' } });
  return WebAssembly.compileStreaming ? WebAssembly.compileStreaming(response)
    : response.arrayBuffer().then((code) => WebAssembly.compile(code));
}

function startDownloads() {
  const total = Object.values(DOWNLOADS).reduce((sum, bytes) => sum + bytes, 0);
  let received = 0;
  // Not toLocaleString: its first call loads the locale's data and holds up the page.
  const kilobytes = (bytes) => String(Math.round(bytes / 1000)).replace(/\B(?=(\d{3})+$)/g, ',');
  const count = (bytes) => {
    received += bytes;
    if (!run.running() && !run.ended() && total) {
      statusLine.textContent = `Loading Frimel… ${kilobytes(Math.min(received, total))} of ${kilobytes(total)} KB`;
    }
  };
  const unpacked = (file) => fetchUnpacked(file, count, downloads.signal).catch(() => null);
  const bytesOf = (stream) => (stream ? new Response(stream).arrayBuffer() : null);
  // The script and the code first, so that they run and compile while the bitmaps still arrive.
  scriptLoad = unpacked('frimel.js.gz').then(bytesOf).catch(() => null);
  programLoad = unpacked('frimel.wasm.gz').then(compiled);
  programLoad.catch(() => {});  // reported once the script asks for the code
  bitmapLoads = BITMAPS.map((name) => unpacked(name + '.gz').then(bytesOf).catch(() => null)
    .then((data) => ({ name, data })));
}

// A bitmap the server does not have is simply not written: the program reports it and exits.
// One a task, and main in a task of its own after them, so that none holds up the page long.
function fetchBitmaps() {
  Module.addRunDependency('bitmaps');
  (async () => {
    const folder = Module.FS.cwd();
    for (const load of bitmapLoads) {
      const { name, data } = await load;
      if (data) Module.FS.writeFile(folder + '/' + name, new Uint8Array(data));
      await nextTask();
    }
  })().finally(() => Module.removeRunDependency('bitmaps'));
}

// main returns to the browser between bitmaps, so that start-up holds up the page in short
// tasks: the program runs once its first frame is shown, unless it has ended already.
function started() {
  if (run.ended()) return;
  enter('running', 'Running');
  if (Module.ctx && Module.ctx.isContextLost()) drawingPaused();
  // Kept for offline use from now on, and installable: the worker's downloads, and the icons a
  // browser fetches for the manifest, wait until the program runs.
  navigator.serviceWorker?.register('sw.js').catch(() => {});  // none served: online only
  const manifest = document.createElement('link');
  manifest.rel = 'manifest';
  manifest.href = 'manifest.webmanifest';
  document.head.appendChild(manifest);
}

// Where the program stands, with a line under the picture that says it.
function enter(state, text, exitStatus) {
  run.enter(state, exitStatus);
  statusLine.textContent = text;
}

// The end of the program is not the end of the work: the sketch was kept, and starting again
// brings it back.
function offerRestart(label) {
  restartButton.textContent = label;
  restartButton.hidden = false;
  if (run.ended()) restartButton.focus({ preventScroll: true });
}
restartButton.addEventListener('click', () => sketch.restart());

function ended(status) {
  check?.endWarmUp();
  menu.close();
  // GLUT shrinks the canvas as it shuts down; give it its size back, blank.
  canvas.width = 600;
  canvas.height = 600;
  enter('ended', `Frimel has ended (exit status ${status})`, status);
  offerRestart('Start again');
}

// Any state after the end: the menu and everything else in the page stay inert from now on.
function stopped(text) {
  check?.endWarmUp();
  menu.close();
  enter('ended', text);
}

// A fault inside the program (out of memory, most likely) ends it; the sketch kept a moment
// before comes back with a start again.
function aborted(what) {
  stopped(what ? `Frimel has stopped: ${what}` : 'Frimel has stopped after a fault');
  offerRestart('Start again');
}

// The browser may take the graphics context away (a GPU reset, a tab put aside); the scene
// lives in the program and is drawn again once the context is back. One that stays away for
// long is not coming back by itself: a reload brings the kept sketch back. A context comes back
// only if its loss was claimed: the program claims those it sees, the page those before the
// program runs too. One lost before the program ran shows as paused once it runs.
const GIVE_UP_MS = 10000;
let waiting = null;
function drawingPaused() {
  statusLine.textContent = 'Running; drawing paused while the browser restores the graphics';
  waiting = setTimeout(() => {
    if (!run.running()) return;
    statusLine.textContent = 'The browser has not given the graphics back. Reload to go on: the sketch is kept.';
    offerRestart('Reload');
  }, GIVE_UP_MS);
}
function watchContext() {
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();
    if (run.running()) drawingPaused();
  });
  canvas.addEventListener('webglcontextrestored', () => {
    clearTimeout(waiting);
    if (!run.running()) return;
    statusLine.textContent = 'Running';
    restartButton.hidden = true;
  });
}

window.Module = {
  canvas,
  print: printLine,
  printErr: (text) => console.warn(text),
  preRun: [fetchBitmaps],
  // In a task of its own: the page's changes then restyle and repaint in a later frame, not in
  // the first frame's task, which is long already. The program runs once the sketch it works
  // on is in place; My sketches' panel loads meanwhile.
  onFrameShown: () => {
    Module.onFrameShown = null;
    nextTask().then(() => sketch.start(() => import('./gallery.js'))).catch((error) => console.warn(error))
      .then(() => {
        started();
        whenStarted();
      });
  },
  onExit: ended,
  onAbort: aborted,
  onSketchAtEnd: sketch.atEnd,
};
watchContext();

// emscripten's loader is handed the unpacked code instead of fetching frimel.wasm itself.
Module.instantiateWasm = (imports, receiveInstance) => {
  programLoad.then((module) => WebAssembly.instantiate(module, imports)
    .then((instance) => receiveInstance(instance, module))).catch((error) => {
    console.error(error);
    Module.onAbort(String(error));
  });
  return {};
};

// exit() from a key or mouse handler unwinds through the toolkit's listener: that is the end
// already reported, not an error.
window.addEventListener('error', (event) => {
  if (event.error && event.error.name === 'ExitStatus') event.preventDefault();
});

// ---- The picture's size (page.css makes it the largest square beside the panel, or above it
// on a narrow or tall screen), drawn at the canvas's size in device pixels.
let deviceSize = null;

// Until main starts the canvas simply takes the size, so that the first frame is drawn at it
// (a resize later costs the graphics a new drawing buffer); from then on it goes through the
// toolkit, once the program runs.
let sizedByProgram = false;
function reshapeToCanvas() {
  if (!deviceSize || run.ended()) return;
  if (!sizedByProgram) {
    [canvas.width, canvas.height] = deviceSize;
    return;
  }
  if (!run.running()) return;
  if (canvas.width === deviceSize[0] && canvas.height === deviceSize[1]) return;
  Module._frimel_resize(deviceSize[0], deviceSize[1]);
}

// The exact device-pixel box where the browser gives one that agrees with the CSS size times
// the device scale (an emulated device scale is not in it), otherwise the product.
function measureCanvas(entry) {
  const box = entry.contentBoxSize[0];
  const scaled = [box.inlineSize * devicePixelRatio, box.blockSize * devicePixelRatio];
  const exact = entry.devicePixelContentBoxSize && entry.devicePixelContentBoxSize[0];
  const agrees = exact && Math.abs(exact.inlineSize - scaled[0]) < 1 && Math.abs(exact.blockSize - scaled[1]) < 1;
  deviceSize = agrees ? [exact.inlineSize, exact.blockSize] : scaled.map(Math.round);
  reshapeToCanvas();
}

Module.onRuntimeInitialized = () => {
  reshapeToCanvas();
  sizedByProgram = true;
};

let lastEntry = null;
new ResizeObserver(([entry]) => { lastEntry = entry; measureCanvas(entry); }).observe(canvas);
// A zoom or a move to another screen changes the device scale, not the CSS size.
window.addEventListener('resize', () => { if (lastEntry) measureCanvas(lastEntry); });

// The frame is drawn and read in the same task, before the browser clears the canvas; the
// picture carries the sketch, so it opens again for drawing on.
function savePicture() {
  if (!run.running()) return;
  if (Module.ctx.isContextLost()) {
    statusLine.textContent = 'Save picture needs the graphics, which the browser has taken away for now.';
    return;
  }
  Module._frimel_display();
  canvas.toBlob(async (blob) => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(await sketch.carry(blob));
    link.download = 'frimel.png';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }, 'image/png');
}
document.getElementById('save-button').addEventListener('click', savePicture);

function whenStarted() {
  if (!run.running()) return;
  reshapeToCanvas();
  toolbar.build();
  // A frame drawn only for another sketch's picture is none of theirs.
  Module.onFrameShown = () => {
    if (!sketch.frame()) return;
    toolbar.frame();
    words.frame();
    window.dispatchEvent(new Event('frimel-frame'));  // a keyboard turn waits for its frame
  };
  words.start();
}

// The program's script runs once unpacked, after everything above is in place, and only in a
// browser that has what it needs. check.js runs as soon as it arrives, before this module or
// after it; imported here, it is the same module, run once. The downloads start once the quick
// checks pass and the page has shown itself, and run while the graphics are checked: a browser's
// first graphics context may take seconds to make, and the network would stand idle meanwhile.
// Without WebGL 2 they stop where they are.
const lacks = (what) => stopped(`Frimel needs ${what}, which this browser lacks or has turned off.`);
import('./check.js').then((loaded) => {
  check = loaded;
  return loaded.browserCheck;
}, () => {
  aborted('check.js could not be fetched');
  return new Promise(() => {});  // nothing more to start
}).then(async ({ lacking, graphics }) => {
  if (lacking) {
    lacks(lacking);
    return;
  }
  await check.shown;
  startDownloads();
  const missing = await graphics;
  if (missing) {
    downloads.abort();
    lacks(missing);
    return;
  }
  scriptLoad.then((code) => {
    if (!code) {
      aborted('frimel.js.gz could not be fetched');
      return;
    }
    const script = document.createElement('script');
    script.src = URL.createObjectURL(new Blob([code], { type: 'text/javascript' }));
    document.body.appendChild(script);
  });
});
