// Drives Frimel's browser build in Debian's headless Chromium, and its core cases in Firefox ESR
// and WebKitGTK too: a static server for the site, the browser, one page per program run, the
// canvas's pixels, and pictures to compare and keep.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { test, before, after } from 'node:test';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const AXE_SOURCE = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
// The tests' site: the public page with a program that also exports the hooks only tests call.
export const siteDir = process.env.FRIMEL_WEB_SITE || path.join(repo, 'build-web/test-site');
export const publicSiteDir = process.env.FRIMEL_PUBLIC_SITE || path.join(repo, 'build-web/site');
export const dataDir = process.env.FRIMEL_DATA_DIR || path.join(repo, 'build/data');
export const scenePicture = process.env.FRIMEL_SCENE_PICTURE || path.join(repo, 'build/scene_picture');
export const pictureTool = process.env.FRIMEL_PICTURE_TOOL || path.join(repo, 'build/frimel-picture');
export const artifactDir = process.env.FRIMEL_WEB_ARTIFACTS || path.join(repo, 'build-web/test-artifacts');
export const ownXServer = path.join(repo, 'tests/support/own-x-server.sh');
export const scenesDir = path.join(repo, 'tests/web/scenes');

export const BITMAPS = fs.readFileSync(path.join(repo, 'src/textures/bitmaps.txt'), 'utf8').split('\n')
  .filter(Boolean);
export const LOAD_LINES = BITMAPS.map((name) => 'trying to load ' + name);

const CHROMIUM_FLAGS = ['--headless=new', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
  '--no-sandbox', '--disable-gpu-sandbox', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync'];
const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
  '.css': 'text/css', '.wasm': 'application/wasm', '.bmp': 'image/bmp', '.png': 'image/png',
  '.json': 'application/json', '.webmanifest': 'application/manifest+json', '.gz': 'application/gzip', '.svg': 'image/svg+xml', '.ico': 'image/x-icon' };
// A phone's screen, upright.
export const PHONE = { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
// A window where the picture is 600 x 600 CSS pixels beside the panel, as the desktop's.
export const DESKTOP_VIEWPORT = { width: 1200, height: 660 };
// Software WebGL on two cores: a load or a deep frame can take seconds.
const WAIT = 60000;

// Serves one folder on a free loopback port, and nothing outside it; with gzipEncoded, the .gz
// files as a server that has the browser unpack them (Content-Encoding: gzip).
export function serve(folder, { gzipEncoded = false } = {}) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(folder, name.endsWith('/') ? name + 'index.html' : name);
    const inside = file.startsWith(path.resolve(folder) + path.sep);
    if (!inside || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    const encoded = gzipEncoded && file.endsWith('.gz');
    const type = TYPES[path.extname(encoded ? file.slice(0, -3) : file)] || 'application/octet-stream';
    response.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store',
      ...(encoded ? { 'Content-Encoding': 'gzip' } : {}) });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({
    origin: `http://127.0.0.1:${server.address().port}`,
    close: () => new Promise((done) => server.close(done)),
  })));
}

// The engine the suite runs in, FRIMEL_ENGINE: chromium (the default) runs every case; firefox
// (Firefox ESR over WebDriver BiDi) and webkit (WebKitGTK's MiniBrowser through WebKitWebDriver)
// run the core cases, those a visitor meets first, named with the engine. Both of these need an X
// display: headless Firefox has no WebGL 2, and MiniBrowser is a window.
export const ENGINE = process.env.FRIMEL_ENGINE || 'chromium';
const ENGINES = ['chromium', 'firefox', 'webkit'];
if (!ENGINES.includes(ENGINE)) throw new Error(`FRIMEL_ENGINE=${ENGINE}: not one of ${ENGINES.join(', ')}`);

