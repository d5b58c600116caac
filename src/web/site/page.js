// The page around Frimel's browser build: the emscripten module's settings, the console panel,
// the bitmaps fetched into the program's working directory before main runs, and the end.
'use strict';

(function () {
  const BITMAPS = ['background.bmp', 'white.bmp', 'ice.bmp', 'ice2.bmp', 'ice3.bmp', 'ice4.bmp',
    'ice5.bmp', 'snow.bmp'];
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

  // A bitmap the server does not have is simply not written: the program reports it and exits.
  function fetchBitmaps() {
    Module.addRunDependency('bitmaps');
    const loads = BITMAPS.map((name) => fetch(name)
      .then((response) => (response.ok ? response.arrayBuffer() : null))
      .catch(() => null)
      .then((data) => ({ name, data })));
    Promise.all(loads).then((files) => {
      const folder = Module.FS.cwd();
      for (const { name, data } of files) {
        if (data) Module.FS.writeFile(folder + '/' + name, new Uint8Array(data));
      }
    }).finally(() => Module.removeRunDependency('bitmaps'));
  }

  // main returns to the browser only from GLUT's main loop, unless it has ended already.
  function started() {
    if (hasEnded) return;
    document.body.dataset.state = 'running';
    statusLine.textContent = 'Running';
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
    postRun: [started],
    onExit: ended,
    onAbort: aborted,
    noInitialRun: lacksWebGL2(),
  };
  watchContext();

  // exit() from a key or mouse handler unwinds through the toolkit's listener: that is the end
  // already reported, not an error.
  window.addEventListener('error', (event) => {
    if (event.error && event.error.name === 'ExitStatus') event.preventDefault();
  });

  // The toolkit cancels the pointer press, which would otherwise have focused the canvas.
  canvas.addEventListener('pointerdown', () => canvas.focus());
  canvas.addEventListener('keydown', (event) => {
    if (SCROLL_KEYS.has(event.key)) event.preventDefault();
  });
})();
