// Times the browser's frames beside the desktop's, in one run on one machine: the frame bench's
// scenes (src/scenes/bench_scenes.h) on the desktop through bench_frames, then in headless Chromium
// through the page's replay hook, cones by instances (the page's default) and as triangles
// (?cones=cpu). A browser frame is timed from the display call until a one-pixel read-back
// returns, which waits for the frame to be finished; the main thread's part is the display call
// alone, before the read-back.
//
// The machine's speed drifts, so the two take turns for a number of rounds, after one that warms
// the pages up, and each figure is the median of its rounds' medians.
//
// Usage, after tools/run-web.sh --no-serve, a native build and npm ci in tests/web:
//   node tools/bench-web.mjs [--frames N] [--rounds N] [--only TEXT] [--baseline SITE]
//     --only TEXT      the scenes whose name holds TEXT (by default placed 100 and 400, and a stroke);
//                      "bound" times the costliest scenes the cone bound lets in
//     --baseline SITE  times a test site built before a change against this one instead of the
//                      desktop, both ways of the cones, the two sites taking turns (the first of a
//                      round changes each round); fails when a scene's median is more than 5 %
//                      above the baseline's
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Frimel, dataDir, launch, ownXServer, serve, siteDir } from '../tests/web/harness.mjs';

const repo = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const option = (name, fallback) => {
  const at = process.argv.indexOf(name);
  return (at >= 0 && Number(process.argv[at + 1])) || fallback;
};
const frames = option('--frames', 41);
const rounds = option('--rounds', 5);
const named = (name) => (process.argv.includes(name) ? process.argv[process.argv.indexOf(name) + 1] : null);
const only = named('--only');
const baseline = named('--baseline');
const wanted = (name) => (only ? name.includes(only) : ['placed 100', 'placed 400', 'stroke 30, threshold 0.24'].includes(name));