// Extra flags, such as '--disable-webgl', try the page in a Chromium that lacks something. Pages
// bypass the site's service worker, so that every test fetches what it serves, unless asked
// (Chromium alone can: elsewhere each test's storage of its own holds its own worker).
export async function launch(extraFlags = [], { serviceWorker = false, engine = ENGINE } = {}) {
  if (engine === 'webkit') return WebKitBrowser.launch();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `frimel-${engine}-`));
  // headless: false, as the flags already ask for Chromium's new headless mode.
  const browser = await puppeteer.launch(engine === 'firefox'
    ? { browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: false, args: extraFlags,
      userDataDir: profile, defaultViewport: DESKTOP_VIEWPORT, protocolTimeout: 4 * WAIT }
    : { executablePath: '/usr/bin/chromium', headless: false, args: [...CHROMIUM_FLAGS, ...extraFlags],
      userDataDir: profile, defaultViewport: DESKTOP_VIEWPORT, protocolTimeout: 4 * WAIT });
  // The profile goes once the browser has closed it: closing waits for the process to end.
  const bypassing = (owner) => {
    const newPage = owner.newPage.bind(owner);
    owner.newPage = async () => {
      const page = await newPage();
      if (!serviceWorker && engine === 'chromium') await page.setBypassServiceWorker(true);
      return page;
    };
    return owner;
  };
  bypassing(browser);
  const createContext = browser.createBrowserContext.bind(browser);
  browser.createBrowserContext = async (...options) => bypassing(await createContext(...options));
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true, maxRetries: 10 });
  };
  return browser;
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// One call of classic WebDriver: its value, or an error that says what the driver said.
async function webDriver(url, method, body) {
  const response = await fetch(url, { method, headers: { 'Content-Type': 'application/json' },
    body: body === undefined ? undefined : JSON.stringify(body) });
  const { value } = await response.json();
  if (!response.ok) throw new Error(`WebDriver ${method} ${new URL(url).pathname}: ${value.error}: ${value.message}`);
  return value;
}

// WebKitGTK's own driver speaks classic WebDriver over HTTP, and holds one session at a time: a
// MiniBrowser with storage of its own. A driver and its session serve as a browser context.
class WebKitBrowser {
  static async launch() { return new WebKitBrowser(); }

  constructor() { this.contexts = new Set(); }

  async createBrowserContext() {
    const port = await new Promise((resolve) => {
      const probe = http.createServer().listen(0, '127.0.0.1', () => {
        const { port: free } = probe.address();
        probe.close(() => resolve(free));
      });
    });
    const driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
    const ended = new Promise((done) => driver.once('exit', done));
    const url = `http://127.0.0.1:${port}`;
    let page = null;
    const context = {
      newPage: async () => {
        page = await WebKitPage.open(url);
        return page;
      },
      close: async () => {
        this.contexts.delete(context);
        await page?.close().catch(() => {});
        if (driver.exitCode === null) driver.kill();
        await ended;
      },
    };
    this.contexts.add(context);
    for (const started = Date.now(); !(await fetch(url + '/status').then((r) => r.ok, () => false));) {
      if (driver.exitCode !== null || Date.now() - started > WAIT) {
        await context.close();
        throw new Error('WebKitWebDriver did not start');
      }
      await sleep(100);
    }
    return context;
  }

  async newPage() { return (await this.createBrowserContext()).newPage(); }

  async close() { await Promise.all([...this.contexts].map((context) => context.close())); }
}

// Where Debian puts MiniBrowser: under the architecture's library folder.
function miniBrowser() {
  for (const folder of fs.readdirSync('/usr/lib')) {
    const binary = path.join('/usr/lib', folder, 'webkit2gtk-4.1/MiniBrowser');
    if (fs.existsSync(binary)) return binary;
  }
  throw new Error('no MiniBrowser: install webkit2gtk-driver');
}

// Puppeteer's key names as WebDriver's key values; a letter's code (KeyA) as the letter, shifted
// while Shift is down.
const WEBDRIVER_KEYS = { Shift: '\uE008', Control: '\uE009', Alt: '\uE00A', Enter: '\uE007', Escape: '\uE00C',
  Backspace: '\uE003', Tab: '\uE004', Space: ' ', ArrowLeft: '\uE012', ArrowUp: '\uE013', ArrowRight: '\uE014',
  ArrowDown: '\uE015', Home: '\uE011', End: '\uE010', PageUp: '\uE00E', PageDown: '\uE00F', F1: '\uE031' };
