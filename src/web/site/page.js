// The page around Frimel's browser build: what the browser must have, the downloads and their
// progress, the emscripten module's settings, the console panel, the bitmaps written into the
// program's working directory before main runs, and the end; the picture drawn at its size in
// device pixels, the toolbar, which events reach the toolkit, and the site kept for offline use.
'use strict';

(function () {
  // Their names come from the build (site.js), which ships each gzip'd as NAME.gz, and says
  // what every download weighs.
  const BITMAPS = window.frimelBitmaps || [];
  const DOWNLOADS = window.frimelDownloads || {};
  // Keys that would scroll the page rather than reach the program.
  const SCROLL_KEYS = new Set([' ', 'ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'PageUp',
    'PageDown', 'Home', 'End']);

  const canvas = document.getElementById('canvas');
  const consolePanel = document.getElementById('console');
  const statusLine = document.getElementById('status');
  let hasEnded = false;

  function printLine(text) {
    const line = document.createElement('div');
    line.className = 'line';
    line.textContent = text;
    consolePanel.appendChild(line);
    consolePanel.scrollTop = consolePanel.scrollHeight;
  }

  // The bitmaps and the program's script and code are shipped gzip'd, as a plain static server
  // compresses nothing; their fetches start once the browser is known to run the program.
  // Null: not there.
  let scriptLoad = null;
  let programLoad = null;
  let bitmapLoads = [];
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
    const kilobytes = (bytes) => Math.round(bytes / 1000).toLocaleString('en');
    const count = (bytes) => {
      received += bytes;
      if (document.body.dataset.state === 'loading' && total) {
        statusLine.textContent = `Loading Frimel… ${kilobytes(Math.min(received, total))} of ${kilobytes(total)} KB`;
      }
    };
    const unpacked = (file) => window.frimelFetchUnpacked(file, count).catch(() => null);
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
    if (hasEnded) return;
    document.body.dataset.state = 'running';
    statusLine.textContent = 'Running';
    // Kept for offline use from now on, and installable: the worker's downloads, and the icons a
    // browser fetches for the manifest, wait until the program runs.
    navigator.serviceWorker?.register('sw.js').catch(() => {});  // none served: online only
    const manifest = document.createElement('link');
    manifest.rel = 'manifest';
    manifest.href = 'manifest.webmanifest';
    document.head.appendChild(manifest);
  }

  function ended(status) {
    hasEnded = true;
    window.frimelExitStatus = status;
    window.frimelMenu.close();
    // GLUT shrinks the canvas as it shuts down; give it its size back, blank.
    canvas.width = 600;
    canvas.height = 600;
    document.body.dataset.state = 'ended';
    statusLine.textContent = `Frimel has ended (exit status ${status})`;
  }

  // Any state after the end: the menu and everything else in the page stay inert from now on.
  function stopped(text) {
    hasEnded = true;
    window.frimelMenu.close();
    document.body.dataset.state = 'ended';
    statusLine.textContent = text;
  }

  // A fault inside the program (out of memory, most likely) ends it for good.
  function aborted(what) {
    stopped(what ? `Frimel has stopped: ${what}` : 'Frimel has stopped after a fault; reload to restart');
  }

  // The browser may take the graphics context away (a GPU reset, a tab put aside); the scene
  // lives in the program and is drawn again once the context is back.
  function watchContext() {
    canvas.addEventListener('webglcontextlost', () => {
      if (!hasEnded) statusLine.textContent = 'Running; drawing paused while the browser restores the graphics';
    });
    canvas.addEventListener('webglcontextrestored', () => {
      if (!hasEnded) statusLine.textContent = 'Running';
    });
  }

  window.Module = {
    canvas,
    print: printLine,
    printErr: (text) => console.warn(text),
    preRun: [fetchBitmaps],
    onFrameShown: () => {
      Module.onFrameShown = null;
      started();
      whenStarted();
    },
    onExit: ended,
    onAbort: aborted,
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

  // The toolkit cancels the pointer press, which would otherwise have focused the canvas; the
  // page must not scroll under the pointer before the toolkit reads where the press is.
  canvas.addEventListener('pointerdown', () => canvas.focus({ preventScroll: true }));
  canvas.addEventListener('keydown', (event) => {
    if (SCROLL_KEYS.has(event.key)) event.preventDefault();
  });

  // ---- The picture's size (page.css makes it the largest square beside the panel, or above it
  // on a narrow or tall screen), drawn at the canvas's size in device pixels.
  let deviceSize = null;
  const isEnded = () => document.body.dataset.state === 'ended';

  function reshapeToCanvas() {
    if (!deviceSize || document.body.dataset.state !== 'running') return;
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

  // ---- The toolbar: a button for every entry of the menu the program attached to the right
  // button, labels and values as it built them, a row of buttons for each submenu, the Menu
  // button for the same pop-up menu, Save picture, and the mode in force. Inert once ended.
  const toolbar = document.getElementById('toolbar');
  const modeLine = document.getElementById('mode');
  let mainMenu = 0;
  let shownMode = null;

  function commandButton(menuId, entry) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = entry.label;
    button.dataset.menu = menuId;
    button.dataset.value = entry.value;
    button.addEventListener('click', () => window.frimelMenu.run(menuId, entry.value));
    return button;
  }

  function buildToolbar() {
    const model = Module.glutMenus;
    mainMenu = model ? model.buttons[2] || 0 : 0;
    if (!mainMenu) return;
    let row = document.createElement('div');
    row.className = 'tools';
    toolbar.appendChild(row);
    for (const entry of model.menus[mainMenu]) {
      if (!entry.submenu) {
        row.appendChild(commandButton(mainMenu, entry));
        continue;
      }
      const group = document.createElement('div');
      group.className = 'tools group';
      group.setAttribute('role', 'group');
      const label = document.createElement('span');
      label.textContent = entry.label;
      group.setAttribute('aria-label', entry.label);
      group.appendChild(label);
      for (const choice of model.menus[entry.submenu] || []) {
        if (!choice.submenu) group.appendChild(commandButton(entry.submenu, choice));
      }
      toolbar.appendChild(group);
      row = document.createElement('div');
      row.className = 'tools';
      toolbar.appendChild(row);
    }
    showMode();
    Module.onFrameShown = showMode;
  }

  // The mode can change by key, menu or toolbar, and each asks for a frame: checked once a frame
  // is shown, and shown when it changes.
  function showMode() {
    if (isEnded()) return;
    const mode = Module._frimel_mode();
    if (mode !== shownMode) {
      shownMode = mode;
      let label = '';
      for (const button of toolbar.querySelectorAll(`button[data-menu="${mainMenu}"]`)) {
        const current = Number(button.dataset.value) === mode;
        button.setAttribute('aria-pressed', String(current));
        if (current) label = button.textContent.replace(/\s*\(.\)$/, '');
      }
      modeLine.textContent = 'Mode: ' + label;
    }
  }

  // A press on a tool keeps the keyboard where it was (on the picture, usually).
  toolbar.addEventListener('mousedown', (event) => event.preventDefault());

  document.getElementById('menu-button').addEventListener('click', (event) => {
    if (isEnded() || !mainMenu) return;
    const box = event.currentTarget.getBoundingClientRect();
    window.frimelMenu.open(mainMenu, box.left, box.bottom);
  });

  // The frame is drawn and read in the same task, before the browser clears the canvas.
  function savePicture() {
    if (isEnded() || document.body.dataset.state !== 'running') return;
    Module._frimel_display();
    canvas.toBlob((blob) => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = 'frimel.png';
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    }, 'image/png');
  }
  document.getElementById('save-button').addEventListener('click', savePicture);

  function whenStarted() {
    if (isEnded()) return;
    reshapeToCanvas();
    buildToolbar();
  }

  // ---- Which events reach the toolkit (its listeners are on window, registered after these).
  // Keys go to the program only from the picture or the page itself; Tab always moves focus.
  const takesKeys = (target) => target === canvas || target === document.body ||
    target === document.documentElement;
  for (const type of ['keydown', 'keyup']) {
    window.addEventListener(type, (event) => {
      if (event.key === 'Tab' || !takesKeys(event.target)) event.stopImmediatePropagation();
    }, true);
  }

  // The program has no use for the wheel; the toolkit's listener would try to cancel a scroll
  // it may not, as the browser makes window wheel listeners passive.
  for (const type of ['mousewheel', 'DOMMouseScroll']) {
    window.addEventListener(type, (event) => event.stopImmediatePropagation(), true);
  }

  // One finger on the picture is the left button, as GLUT has it; the page turns the touch into
  // mouse events itself, with a listener allowed to cancel the browser's own gestures.
  const TOUCH_AS_MOUSE = { touchstart: 'mousedown', touchmove: 'mousemove', touchend: 'mouseup',
    touchcancel: 'mouseup' };
  let finger = null;
  for (const type of Object.keys(TOUCH_AS_MOUSE)) {
    window.addEventListener(type, (event) => {
      if (event.target !== canvas) return;
      event.stopImmediatePropagation();
      if (event.cancelable) event.preventDefault();
      if (type === 'touchstart' && finger === null) finger = event.changedTouches[0].identifier;
      const touch = [...event.changedTouches].find((t) => t.identifier === finger);
      if (!touch) return;
      if (type === 'touchend' || type === 'touchcancel') finger = null;
      canvas.dispatchEvent(new MouseEvent(TOUCH_AS_MOUSE[type], { bubbles: true, cancelable: true,
        view: window, clientX: touch.clientX, clientY: touch.clientY, screenX: touch.screenX,
        screenY: touch.screenY, button: 0, buttons: type === 'touchstart' || type === 'touchmove' ? 1 : 0 }));
    }, { capture: true, passive: false });
  }

  // The program's script runs once unpacked, after everything above is in place, and only in a
  // browser that has what it needs. check.js runs as soon as it arrives: before this script, or
  // after it.
  const checkScript = document.querySelector('script[src="check.js"]');
  const browserChecked = window.frimelBrowserChecked || new Promise((done) => {
    checkScript.addEventListener('load', () => done(window.frimelBrowserChecked));
    checkScript.addEventListener('error', () => aborted('check.js could not be fetched'));
  });
  browserChecked.then((missing) => {
    if (missing) {
      stopped(`Frimel needs ${missing}, which this browser lacks or has turned off.`);
      return;
    }
    startDownloads();
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
})();
