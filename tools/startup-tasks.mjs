// The main thread's long tasks (over 50 ms) while the public site starts, unslowed, the layout
// shift, and when the page's first text, the program's downloads and the first frame start, over several loads in one headless Chromium: a
// browser's first load, which also starts its graphics, and loads after it. --slow-link
// emulates a slow mobile link (1.6 Mbit/s down, 150 ms latency). Run after tools/run-web.sh
// --no-serve and npm ci in tests/web:
//   node tools/startup-tasks.mjs [--loads 6] [--slow-link] [--site build-web/site]
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launch, publicSiteDir, serve } from '../tests/web/harness.mjs';

const option = (name, fallback) => {
  const at = process.argv.indexOf(name);
  return at > 0 ? process.argv[at + 1] : fallback;
};
const loads = Number(option('--loads', 6));
const site = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', option('--site', publicSiteDir));

const server = await serve(site);
const browser = await launch();
try {
  for (let load = 1; load <= loads; load++) {
    const page = await browser.newPage();
    if (process.argv.includes('--slow-link')) {
      await page.emulateNetworkConditions({ download: 1.6e6 / 8, upload: 750e3 / 8, latency: 150 });
    }
    await page.evaluateOnNewDocument(() => {
      window.longTasks = [];
      window.firstFrame = null;
      Object.defineProperty(window, 'Module', { configurable: true, set(module) {
        delete window.Module;
        window.Module = module;
        const shown = module.onFrameShown;
        module.onFrameShown = () => {
          window.firstFrame = performance.now();
          shown();
        };
      } });
      window.shifted = 0;
      new PerformanceObserver((list) => list.getEntries().forEach((task) => window.longTasks
        .push(Math.round(task.duration)))).observe({ type: 'longtask', buffered: true });
      new PerformanceObserver((list) => list.getEntries().forEach((shift) => { window.shifted += shift.value; }))
        .observe({ type: 'layout-shift', buffered: true });
    });
    await page.goto(server.origin + '/index.html');
    await page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 120000 });
    await new Promise((done) => setTimeout(done, 1000));  // the first frames, the toolbar, the worker
    const { longTasks, shifted, firstFrame, firstText, downloads } = await page.evaluate(() => ({
      longTasks: window.longTasks, shifted: window.shifted, firstFrame: window.firstFrame,
      firstText: performance.getEntriesByName('first-contentful-paint')[0]?.startTime,
      downloads: performance.getEntriesByType('resource').find((file) => file.name.endsWith('.wasm.gz'))?.startTime,
    }));
    console.log(`load ${load}: first text at ${Math.round(firstText)} ms, downloads from ${Math.round(downloads)} ms,` +
      ` first frame at ${Math.round(firstFrame)} ms; long tasks ${JSON.stringify(longTasks)} ms;` +
      ` layout shift ${shifted.toFixed(3)}`);
    await page.close();
  }
} finally {
  await browser.close();
  await server.close();
}