const MOUSE_BUTTONS = { left: 0, middle: 1, right: 2 };

// The part of puppeteer's Page that the core cases use, over one WebDriver session.
class WebKitPage {
  static async open(driver) {
    const { sessionId } = await webDriver(driver + '/session', 'POST', { capabilities: { alwaysMatch: {
      'webkitgtk:browserOptions': { binary: miniBrowser(), args: ['--automation'] },
      timeouts: { script: 4 * WAIT, pageLoad: WAIT } } } });
    const page = new WebKitPage(`${driver}/session/${sessionId}`);
    await page.setViewport(DESKTOP_VIEWPORT);
    return page;
  }

  constructor(session) {
    this.session = session;
    this.shift = false;
    const pointer = (action) => this.send('POST', '/actions', { actions: [{ type: 'pointer', id: 'mouse',
      parameters: { pointerType: 'mouse' }, actions: [action] }] });
    this.mouse = {
      move: (x, y) => pointer({ type: 'pointerMove', x: Math.round(x), y: Math.round(y), origin: 'viewport', duration: 0 }),
      down: ({ button = 'left' } = {}) => pointer({ type: 'pointerDown', button: MOUSE_BUTTONS[button] }),
      up: ({ button = 'left' } = {}) => pointer({ type: 'pointerUp', button: MOUSE_BUTTONS[button] }),
    };
    const keys = (...actions) => this.send('POST', '/actions', { actions: [{ type: 'key', id: 'keyboard', actions }] });
    const value = (name) => WEBDRIVER_KEYS[name] ??
      (/^Key[A-Z]$/.test(name) ? (this.shift ? name[3] : name[3].toLowerCase()) : name);
    const shift = (name, down) => { if (name === 'Shift') this.shift = down; };
    this.keyboard = {
      down: (name) => { shift(name, true); return keys({ type: 'keyDown', value: value(name) }); },
      up: (name) => { shift(name, false); return keys({ type: 'keyUp', value: value(name) }); },
      press: (name) => keys({ type: 'keyDown', value: value(name) }, { type: 'keyUp', value: value(name) }),
    };
  }

  send(method, route, body) { return webDriver(this.session + route, method, body); }

  on() {}  // WebKit's driver tells of no requests, console lines or errors

  async setViewport({ width, height }) {
    const outer = await this.send('GET', '/window/rect');
    const [innerWidth, innerHeight] = await this.evaluate(() => [window.innerWidth, window.innerHeight]);
    await this.send('POST', '/window/rect', { width: outer.width - innerWidth + width,
      height: outer.height - innerHeight + height });
  }

  goto(url) { return this.send('POST', '/url', { url }); }
  reload() { return this.send('POST', '/refresh', {}); }

  close() { return this.send('DELETE', ''); }

  // Runs the source of a function of the arguments in the page, awaited; its JSON value.
  async run(source, args) {
    const { value, error } = await this.send('POST', '/execute/async', { args, script: `
      const done = arguments[arguments.length - 1];
      Promise.resolve().then(() => (${source}).apply(null, Array.prototype.slice.call(arguments, 0, -1)))
        .then((value) => done({ value }), (error) => done({ error: String(error && error.stack || error) }));` });
    if (error) throw new Error(`in the page: ${error}`);
    return value;
  }

  evaluate(fn, ...args) { return this.run(String(fn), args); }
  $eval(selector, fn, ...args) {
    return this.run(`(...args) => (${fn})(document.querySelector(${JSON.stringify(selector)}), ...args)`, args);
  }
  $$eval(selector, fn, ...args) {
    return this.run(`(...args) => (${fn})([...document.querySelectorAll(${JSON.stringify(selector)})], ...args)`, args);
  }

