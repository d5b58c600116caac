// What the browser tests and the measuring tools (tests/web, tools/*.mjs) reach on window, and
// only this; the page's own modules import one another and never read it. Live: each gives what
// its module holds now.
//   frimelSketch      currentId() and idle() of this tab's sketch (sketch.js)
//   frimelSketches    My sketches' storage (sketches.js), once loaded and working; else null
//   frimelExitStatus  the program's exit status, undefined until it exits (run.js)
//   frimelDownloads   what each packed download weighs (site.js)

import * as run from './run.js';
import * as sketch from './sketch.js';
import { downloads } from './site.js';

Object.defineProperties(window, {
  frimelSketch: { value: Object.freeze({ currentId: sketch.currentId, idle: sketch.idle }) },
  frimelSketches: { get: sketch.storage },
  frimelExitStatus: { get: run.status },
  frimelDownloads: { value: downloads },
});