// The scripts exactly as the desktop bench replays them.
const header = fs.readFileSync(path.join(repo, 'src/scenes/bench_scenes.h'), 'utf8');
const fresh = header.match(/#define FRIMEL_FRESH_SCENE "([^"]*)"/)[1];
const scenes = [...header.matchAll(/\{"([^"]+)", FRIMEL_FRESH_SCENE "([^"]*)", \d+\}/g)]
  .map(([, name, script]) => ({ name, script: fresh + script }))
  .filter((scene) => wanted(scene.name));

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

async function browserRows(app) {
  const rows = {};
  for (const scene of scenes) {
    rows[scene.name] = await app.page.evaluate((script, count) => {
      Module.ccall('frimel_replay', null, ['string'], [script]);
      const gl = Module.ctx;
      const pixel = new Uint8Array(4);
      const times = [], mainTimes = [];
      const frame = () => {
        const t0 = performance.now();
        Module._frimel_display();
        const t1 = performance.now();
        gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
        times.push(performance.now() - t0);
        mainTimes.push(t1 - t0);
      };
      for (let i = 0; i < 3; ++i) frame();
      times.length = mainTimes.length = 0;
      for (let i = 0; i < count; ++i) frame();
      const middle = (values) => values.sort((a, b) => a - b)[values.length >> 1];
      return { ms: middle(times), mainMs: middle(mainTimes), draws: Module._frimel_draw_calls_last_frame() };
    }, scene.script, frames);
  }
  return rows;
}

const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

// Each site and way a page of its own, warmed up by an uncounted round as below.
async function againstBaseline() {
  const sites = { old: await serve(baseline), new: await serve(siteDir) };
  const ways = { instanced: '', cpu: '?cones=cpu' };
  const browser = await launch();
  const pages = {}, timed = {};  // 'site way' -> page, rounds of rows
  try {
    for (const [site, server] of Object.entries(sites)) {
      for (const [way, query] of Object.entries(ways)) {
        const app = new Frimel(await (await browser.createBrowserContext()).newPage());
        await app.load(server.origin, { query });
        await browserRows(app);
        pages[`${site} ${way}`] = app;
      }
    }
    for (let round = 0; round < rounds; ++round) {
      for (const way of Object.keys(ways)) {
        for (const site of round % 2 ? ['new', 'old'] : ['old', 'new']) {
          (timed[`${site} ${way}`] ??= []).push(await browserRows(pages[`${site} ${way}`]));
        }
      }
    }
    console.log(`browser: ${await browser.version()}; ${frames} frames a scene, ${rounds} rounds taking turns`);
  } finally {
    await browser.close();
    for (const server of Object.values(sites)) await server.close();
  }
  console.log('| scene | cones | old ms | new ms | new / old | main thread, old ms | new ms | draws, old | new |');
  console.log('|---|---|---:|---:|---:|---:|---:|---:|---:|');
  let slower = 0;
  for (const scene of scenes) {
    for (const way of Object.keys(ways)) {
      const [old, now] = ['old', 'new'].map((site) => timed[`${site} ${way}`].map((rows) => rows[scene.name]));
      const ms = (rows, key) => median(rows.map((row) => row[key]));
      const ratio = ms(now, 'ms') / ms(old, 'ms');
      slower += ratio > 1.05 ? 1 : 0;
      console.log(`| ${scene.name} | ${way} | ${ms(old, 'ms').toFixed(2)} | ${ms(now, 'ms').toFixed(2)} | ${ratio.toFixed(3)} | ` +
        `${ms(old, 'mainMs').toFixed(2)} | ${ms(now, 'mainMs').toFixed(2)} | ${old.at(-1).draws} | ${now.at(-1).draws} |`);
    }
  }
  if (slower > 0) {
    console.error(`${slower} scene(s) more than 5 % slower than the baseline`);
    process.exitCode = 1;
  }
}

if (baseline) {
  await againstBaseline();
  process.exit();
}

const server = await serve(siteDir);
const browser = await launch();
const desktopRounds = [], webRounds = [], cpuRounds = [];
try {
  // Cones by instances, the page's default, and as triangles (?cones=cpu), each a page of its own.
  const app = new Frimel(await (await browser.createBrowserContext()).newPage());
  await app.load(server.origin);
  const cpu = new Frimel(await (await browser.createBrowserContext()).newPage());
  await cpu.load(server.origin, { query: '?cones=cpu' });
  // A first round goes uncounted: just after loading, while the pages still finish starting (the
  // browser compiles their hot code anew, the site is kept for offline use), frames ran up to
  // 70 % slower.
  await browserRows(app);
  await browserRows(cpu);
  for (let round = 0; round < rounds; ++round) {
    desktopRounds.push(desktopRows());
    webRounds.push(await browserRows(app));
    cpuRounds.push(await browserRows(cpu));
  }
  console.log(`browser: ${await browser.version()}; ${frames} frames a scene, ${rounds} rounds taking turns`);
} finally {
  await browser.close();
  await server.close();
}
console.log('| scene | cones per frame | desktop ms | browser ms | browser / desktop | ratio, fastest and slowest round | ' +
  'WebGL draws per frame | browser ms, ?cones=cpu | its draws | main thread ms, instanced | the same, cpu |');
console.log('|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|');
for (const scene of scenes) {
  const d = median(desktopRounds.map((r) => r[scene.name].ms));
  const w = median(webRounds.map((r) => r[scene.name].ms));
  const c = median(cpuRounds.map((r) => r[scene.name].ms));
  const ratios = desktopRounds.map((r, i) => webRounds[i][scene.name].ms / r[scene.name].ms);
  const draws = webRounds[webRounds.length - 1][scene.name].draws;
  const cpuDraws = cpuRounds[cpuRounds.length - 1][scene.name].draws;
  console.log(`| ${scene.name} | ${desktopRounds[0][scene.name].cones} | ${d.toFixed(2)} | ${w.toFixed(2)} | ` +
    `${(w / d).toFixed(2)} | ${Math.min(...ratios).toFixed(2)} to ${Math.max(...ratios).toFixed(2)} | ${draws} | ` +
    `${c.toFixed(2)} | ${cpuDraws} | ${median(webRounds.map((r) => r[scene.name].mainMs)).toFixed(2)} | ` +
    `${median(cpuRounds.map((r) => r[scene.name].mainMs)).toFixed(2)} |`);
}