  async waitForFunction(fn, { timeout = WAIT } = {}, ...args) {
    for (const started = Date.now(); !(await this.evaluate(fn, ...args));) {
      if (Date.now() - started > timeout) throw new Error(`waiting failed: ${timeout} ms exceeded`);
      await sleep(50);
    }
  }

  // A real click at the element's middle, as the driver makes it.
  async click(selector) {
    const element = await this.send('POST', '/element', { using: 'css selector', value: selector });
    await this.send('POST', `/element/${Object.values(element)[0]}/click`, {});
  }

  async screenshot({ path: file }) {
    fs.writeFileSync(file, Buffer.from(await this.send('GET', '/screenshot'), 'base64'));
  }
}

// One run of the program: a page of its own, loaded until the main loop runs (or it ended).
export class Frimel {
  constructor(page) {
    this.page = page;
    this.requests = [];
    page.on('request', (request) => this.requests.push(request.url()));
  }

  async load(origin, { focus = true, query = '' } = {}) {
    this.origin = origin;
    await this.page.goto(origin + '/index.html' + query, { timeout: WAIT });
    await this.page.waitForFunction(() => ['running', 'ended'].includes(document.body.dataset.state),
      { timeout: WAIT });
    if (focus) await this.page.$eval('#canvas', (canvas) => canvas.focus({ preventScroll: true }));
    await this.measure();
  }

  // Where the canvas is and how many of its pixels make one CSS pixel; again after a resize.
  async measure() {
    this.box = await this.page.$eval('#canvas', (canvas) => {
      const r = canvas.getBoundingClientRect();
      return { left: r.left, top: r.top, scale: r.width / canvas.width, width: canvas.width };
    });
  }

  state() { return this.page.evaluate(() => document.body.dataset.state); }
  lines() { return this.page.$$eval('#console .line', (all) => all.map((line) => line.textContent)); }

  async waitForLine(text, from = 0) {
    try {
      await this.page.waitForFunction((wanted, start) => [...document.querySelectorAll('#console .line')]
        .slice(start).some((line) => line.textContent === wanted), { timeout: WAIT }, text, from);
    } catch {
      throw new Error(`the console never showed ${JSON.stringify(text)}; it showed ` +
        JSON.stringify((await this.lines()).slice(from)));
    }
  }

  // Waits for the program to end; gives its exit status and the status line under the canvas.
  async waitForEnd() {
    await this.page.waitForFunction(() => document.body.dataset.state === 'ended', { timeout: WAIT });
    return this.page.evaluate(() => ({ status: window.frimelExitStatus,
      text: document.querySelector('#status').textContent.trim() }));
  }

  // Canvas pixels (y down, as the page shows them) to the page's coordinates.
  at(x, y) {
    return [this.box.left + x * this.box.scale, this.box.top + y * this.box.scale];
  }

  async move(x, y) {
    await this.measure();
    return this.page.mouse.move(...this.at(x, y));
  }
  async click(x, y, button = 'left') {
    await this.move(x, y);
    await this.page.mouse.down({ button });
    await this.page.mouse.up({ button });
  }
  async press(x, y) { await this.move(x, y); await this.page.mouse.down(); }
  release() { return this.page.mouse.up(); }

  // A drag at a person's pace: the page draws a frame after each step.
  async drag(points) {
    await this.press(...points[0]);
    for (const point of points.slice(1)) {
      await this.move(...point);
      await this.nextFrames(2);
    }
    await this.release();
  }

  // Resolves once the page has shown n more animation frames.
  nextFrames(n) {
    return this.page.evaluate((count) => new Promise((done) => {
      const tick = () => (--count <= 0 ? done() : requestAnimationFrame(tick));
      requestAnimationFrame(tick);
    }), n);
  }

  // Types keys as a person would: capitals with Shift held.
  async key(...names) {
    for (const name of names) {
      const capital = /^[A-Z]$/.test(name);
      if (capital) await this.page.keyboard.down('Shift');
      await this.page.keyboard.press(capital ? 'Key' + name : name);
      if (capital) await this.page.keyboard.up('Shift');
    }
  }

