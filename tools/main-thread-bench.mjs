// The page's own work on the main thread for each frame it draws, cones by instances (the
// default) against cones as triangles (?cones=cpu), in one run: the time spent in the
// animation-frame callbacks (where the program grows and draws), over the frames shown, while a
// new crystal grows beside a placed bank of them (the frame bench's scenes), and during the deepest crystal held still.
//
// The two ways take turns for a number of rounds; each figure is the median of its rounds.
//
// Usage, after tools/run-web.sh --no-serve and npm ci in tests/web:
//   node tools/main-thread-bench.mjs [--rounds N] [--hold SECONDS] [--baseline SITE]
//     --hold SECONDS   the longest a deep hold may take to show its frames (40 unless told)
//     --baseline SITE  times a test site built before a change against this one, each way, the
//                      two sites taking turns (the first of a round changes each round; 5 rounds
//                      unless told); fails when a scene's median is more than 5 % above the
//                      baseline's
import { Frimel, launch, serve, siteDir } from '../tests/web/harness.mjs';

const option = (name, fallback) => {
  const at = process.argv.indexOf(name);
  return (at >= 0 && Number(process.argv[at + 1])) || fallback;
};
const baseline = process.argv.includes('--baseline') ? process.argv[process.argv.indexOf('--baseline') + 1] : null;
const rounds = option('--rounds', baseline ? 5 : 3);
const hold = option('--hold', 40);
const ways = [['instanced', ''], ['cpu', '?cones=cpu']];
const fresh = 'key c; key y; key 2; srand 1; ';
const banks = [['empty bank', 'settle'], ['100 crystals placed', 'grid 100; settle'],
  ['400 crystals placed', 'grid 400; settle'], ['800 crystals placed', 'grid 800; settle']];

// Before any script of the page: every animation-frame callback that shows a frame is timed.
function timeFrames() {
  window.frameWork = { busy: 0, frames: 0 };
  // The program's functions are there before its code is ready, and throw until then: a callback
  // that never ran would leave the page's start-up waiting for good.
  const shown = () => {
    try {
      return window.Module && Module._frimel_frames_shown ? Module._frimel_frames_shown() : 0;
    } catch {
      return 0;
    }
  };
  const request = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => request((time) => {
    const start = performance.now();
    const before = shown();
    try {
      callback(time);
    } finally {
      const frames = shown() - before;
      if (frames > 0) {
        window.frameWork.busy += performance.now() - start;
        window.frameWork.frames += frames;
      }
    }
  });
}

const counters = (app) => app.page.evaluate(() => ({ ...window.frameWork }));
const perFrame = (from, to) => (to.busy - from.busy) / Math.max(1, to.frames - from.frames);

async function page(browser, origin, query) {
  const context = await browser.createBrowserContext();
  const tab = await context.newPage();
  await tab.evaluateOnNewDocument(timeFrames);
  const app = new Frimel(tab);
  await app.load(origin, { query });
  return { app, context };
}

// A click beside the bank grows a crystal for some frames, until it rests.
async function growingBeside(app, script) {
  await app.page.evaluate((s) => Module.ccall('frimel_replay', null, ['string'], [s]), fresh + script);
  await app.nextFrames(3);
  const from = await counters(app);
  await app.click(300, 560);
  await new Promise((done) => setTimeout(done, 2500));
  return perFrame(from, await counters(app));
}

// The held crystal grows a step a frame from the program's random numbers: seeded, and timed
// over the same frames of the hold, so that every round and both sites hold the same crystal
// through the same steps, however quickly each shows them. (Timed over a span of seconds, a
// quicker page reached larger steps, and each round's crystal was another.) The early frames
// cost well under a millisecond; the late ones, where the crystal nears the most Frimel draws,
// tens of milliseconds.
const HOLD_SPANS = [[10, 90], [120, 165]];
const holdScene = ([from, to]) => `deep hold (keys 4 and y, frames ${from} to ${to})`;
async function deepHold(app) {
  await app.page.evaluate(() => Module.ccall('frimel_replay', null, ['string'], ['srand 1']));
  await app.key('4', 'y');
  await app.nextFrames(3);
  const start = (await counters(app)).frames;
  const until = Date.now() + hold * 1000;
  const reach = async (frames) => {
    while ((await counters(app)).frames < start + frames && Date.now() < until) {
      await new Promise((done) => setTimeout(done, 20));
    }
    return counters(app);
  };
  await app.press(300, 300);
  const spans = [];
  for (const [from, to] of HOLD_SPANS) {
    const at = await reach(from);
    const end = await reach(to);
    spans.push({ ms: perFrame(at, end), frames: end.frames - at.frames });
  }
  await app.release();
  return spans;
}

const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];
// The site under test, and with --baseline the one before a change, each served on its own.
const sites = baseline ? [['old', await serve(baseline)], ['new', await serve(siteDir)]] : [['', await serve(siteDir)]];
const browser = await launch();
const results = {};  // scene -> way (with the site) -> [ms per round]
const record = (scene, way, ms) => (((results[scene] ??= {})[way] ??= []).push(ms));
try {
  console.log(`browser: ${await browser.version()}; ${rounds} rounds taking turns; deep hold frames ${HOLD_SPANS.map((span) => span.join(' to ')).join(' and ')}, within ${hold} s`);
  for (let round = 0; round < rounds; ++round) {
    for (const [way, query] of ways) {
      for (const [site, server] of round % 2 ? [...sites].reverse() : sites) {
        const name = `${site} ${way}`.trim();
        const { app, context } = await page(browser, server.origin, query);
        for (const [scene, script] of banks) record(scene, name, await growingBeside(app, script));
        await context.close();
        const holding = await page(browser, server.origin, query);  // the deep hold at the start's settings
        const spans = await deepHold(holding.app);
        spans.forEach((span, k) => record(holdScene(HOLD_SPANS[k]), name, span.ms));
        console.log(`round ${round + 1}, ${name}: deep hold ` +
          spans.map((span) => `${span.ms.toFixed(2)} ms a frame over ${span.frames} frames`).join(', then '));
        await holding.context.close();
      }
    }
  }
} finally {
  await browser.close();
  for (const [, server] of sites) await server.close();
}
if (baseline) {
  console.log('| scene | way | main-thread ms per frame, old | new | new / old |');
  console.log('|---|---|---:|---:|---:|');
  let slower = 0;
  for (const [scene, by] of Object.entries(results)) {
    for (const [way] of ways) {
      const old = median(by[`old ${way}`]), now = median(by[`new ${way}`]);
      slower += now / old > 1.05 ? 1 : 0;
      console.log(`| ${scene} | ${way} | ${old.toFixed(2)} | ${now.toFixed(2)} | ${(now / old).toFixed(3)} |`);
    }
  }
  if (slower > 0) console.error(`${slower} scene(s) more than 5 % slower than the baseline`);
  process.exit(slower > 0 ? 1 : 0);
}
console.log('| scene | main-thread ms per frame, cones by instances | the same, ?cones=cpu | instanced / cpu |');
console.log('|---|---:|---:|---:|');
for (const [scene, by] of Object.entries(results)) {
  const gpu = median(by.instanced), cpu = median(by.cpu);
  console.log(`| ${scene} | ${gpu.toFixed(2)} | ${cpu.toFixed(2)} | ${(gpu / cpu).toFixed(2)} |`);
}
