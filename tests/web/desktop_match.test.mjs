// The browser draws each fixed scene as the desktop program does: the same script replayed
// through the same handlers, pictures compared pixel by pixel.
import assert from 'node:assert/strict';
import { after } from 'node:test';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';
import { Frimel, countChanged, dataDir, differenceImage, ownXServer, readPpm, savePng, scenePicture, scenesDir,
  webSuite } from './harness.mjs';

const web = webSuite();
const TOLERANCE = 24;   // per channel
const MOST_CHANGED = 0.005;  // share of the picture: 0.01 % to 0.07 % differ today
const scenes = fs.readdirSync(scenesDir).filter((name) => name.endsWith('.scene')).sort();

async function desktopPicture(scene) {
  const out = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'frimel-scene-')), 'picture.ppm');
  try {
    await promisify(execFile)(ownXServer, [scenePicture, scene, out], { cwd: dataDir, timeout: 120000,
      env: { ...process.env, LIBGL_ALWAYS_SOFTWARE: '1' } });
    return readPpm(out);
  } finally {
    fs.rmSync(path.dirname(out), { recursive: true, force: true });
  }
}

assert.ok(scenes.length > 0, `no scenes in ${scenesDir}`);
for (const name of scenes) {
  const scene = path.join(scenesDir, name);
  const label = path.basename(name, '.scene');
  // Cones by instances, as the page draws them, then as triangles (?cones=cpu, or by themselves
  // where the cones' shader program does not build): each way as the desktop.
  web.test(`scene ${label} looks as on the desktop, cones drawn either way`, async (app) => {
    const desktop = await desktopPicture(scene);
    savePng(desktop, `scene-${label}-desktop`);
    const ways = [['instanced', '', 1], ['cpu', '?cones=cpu', 0], ['unbuilt', '', 0, 'cone shader fails']];
    for (const [way, query, byInstances, coneShaderFails] of ways) {
      if (way !== 'instanced') {  // in a browser context of its own, which has not kept the first way's sketch
        const context = await app.page.browser().createBrowserContext();
        const origin = app.origin;
        app = new Frimel(await context.newPage());
        after(() => context.close());
        if (coneShaderFails) {
          await app.page.evaluateOnNewDocument(() => {
            const shaderSource = WebGL2RenderingContext.prototype.shaderSource;
            WebGL2RenderingContext.prototype.shaderSource = function (shader, text) {
              shaderSource.call(this, shader, text.includes('texelFetch') ? text.replace('void main', 'void unused') : text);
            };
          });
        }
        await app.load(origin, { query });
      }
      assert.equal(await app.page.evaluate(() => Module._frimel_cones_by_instances()), byInstances, way);
      const browser = await app.grab(fs.readFileSync(scene, 'utf8'));
      assert.deepEqual([browser.width, browser.height], [desktop.width, desktop.height]);
      savePng(browser, `scene-${label}-browser-${way}`);
      savePng(differenceImage(browser, desktop, TOLERANCE), `scene-${label}-difference-${way}`);
      const share = countChanged(browser, desktop, TOLERANCE) / (desktop.width * desktop.height);
      console.log(`scene ${label}, ${way}: ${(100 * share).toFixed(3)} % of pixels differ by more than ${TOLERANCE}`);
      assert.ok(share <= MOST_CHANGED, `${way}: ${(100 * share).toFixed(2)} % differ, more than ${100 * MOST_CHANGED} %`);
    }
  });
}