  // The pop-up menus on show, the main menu first: each entry's label, value and submenu flag.
  visibleMenus() {
    return this.page.evaluate(() => [...document.querySelectorAll('.menu')]
      .filter((menu) => menu.checkVisibility())
      .sort((a, b) => (b.id === 'menu') - (a.id === 'menu'))
      .map((menu) => {
        const { left, top } = menu.getBoundingClientRect();
        const entries = [...menu.querySelectorAll('.menu-entry')].filter((e) => e.closest('.menu') === menu)
          .map((entry) => {
            const own = entry.cloneNode(true);
            own.querySelectorAll('.menu').forEach((nested) => nested.remove());
            return { label: own.textContent.replace(/[\s\u25b6\u25b8\u25ba\u203a>]+$/u, '').trim(),
              value: entry.dataset.value ?? null, submenu: entry.getAttribute('aria-haspopup') === 'true' };
          });
        return { left, top, entries };
      }));
  }

  async openMenu(x = 300, y = 300) {
    await this.click(x, y, 'right');
    await this.page.waitForSelector('#menu', { visible: true, timeout: WAIT });
  }

  // Hovers an entry of the depth-th menu on show (0: the main menu) and waits for its submenu.
  async openSubmenu(depth, label) {
    await (await this.menuEntry(depth, label)).hover();
    await this.page.waitForFunction((count) => [...document.querySelectorAll('.menu')]
      .filter((menu) => menu.checkVisibility()).length >= count, { timeout: WAIT }, depth + 2);
  }

  menuEntry(depth, label) {
    return this.page.evaluateHandle((index, wanted) => {
      const menus = [...document.querySelectorAll('.menu')].filter((menu) => menu.checkVisibility())
        .sort((a, b) => (b.id === 'menu') - (a.id === 'menu'));
      return [...menus[index].querySelectorAll('.menu-entry')]
        .find((entry) => entry.closest('.menu') === menus[index] && entry.textContent.trim().startsWith(wanted));
    }, depth, label);
  }

  // Picks an entry with the pointer, through its submenus: chooseMenu('Ice Color', 'Blue').
  async chooseMenu(...labels) {
    await this.openMenu();
    for (const [depth, label] of labels.slice(0, -1).entries()) await this.openSubmenu(depth, label);
    await (await this.menuEntry(labels.length - 1, labels.at(-1))).click();
    await this.page.waitForSelector('#menu', { hidden: true, timeout: WAIT });
  }

  // Clicks a toolbar button: tool('Undo (Z)'), or in a submenu's row tool('Ice Color', 'Blue').
  async tool(...labels) {
    const button = await this.page.evaluateHandle((path) => [...document.querySelectorAll('#toolbar button')]
      .find((b) => b.textContent === path.at(-1) &&
        (b.closest('[role=group]')?.getAttribute('aria-label') ?? null) === (path.length > 1 ? path[0] : null)), labels);
    if (!button.asElement()) throw new Error(`no toolbar button ${labels.join(' > ')}`);
    await button.click();
  }

  // The toolbar's rows: [group label or null, [[label, value], ...]], Menu and Save left out.
  toolbarRows() {
    return this.page.$$eval('#toolbar .tools', (rows) => rows.map((row) => [row.getAttribute('aria-label'),
      [...row.querySelectorAll('button[data-value]')].map((b) => [b.textContent, b.dataset.value])])
      .filter(([, buttons]) => buttons.length > 0));
  }

  replay(script) {
    return this.page.evaluate((text) => Module.ccall('frimel_replay', null, ['string'], [text]), script);
  }

