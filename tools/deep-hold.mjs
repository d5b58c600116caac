// The deepest crystal held still, on the desktop and in the browser in one run: keys 4 and y, a
// press on the snow held still for a while, a release, and 'z'. Prints the browser's WebAssembly
// heap after the hold, its longest frame task during the hold, and how long each program took
// to show the scene without the object after the 'z' (pictures polled until they equal the
// scene before the press).
//
// Usage, after tools/run-web.sh --no-serve, a native build and npm ci in tests/web:
//   node tools/deep-hold.mjs [--hold SECONDS]
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import { Frimel, dataDir, launch, serve, siteDir } from '../tests/web/harness.mjs';

const repo = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const at = process.argv.indexOf('--hold');
const hold = (at >= 0 && Number(process.argv[at + 1])) || 10;
const MiB = 1024 * 1024;

const desktop = execFileSync('/usr/bin/python3', [path.join(repo, 'tools/deep-hold-desktop.py'),
  path.join(repo, 'build/frimel'), dataDir, String(hold)], { encoding: 'utf8' });
const desktopSeconds = Number(desktop.match(/undo seconds: ([\d.]+)/)[1]);

const server = await serve(siteDir);
const browser = await launch();
try {
  const app = new Frimel(await browser.newPage());
  await app.load(server.origin);
  const canvasPicture = async () => Buffer.from(await (await app.page.$('#canvas')).screenshot());
  await app.key('4', 'y');
  await app.nextFrames(3);
  const empty = await canvasPicture();
  await app.page.evaluate(() => {
    window.longestTask = 0;
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longestTask = Math.max(window.longestTask, entry.duration);
    }).observe({ entryTypes: ['longtask'] });
  });
  await app.press(300, 300);
  await new Promise((done) => setTimeout(done, hold * 1000));
  const { heap, longest } = await app.page.evaluate(() => ({ heap: Module.HEAP8.buffer.byteLength,
    longest: window.longestTask }));
  await app.release();
  await app.key('z');
  const start = performance.now();
  while (!(await canvasPicture()).equals(empty)) {
    if (performance.now() - start > 120000) throw new Error('the browser never showed the scene without the object');
  }
  const browserSeconds = (performance.now() - start) / 1000;
  console.log(`browser: ${await browser.version()}; held still ${hold} s`);
  console.log(`heap after the hold: ${(heap / MiB).toFixed(1)} MiB; longest task during the hold: ${longest.toFixed(0)} ms`);
  console.log(`'z' shown after: desktop ${desktopSeconds.toFixed(2)} s, browser ${browserSeconds.toFixed(2)} s ` +
    `(${(browserSeconds / desktopSeconds).toFixed(2)} times the desktop's)`);
} finally {
  await browser.close();
  await server.close();
}
