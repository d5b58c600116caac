// What the browser must have, checked as soon as this arrives and before anything of the program
// is downloaded: window.frimelBrowserChecked gives the name of what it lacks, or null. WebGL 2
// is tried first in a worker, where a browser's first context, slow to make, does not hold up
// the page; then the program's own is made on the canvas, with the attributes GLUT asks for
// (GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH), so that GLUT's window finds it made.
'use strict';

window.frimelBrowserChecked = (function () {
  const GLUT_CONTEXT = { alpha: false, antialias: false, depth: true, stencil: false };

  function missingFeature() {
    if (typeof WebAssembly !== 'object') return 'WebAssembly';
    if (typeof ReadableStream !== 'function' || !('body' in Response.prototype)) return 'streamed downloads';
    return null;
  }

  // The worker keeps its context until the program ends or the page is first hidden: the
  // graphics tear a context down slowly, and meanwhile the page's own context waits, be it being
  // made or drawing the first frames.
  let warmWorker = null;
  window.frimelEndWarmUp = () => {
    if (warmWorker) warmWorker.terminate();
    warmWorker = null;
  };
  document.addEventListener('visibilitychange', () => {
    if (document.hidden) window.frimelEndWarmUp();
  });

  function warmUpGraphics() {
    if (typeof Worker !== 'function' || typeof OffscreenCanvas !== 'function') return Promise.resolve();
    const code = "self.gl = new OffscreenCanvas(1, 1).getContext('webgl2'); postMessage(0);";
    return new Promise((done) => {
      warmWorker = new Worker(URL.createObjectURL(new Blob([code], { type: 'text/javascript' })));
      warmWorker.onmessage = done;
      warmWorker.onerror = () => { window.frimelEndWarmUp(); done(); };
      setTimeout(done, 3000);  // a worker that never answers only loses the head start
    });
  }

  const missing = missingFeature();
  if (missing) return Promise.resolve(missing);
  return warmUpGraphics().then(() => (document.getElementById('canvas').getContext('webgl2', GLUT_CONTEXT)
    ? null : 'WebGL 2'));
})();