  // Draws a frame and reads it back in the same task, before the browser clears the canvas;
  // replays a scene script first when given one.
  async grab(script = null) {
    const { width, height, data } = await this.page.evaluate((scene) => {
      if (scene !== null) Module.ccall('frimel_replay', null, ['string'], [scene]);
      Module._frimel_display();
      const gl = Module.ctx;
      const w = gl.drawingBufferWidth;
      const h = gl.drawingBufferHeight;
      const rgba = new Uint8Array(w * h * 4);
      gl.readPixels(0, 0, w, h, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
      let bytes = '';
      for (let i = 0; i < rgba.length; i += 0x8000) {
        bytes += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
      }
      return { width: w, height: h, data: btoa(bytes) };
    }, script);
    const rgba = Buffer.from(data, 'base64');
    const rgb = Buffer.alloc(width * height * 3);
    for (let y = 0; y < height; y++) {  // WebGL's rows run bottom first
      const from = (height - 1 - y) * width * 4;
      for (let x = 0; x < width; x++) rgba.copy(rgb, (y * width + x) * 3, from + 4 * x, from + 4 * x + 3);
    }
    return { width, height, rgb };
  }

  // Lets the newest object grow until it rests, then reads the picture.
  settle() { return this.grab('settle'); }

  // Clicks Save picture and gives the bytes of the frimel.png downloaded into folder.
  savePicture(folder) { return this.download(folder, 'frimel.png', () => this.page.click('#save-button')); }

  // The bytes of the file named name that click downloads into folder.
  async download(folder, name, click) {
    const cdp = await this.page.createCDPSession();
    const context = this.page.browserContext().id;
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder,
      ...(context ? { browserContextId: context } : {}) });
    const file = path.join(folder, name);
    fs.rmSync(file, { force: true });
    await click();
    for (let i = 0; i < 100 && !fs.existsSync(file); i++) await new Promise((done) => setTimeout(done, 100));
    return fs.readFileSync(file);
  }

  // axe-core's violations on the page as it stands, each as "rule: the elements' selectors".
  // Injected through DevTools, as the page's policy refuses inline scripts.
  async axe() {
    if (!(await this.page.evaluate(() => 'axe' in window))) await this.page.evaluate(AXE_SOURCE);
    const violations = await this.page.evaluate(async () => (await window.axe.run(document,
      { resultTypes: ['violations'] })).violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
    return violations;
  }

  // What My sketches keeps, newest first, each picture as its size in bytes.
  sketches() {
    return this.page.evaluate(async () => {
      if (!(await indexedDB.databases()).some((db) => db.name === 'frimel')) return [];
      const db = await new Promise((done, fail) => Object.assign(indexedDB.open('frimel'),
        { onsuccess: (event) => done(event.target.result), onerror: (event) => fail(event.target.error) }));
      const all = await new Promise((done) => {
        db.transaction('sketches').objectStore('sketches').getAll().onsuccess = (event) => done(event.target.result);
      });
      db.close();
      return all.sort((a, b) => b.changed - a.changed).map((record) => ({ ...record, picture: record.picture?.byteLength ?? 0 }));
    });
  }

  // Waits until the sketch on show is kept as this tab's, as it is within about a second; its text.
  async waitUntilKept() {
    const text = await this.page.evaluate(() => Module.UTF8ToString(Module._frimel_sketch_text()));
    for (let waited = 0; ; waited += 100) {
      const own = await this.page.evaluate(() => window.frimelSketch.currentId());
      if ((await this.sketches()).some((record) => record.id === own && record.text === text)) return text;
      if (waited > 5000) throw new Error('the sketch on show was not kept');
      await new Promise((done) => setTimeout(done, 100));
    }
  }

  async screenshot(name) {
    fs.mkdirSync(artifactDir, { recursive: true });
    await this.page.screenshot({ path: path.join(artifactDir, artifactName(name) + '.png'), fullPage: true });
  }
}

