// Times the browser's frames beside the desktop's, in one run on one machine: the frame bench's
// scenes (src/web/bench_scenes.h) on the desktop through bench_frames, then in headless Chromium
// through the page's replay hook. A browser frame is timed from the display call until a
// one-pixel read-back returns, which waits for the frame to be finished.
//
// Usage, after tools/run-web.sh --no-serve, a native build and npm ci in tests/web:
//   node tools/bench-web.mjs [--frames N]
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Frimel, dataDir, launch, ownXServer, serve, siteDir } from '../tests/web/harness.mjs';

const repo = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const frames = Number(process.argv[process.argv.indexOf('--frames') + 1]) || 41;
const wanted = ['placed 100', 'placed 400', 'stroke 30, threshold 0.24'];

// The scripts exactly as the desktop bench replays them.
const header = fs.readFileSync(path.join(repo, 'src/web/bench_scenes.h'), 'utf8');
const fresh = header.match(/#define FRIMEL_FRESH_SCENE "([^"]*)"/)[1];
const scenes = [...header.matchAll(/\{"([^"]+)", FRIMEL_FRESH_SCENE "([^"]*)", \d+\}/g)]
  .map(([, name, script]) => ({ name, script: fresh + script }))
  .filter((scene) => wanted.includes(scene.name));

function desktopRows() {
  const rows = {};
  for (const scene of scenes) {
    const out = execFileSync(ownXServer, [path.join(repo, 'build/bench_frames'), '--ours-only',
      '--only', scene.name, '--frames', String(frames)], { cwd: dataDir, encoding: 'utf8' });
    const line = out.split('\n').find((l) => l.startsWith(scene.name));
    const [, cones, ms] = line.slice(27).trim().split(/\s+/);
    rows[scene.name] = { cones: Number(cones), ms: Number(ms) };
  }
  return rows;
}

async function browserRows() {
  const server = await serve(siteDir);
  const browser = await launch();
  const rows = {};
  try {
    const app = new Frimel(await browser.newPage());
    await app.load(server.origin);
    for (const scene of scenes) {
      rows[scene.name] = await app.page.evaluate((script, count) => {
        Module.ccall('frimel_replay', null, ['string'], [script]);
        const gl = Module.ctx;
        const pixel = new Uint8Array(4);
        const frame = () => {
          Module._frimel_display();
          gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
        };
        for (let i = 0; i < 3; ++i) frame();
        const times = [];
        for (let i = 0; i < count; ++i) {
          const t0 = performance.now();
          frame();
          times.push(performance.now() - t0);
        }
        times.sort((a, b) => a - b);
        return { ms: times[times.length >> 1], draws: Module._frimel_draw_calls_last_frame() };
      }, scene.script, frames);
    }
    rows.browser = await browser.version();
  } finally {
    await browser.close();
    await server.close();
  }
  return rows;
}

const desktop = desktopRows();
const web = await browserRows();
console.log(`browser: ${web.browser}; ${frames} frames a scene, medians`);
console.log('| scene | cones per frame | desktop ms | browser ms | browser / desktop | WebGL draws per frame |');
console.log('|---|---:|---:|---:|---:|---:|');
for (const scene of scenes) {
  const d = desktop[scene.name], w = web[scene.name];
  console.log(`| ${scene.name} | ${d.cones} | ${d.ms.toFixed(2)} | ${w.ms.toFixed(2)} | ` +
    `${(w.ms / d.ms).toFixed(2)} | ${w.draws} |`);
}
