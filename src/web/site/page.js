// The page around Frimel's browser build: the emscripten module's settings, the console panel,
// the bitmaps fetched into the program's working directory before main runs, the graphics
// taken away and given back, and the end, after which the page offers to start again; the
// picture sized to the window in device pixels, and Save picture.
'use strict';

(function () {
  // Their names come from the build (bitmaps.js), which ships each gzip'd as NAME.gz.
  const BITMAPS = window.frimelBitmaps || [];

  const canvas = document.getElementById('canvas');
  const consolePanel = document.getElementById('console');
  const statusLine = document.getElementById('status');
  const restartButton = document.getElementById('restart');
  const page = window.frimelPage;

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
  }

  // The bitmaps and the program's code are shipped gzip'd, as a plain static server compresses
  // nothing; their fetches start with the page, beside the program's script. Null: not there.
  const fetchUnpacked = (file) => fetch(file)
    .then((response) => (response.ok
      ? new Response(response.body.pipeThrough(new DecompressionStream('gzip'))).arrayBuffer() : null))
    .catch(() => null);
  // The script and the code first, so that they run and compile while the bitmaps still arrive.
  const scriptLoad = fetchUnpacked('frimel.js.gz');
  const programLoad = fetchUnpacked('frimel.wasm.gz');
  const bitmapLoads = BITMAPS.map((name) => fetchUnpacked(name + '.gz').then((data) => ({ name, data })));

  // A bitmap the server does not have is simply not written: the program reports it and exits.
  function fetchBitmaps() {
    Module.addRunDependency('bitmaps');
    Promise.all(bitmapLoads).then((files) => {
      const folder = Module.FS.cwd();
      for (const { name, data } of files) {
        if (data) Module.FS.writeFile(folder + '/' + name, new Uint8Array(data));
      }
    }).finally(() => Module.removeRunDependency('bitmaps'));
  }

  // Where the program stands is kept in one place, the body's state, with a line under the
  // picture that says it.
  function enter(state, text) {
    document.body.dataset.state = state;
    statusLine.textContent = text;
  }

  // main returns to the browser only from GLUT's main loop, unless it has ended already.
  function started() {
    if (!page.ended()) enter('running', 'Running');
  }

  // The end of the program is not the end of the work: the sketch was kept, and starting again
  // brings it back.
  function offerRestart(label) {
    restartButton.textContent = label;
    restartButton.hidden = false;
  }
  restartButton.addEventListener('click', () => window.frimelSketch.restart());

  function ended(status) {
    window.frimelExitStatus = status;
    window.frimelMenu.close();
    // GLUT shrinks the canvas as it shuts down; give it its size back, blank.
    canvas.width = 600;
    canvas.height = 600;
    enter('ended', `Frimel has ended (exit status ${status})`);
    offerRestart('Start again');
  }

  // Any state after the end: the menu and everything else in the page stay inert from now on.
  function stopped(text) {
    window.frimelMenu.close();
    enter('ended', text);
  }

  // A fault inside the program (out of memory, most likely) ends it; the sketch kept a moment
  // before comes back with a start again.
  function aborted(what) {
    stopped(what ? `Frimel has stopped: ${what}` : 'Frimel has stopped after a fault');
    offerRestart('Start again');
  }

  // Without WebGL 2 the program could not draw anything: it is not started at all.
  function lacksWebGL2() {
    const probe = document.createElement('canvas').getContext('webgl2');
    if (probe) {
      probe.getExtension('WEBGL_lose_context')?.loseContext();  // gives its resources back at once
      return false;
    }
    stopped('Frimel needs WebGL 2, which this browser lacks or has turned off.');
    return true;
  }

  // The browser may take the graphics context away (a GPU reset, a tab put aside); the scene
  // lives in the program and is drawn again once the context is back. One that stays away for
  // long is not coming back by itself: a reload brings the kept sketch back.
  const GIVE_UP_MS = 10000;
  function watchContext() {
    let waiting = null;
    canvas.addEventListener('webglcontextlost', () => {
      if (!page.running()) return;
      statusLine.textContent = 'Running; drawing paused while the browser restores the graphics';
      waiting = setTimeout(() => {
        if (!page.running()) return;
        statusLine.textContent = 'The browser has not given the graphics back. Reload to go on: the sketch is kept.';
        offerRestart('Reload');
      }, GIVE_UP_MS);
    });
    canvas.addEventListener('webglcontextrestored', () => {
      clearTimeout(waiting);
      if (!page.running()) return;
      statusLine.textContent = 'Running';
      restartButton.hidden = true;
    });
  }

  window.Module = {
    canvas,
    print: printLine,
    printErr: (text) => console.warn(text),
    preRun: [fetchBitmaps],
    postRun: [started],
    onExit: ended,
    onAbort: aborted,
    noInitialRun: lacksWebGL2(),
  };
  watchContext();

  // emscripten's loader is handed the unpacked code instead of fetching frimel.wasm itself.
  Module.instantiateWasm = (imports, receiveInstance) => {
    programLoad.then((code) => {
      if (!code) throw new Error('frimel.wasm.gz could not be fetched');
      return WebAssembly.instantiate(code, imports);
    }).then((result) => receiveInstance(result.instance, result.module), (error) => {
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

  // ---- The picture's size: the largest square beside the panel, or above it on a narrow or
  // tall screen (there the full width), drawn at the canvas's size in device pixels.
  const GAP = 16;
  const PANEL = 300;
  const STATUS = 28;  // the status line under the picture (page.css gives it this height)
  let deviceSize = null;

  function fitPicture() {
    const width = document.documentElement.clientWidth;
    const height = window.innerHeight;
    const beside = Math.min(width - PANEL - 3 * GAP, height - 2 * GAP - STATUS);
    const above = Math.min(width, height - STATUS);
    // Beside while that keeps most of the picture's size: the console then shows too.
    const stacked = beside < 0.75 * above;
    document.body.classList.toggle('stacked', stacked);
    const side = Math.max(1, Math.floor(stacked ? above : beside));
    document.documentElement.style.setProperty('--picture', side + 'px');
  }

  function reshapeToCanvas() {
    if (!deviceSize || !page.running()) return;
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

  let lastEntry = null;
  new ResizeObserver(([entry]) => { lastEntry = entry; measureCanvas(entry); }).observe(canvas);
  // A zoom or a move to another screen changes the device scale, not the CSS size.
  window.addEventListener('resize', () => { if (lastEntry) measureCanvas(lastEntry); });
  new ResizeObserver(fitPicture).observe(document.documentElement);
  window.addEventListener('resize', fitPicture);
  fitPicture();

  // The frame is drawn and read in the same task, before the browser clears the canvas; the
  // picture carries the sketch, so it opens again for drawing on.
  function savePicture() {
    if (!page.running()) return;
    if (Module.ctx.isContextLost()) {
      statusLine.textContent = 'Save picture needs the graphics, which the browser has taken away for now.';
      return;
    }
    Module._frimel_display();
    canvas.toBlob(async (blob) => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(await window.frimelSketch.carry(blob));
      link.download = 'frimel.png';
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    }, 'image/png');
  }
  document.getElementById('save-button').addEventListener('click', savePicture);

  // emscripten runs postRun's entries last first: this one, put first, runs after started().
  Module.postRun.unshift(() => {
    if (!page.running()) return;
    reshapeToCanvas();
    window.frimelToolbar.build();
    Module.onFrameShown = window.frimelToolbar.show;
    window.frimelSketch.start();
  });

  // The program's script runs once unpacked, after everything above is in place.
  scriptLoad.then((code) => {
    if (!code) {
      aborted('frimel.js.gz could not be fetched');
      return;
    }
    const script = document.createElement('script');
    script.src = URL.createObjectURL(new Blob([code], { type: 'text/javascript' }));
    document.body.appendChild(script);
  });
})();