// One browser and one server for a test file; every test gets a fresh program. web.test's cases
// run in Chromium; web.core's in every engine, in the one FRIMEL_ENGINE names.
export function webSuite(folder = siteDir) {
  const shared = {};
  const start = async () => {
    if (!fs.existsSync(path.join(folder, 'index.html'))) {
      throw new Error(`no site in ${folder}: build it with tools/run-web.sh --no-serve`);
    }
    shared.server = await serve(folder);
    shared.browser = await launch();
  };
  // Another engine starts only with a file's first core case: where a file has none, node runs
  // no after hook, and a server would keep the file's process alive.
  if (ENGINE === 'chromium') before(start);
  after(async () => {
    await shared.browser?.close();
    await shared.server?.close();
  });
  const run = (title, name, body) => test(title, { timeout: 4 * WAIT }, async () => {
    if (!shared.server) await start();
    const evidence = 'failed-' + name.replace(/[^A-Za-z0-9]+/g, '-');
    fs.rmSync(path.join(artifactDir, artifactName(evidence) + '.png'), { force: true });
    // A context of its own: what one test's page kept in the browser's storage is not the next's.
    const context = await shared.browser.createBrowserContext();
    const app = new Frimel(await context.newPage());
    try {
      await app.load(shared.server.origin);
      await body(app);
    } catch (error) {
      await app.screenshot(evidence).catch(() => {});
      throw error;
    } finally {
      await context.close();
    }
  });
  shared.test = (name, body) => { if (ENGINE === 'chromium') run(name, name, body); };
  // Elsewhere named "firefox: ..." or "webkit: ...", as --test-name-pattern picks them.
  shared.core = (name, body) => run(ENGINE === 'chromium' ? name : `${ENGINE}: ${name}`, name, body);
  return shared;
}

// What another engine leaves to look at is named after it, beside Chromium's.
const artifactName = (name) => (ENGINE === 'chromium' ? name : `${name}-${ENGINE}`);

// Pictures: { width, height, rgb } with rows top first.

export function pixel(p, x, y) {
  const i = 3 * (y * p.width + x);
  return [p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]];
}

export function mean(p, x0, y0, w, h) {
  const sum = [0, 0, 0];
  for (let y = y0; y < y0 + h; y++) {
    for (let x = x0; x < x0 + w; x++) pixel(p, x, y).forEach((v, c) => { sum[c] += v; });
  }
  return sum.map((v) => v / (w * h));
}

export const brightness = (rgb) => (rgb[0] + rgb[1] + rgb[2]) / 3;

// Pixels where any channel differs by more than tol, within box [x0, y0, x1, y1) if given.
export function changedPixels(a, b, tol = 24, box = [0, 0, a.width, a.height]) {
  if (a.width !== b.width || a.height !== b.height) throw new Error('pictures of different sizes');
  const points = [];
  for (let y = box[1]; y < box[3]; y++) {
    for (let x = box[0]; x < box[2]; x++) {
      const i = 3 * (y * a.width + x);
      if (Math.abs(a.rgb[i] - b.rgb[i]) > tol || Math.abs(a.rgb[i + 1] - b.rgb[i + 1]) > tol ||
          Math.abs(a.rgb[i + 2] - b.rgb[i + 2]) > tol) points.push([x, y]);
    }
  }
  return points;
}

export const countChanged = (a, b, tol, box) => changedPixels(a, b, tol, box).length;

// [x0, y0, x1, y1] around the changed pixels (inclusive), or null.
export function changedBox(a, b, tol = 24) {
  const points = changedPixels(a, b, tol);
  if (points.length === 0) return null;
  const xs = points.map((p) => p[0]);
  const ys = points.map((p) => p[1]);
  return [Math.min(...xs), Math.min(...ys), Math.max(...xs), Math.max(...ys)];
}

export const samePicture = (a, b) => a.width === b.width && a.height === b.height && a.rgb.equals(b.rgb);

// Where two pictures differ, in red over a dimmed copy of the first.
export function differenceImage(a, b, tol = 24) {
  const rgb = Buffer.from(a.rgb.map((v) => v >> 2));
  for (const [x, y] of changedPixels(a, b, tol)) rgb.set([255, 0, 0], 3 * (y * a.width + x));
  return { width: a.width, height: a.height, rgb };
}

