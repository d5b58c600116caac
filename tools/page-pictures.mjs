// Takes the README's pictures of the page: on a desktop, on a phone, the keyboard's cursor, and
// My sketches.
// Usage: node tools/page-pictures.mjs [--out docs]   (after the site is built and npm ci has run
// in tests/web). Every placement goes through the page as a person's would.
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
// The tests' site, for its hook that lets the crystals grow to rest; the page is the public one's.
const { Frimel, PHONE, launch, serve, siteDir } = await import(path.join(repo, 'tests/web/harness.mjs'));
const out = process.argv.includes('--out') ? process.argv[process.argv.indexOf('--out') + 1] : path.join(repo, 'docs');

const server = await serve(siteDir);
const browser = await launch();

async function page(viewport) {
  const context = await browser.createBrowserContext();
  const tab = await context.newPage();
  await tab.setViewport(viewport);
  const app = new Frimel(tab);
  await app.load(server.origin);
  return app;
}

async function crystal(app, colour, x, y, holdFrames = 0) {
  await app.tool('Ice Color', colour);
  await app.press(x, y);
  if (holdFrames) await app.nextFrames(holdFrames);
  await app.release();
}

try {
  // A desktop window: a stroke, crystals of five colours, a chunk, and the page as it stands.
  const desktop = await page({ width: 1100, height: 660 });
  await desktop.key('y');
  await desktop.tool('Ice Color', 'Blue');
  await desktop.drag(Array.from({ length: 10 }, (_, i) => [120 + 40 * i, 200 + Math.round(18 * Math.sin(i / 1.5))]));
  for (const [colour, x, y, hold] of [['White', 300, 300, 40], ['Purple', 450, 360, 0], ['Red', 170, 380, 0],
    ['Green', 320, 460, 20]]) await crystal(desktop, colour, x, y, hold);
  await desktop.settle();
  await desktop.page.screenshot({ path: path.join(out, 'web-page.png') });

  // The keyboard's cursor, after a few placements and a stroke by keys alone.
  await desktop.page.keyboard.press('ArrowDown');
  for (let i = 0; i < 3; i++) await desktop.page.keyboard.press('ArrowDown');
  await desktop.page.keyboard.down('Control');
  await desktop.page.keyboard.press('ArrowRight');
  await desktop.page.keyboard.press('ArrowRight');
  await desktop.page.keyboard.up('Control');
  await desktop.page.keyboard.press('Enter');
  for (let i = 0; i < 6; i++) await desktop.page.keyboard.press('ArrowRight');
  await desktop.settle();
  const canvas = desktop.box;
  await desktop.page.screenshot({ path: path.join(out, 'keyboard-cursor.png'),
    clip: { x: canvas.left + 250, y: canvas.top + 220, width: 300, height: 200 } });

  // My sketches: the one above and two more, each with its picture.
  await desktop.page.keyboard.press('Escape');
  const openGallery = async () => {
    if (await desktop.page.$eval('#gallery', (panel) => panel.hidden)) await desktop.page.click('#gallery-button');
  };
  for (const [mode, colour, points] of [['u', 'Red', [[200, 300], [300, 420], [420, 330]]],
    ['y', 'White', [[300, 300], [230, 420], [380, 430]]]]) {
    await desktop.waitUntilKept();
    await openGallery();
    const before = await desktop.page.evaluate(() => window.frimelSketch.currentId());
    await desktop.page.click('#gallery .tools button:first-child');  // New sketch
    await desktop.page.waitForFunction((id) => window.frimelSketch.currentId() !== id, {}, before);
    await desktop.page.focus('#canvas');
    await desktop.key(mode);
    for (const [x, y] of points) await crystal(desktop, colour, x, y, 30);
    await desktop.settle();
  }
  await desktop.waitUntilKept();
  await openGallery();
  await desktop.page.waitForFunction(() => document.querySelectorAll('#gallery .sketch img').length >= 3
    && [...document.querySelectorAll('#gallery .sketch img')].every((img) => img.complete && img.naturalWidth > 0));
  await desktop.page.evaluate(() => window.scrollTo(0, 0));
  await desktop.page.screenshot({ path: path.join(out, 'web-gallery.png') });

  // A phone, upright: taps, and the toolbar below the picture.
  const phone = await page({ ...PHONE, deviceScaleFactor: 2 });
  await phone.key('y');
  const w = phone.box.width;
  for (const [colour, fx, fy] of [['Blue', 0.3, 0.45], ['White', 0.55, 0.6], ['Purple', 0.7, 0.4], ['Green', 0.4, 0.75]]) {
    await crystal(phone, colour, Math.round(fx * w), Math.round(fy * w), 30);
  }
  await phone.settle();
  await phone.page.screenshot({ path: path.join(out, 'web-phone.png') });
} finally {
  await browser.close();
  await server.close();
}
