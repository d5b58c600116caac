// What the browser must have, checked as soon as this arrives (an async module that imports
// nothing, so nothing holds it up): browserCheck.lacking names a feature it lacks, or is null, at
// once, and .graphics gives 'WebGL 2' when it lacks that, or null, once known; .shown settles once
// the page has shown its first text, and the program's downloads start then. WebGL 2 is tried
// first in a worker, where a browser's first context, slow to make, does not hold up the page;
// then the program's own is made on the canvas, with the attributes GLUT asks for (GLUT_RGB |
// GLUT_DOUBLE | GLUT_DEPTH), so that GLUT's window finds it made.

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
export function endWarmUp() {
  if (warmWorker) warmWorker.terminate();
  warmWorker = null;
}
document.addEventListener('visibilitychange', () => {
  if (document.hidden) endWarmUp();
});

function warmUpGraphics() {
  if (typeof Worker !== 'function' || typeof OffscreenCanvas !== 'function') return Promise.resolve();
  const code = "self.gl = new OffscreenCanvas(1, 1).getContext('webgl2'); postMessage(0);";
  return new Promise((done) => {
    warmWorker = new Worker(URL.createObjectURL(new Blob([code], { type: 'text/javascript' })));
    warmWorker.onmessage = done;
    warmWorker.onerror = () => { endWarmUp(); done(); };
    setTimeout(done, 3000);  // a worker that never answers only loses the head start
  });
}

// Once the page has shown its first text, so that what starts then does not compete with the
// page's first picture of itself, but no later than a second after the page was asked for: a
// browser starting its graphics may take longer to show anything, and the network would stand
// idle meanwhile. At once where that moment is not told, or in a tab opened behind others, which
// paints nothing.
const LATEST_MS = 1000;
function firstPaint() {
  const told = typeof PerformanceObserver === 'function'
    && PerformanceObserver.supportedEntryTypes?.includes('paint');
  if (!told || document.hidden || performance.getEntriesByName('first-contentful-paint').length) {
    return new Promise((done) => setTimeout(done, 0));
  }
  return new Promise((done) => {
    const observer = new PerformanceObserver((entries) => {
      if (!entries.getEntriesByName('first-contentful-paint').length) return;
      observer.disconnect();
      done();
    });
    observer.observe({ type: 'paint' });
    setTimeout(done, Math.max(0, LATEST_MS - performance.now()));
  });
}

export const shown = firstPaint();
const lacking = missingFeature();
export const browserCheck = lacking ? { lacking, graphics: Promise.resolve(null) }
  : { lacking, graphics: warmUpGraphics().then(() => (document
    .getElementById('canvas').getContext('webgl2', GLUT_CONTEXT) ? null : 'WebGL 2')) };