// An 8-bit RGB or RGBA PNG (as Chromium and frimel-picture write them) as a picture, and its
// text chunks.
export function readPng(data) {
  const chunks = [];
  for (let at = 8; at < data.length; at += 12 + data.readUInt32BE(at)) {
    chunks.push([data.toString('latin1', at + 4, at + 8), data.subarray(at + 8, at + 8 + data.readUInt32BE(at))]);
  }
  const header = chunks[0][1];
  const [width, height, channels] = [header.readUInt32BE(0), header.readUInt32BE(4), header[9] === 6 ? 4 : 3];
  const raw = zlib.inflateSync(Buffer.concat(chunks.filter(([type]) => type === 'IDAT').map(([, body]) => body)));
  const stride = width * channels;
  const rgb = Buffer.alloc(width * height * 3);
  let above = Buffer.alloc(stride);
  for (let y = 0; y < height; y++) {
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    const filter = raw[y * (stride + 1)];
    for (let i = 0; i < stride; i++) {
      const left = i >= channels ? line[i - channels] : 0;
      const up = above[i];
      const corner = i >= channels ? above[i - channels] : 0;
      const p = left + up - corner;
      const [pa, pb, pc] = [Math.abs(p - left), Math.abs(p - up), Math.abs(p - corner)];
      const paeth = pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
      line[i] = (line[i] + [0, left, up, (left + up) >> 1, paeth][filter]) & 0xff;
    }
    for (let x = 0; x < width; x++) line.copy(rgb, 3 * (y * width + x), x * channels, x * channels + 3);
    above = line;
  }
  const texts = Object.fromEntries(chunks.filter(([type]) => type === 'tEXt').map(([, body]) => {
    const zero = body.indexOf(0);
    return [body.toString('latin1', 0, zero), body.toString('latin1', zero + 1)];
  }));
  return { width, height, rgb, texts };
}

// Binary PPM (P6, 8 bits), as the native scene tool writes it.
export function readPpm(file) {
  const data = fs.readFileSync(file);
  const fields = [];
  let i = 0;
  while (fields.length < 4) {
    while (/\s/.test(String.fromCharCode(data[i]))) i++;
    if (data[i] === 0x23) { while (data[i] !== 0x0a) i++; continue; }  // a comment line
    let word = '';
    while (!/\s/.test(String.fromCharCode(data[i]))) word += String.fromCharCode(data[i++]);
    fields.push(word);
  }
  const [magic, width, height, max] = [fields[0], +fields[1], +fields[2], +fields[3]];
  if (magic !== 'P6' || max !== 255) throw new Error(`${file}: not an 8-bit binary PPM`);
  return { width, height, rgb: data.subarray(i + 1, i + 1 + width * height * 3) };
}

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function pngChunk(type, data) {
  const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
  let crc = 0xffffffff;
  for (const byte of body) crc = CRC_TABLE[(crc ^ byte) & 0xff] ^ (crc >>> 8);
  const out = Buffer.alloc(body.length + 8);
  out.writeUInt32BE(data.length, 0);
  body.copy(out, 4);
  out.writeUInt32BE((crc ^ 0xffffffff) >>> 0, body.length + 4);
  return out;
}

export function savePng(p, name) {
  const stride = p.width * 3;
  const raw = Buffer.alloc((stride + 1) * p.height);  // filter byte 0 before each row
  for (let y = 0; y < p.height; y++) p.rgb.copy(raw, y * (stride + 1) + 1, y * stride, (y + 1) * stride);
  const header = Buffer.alloc(13);
  header.writeUInt32BE(p.width, 0);
  header.writeUInt32BE(p.height, 4);
  header.set([8, 2, 0, 0, 0], 8);  // 8-bit RGB
  fs.mkdirSync(artifactDir, { recursive: true });
  const file = path.join(artifactDir, artifactName(name) + '.png');
  fs.writeFileSync(file, Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    pngChunk('IHDR', header), pngChunk('IDAT', zlib.deflateSync(raw)), pngChunk('IEND', Buffer.alloc(0))]));
  return file;
}
