// Splits the browser's frame time for one bench scene, to see where it goes: each variant swaps
// one part of the frame out in the page, and the variants take turns so a busy moment of the
// machine falls on all of them alike.
//   full frame       as the bench times it
//   no draws         the program's own work, the clear and the read-back, without the draws
//   1x1 scissor      draws that reach almost no pixel: the draws less the rasterizing
//   colour only      the crystals' shader without its texture lookup
//
// Usage, after tools/run-web.sh --no-serve and npm ci in tests/web:
//   node tools/probe-web.mjs ["placed 400"]
import fs from 'node:fs';
import path from 'node:path';
import { Frimel, launch, serve, siteDir } from '../tests/web/harness.mjs';

const repo = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const header = fs.readFileSync(path.join(repo, 'src/scenes/bench_scenes.h'), 'utf8');
const fresh = header.match(/#define FRIMEL_FRESH_SCENE "([^"]*)"/)[1];
const wanted = process.argv[2] || 'placed 400';
const scene = [...header.matchAll(/\{"([^"]+)", FRIMEL_FRESH_SCENE "([^"]*)", \d+\}/g)]
  .find(([, name]) => name === wanted);
if (!scene) throw new Error(`no bench scene "${wanted}"`);

const server = await serve(siteDir);
const browser = await launch();
try {
  const app = new Frimel(await browser.newPage());
  await app.load(server.origin);
  const rows = await app.page.evaluate((script) => {
    Module.ccall('frimel_replay', null, ['string'], [script]);
    const gl = Module.ctx;
    const shader = (kind, source) => {
      const s = gl.createShader(kind);
      gl.shaderSource(s, '#version 300 es\n' + source);
      gl.compileShader(s);
      return s;
    };
    const colourOnly = gl.createProgram();
    gl.attachShader(colourOnly, shader(gl.VERTEX_SHADER, `layout(location = 0) in vec4 p;
      layout(location = 2) in vec4 c; flat out vec4 colour; void main() { gl_Position = p; colour = c; }`));
    gl.attachShader(colourOnly, shader(gl.FRAGMENT_SHADER, `precision mediump float;
      flat in vec4 colour; out vec4 o; void main() { o = colour; }`));
    gl.linkProgram(colourOnly);

    const own = { drawElements: gl.drawElements, useProgram: gl.useProgram };
    const variants = {
      'full frame': () => {},
      'no draws': () => { gl.drawElements = () => {}; },
      '1x1 scissor': () => { gl.enable(gl.SCISSOR_TEST); gl.scissor(0, 0, 1, 1); },
      'colour only': () => { gl.useProgram = () => own.useProgram.call(gl, colourOnly); },
    };
    const restore = () => { Object.assign(gl, own); gl.disable(gl.SCISSOR_TEST); };
    const pixel = new Uint8Array(4);
    const frame = () => {
      Module._frimel_display();
      gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
    };
    const times = {};
    for (let turn = 0; turn < 8; ++turn) {
      for (const [name, swap] of Object.entries(variants)) {
        swap();
        frame();
        frame();
        for (let i = 0; i < 15; ++i) {
          const t0 = performance.now();
          frame();
          (times[name] ||= []).push(performance.now() - t0);
        }
        restore();
      }
    }
    return Object.entries(times).map(([name, t]) => {
      t.sort((a, b) => a - b);
      return `${name}: ${t[t.length >> 1].toFixed(2)} ms`;
    });
  }, fresh + scene[2]);
  console.log(`${wanted}, medians of ${8 * 15} frames a variant`);
  console.log(rows.join('\n'));
} finally {
  await browser.close();
  await server.close();
}
