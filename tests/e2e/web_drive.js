// tests/e2e/web_drive.js ENGINE PAGE OUT_DIR [ESCAPE_AT] -- plays the page once in one browser engine,
// with a window in the session's X display and sound to its PulseAudio, and writes what the shared
// checks (capture_check.py) judge into OUT_DIR. ENGINE is
//   chromium   Debian's chromium over the DevTools protocol (puppeteer-core), WebGL 2 on SwiftShader
//   firefox    Debian's firefox-esr over WebDriver BiDi (puppeteer-core)
//   webkit     WebKitGTK's MiniBrowser over W3C WebDriver (WebKitWebDriver, plain HTTP)
//   phone      chromium in a phone's shape: touch, 390 x 844 at 3 device pixels a pixel, then turned
//   nowebgl2   chromium without WebGL 2 (no SwiftShader): the page's one line, no error
//   frames     chromium on a fixed frame clock (QE_WEB_CLOCK: { fps, escapeFrame, want: [{ name, frame }] }):
//              the pictures of chosen frames, to set beside the capture build's
// A full run, on a fixed frame clock (web_hook.js): the start screen, a click, pictures of the
// canvas taken in chosen frames, Escape as the frame ESCAPE_AT seconds into the music is drawn, the end card, the start screen again; then a
// key starts a second run without S3TC, which a hidden page (another tab in front) or Escape ends.
// Writes OUT_DIR/*.png, slices.raw (what the worklet was handed) and report.json. The page is a copy
// with the test's watcher (web_hook.js) before the page's own script. Waits on the page's own
// milestones; the only time limit is against a hang.
'use strict';
const fs = require('fs');
const path = require('path');
const { spawn } = require('child_process');
const puppeteer = require(path.join(__dirname, '../../node_modules/puppeteer-core'));

const [engine, page_path, out, escape_at] = process.argv.slice(2);
const LIMIT = Number(process.env.QE_WEB_LIMIT || 600000);  // ms, against a hang
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The show's fixed frame clock: 20 frames a second keeps a run of both shows (about 750 frames)
// within a few minutes at the two or three frames a second a heavily loaded machine gives.
const FPS = 20;
// Pictures: the frames the capture test judges (capture_check.py pictures), counted from the first
// frame, the music's and Escape's, at FPS; and the first slide held, for the run without S3TC.
const WANT = [
  { base: 'title', frame: 3 * FPS }, { base: 'music', frame: 6 * FPS }, { base: 'music', frame: 8 * FPS },
  { base: 'music', frame: 13 * FPS }, { base: 'escape', frame: 4 * FPS }, { base: 'music', frame: 3.5 * FPS, name: 'slide' },
];

// One engine's session: open, js (a function of one argument, run in the page), click, key, hide.
async function puppeteerSession(kind) {
  const chromium = (headless, ...args) => ({ executablePath: '/usr/bin/chromium', headless, args: [
    '--no-sandbox', '--window-position=0,0', '--no-first-run', '--disable-features=Translate', ...args] });
  const swiftshader = ['--enable-unsafe-swiftshader', '--use-angle=swiftshader'];
  const options = {
    chromium: { ...chromium(false, ...swiftshader, '--window-size=640,480', '--kiosk'), defaultViewport: null },
    phone: chromium(false, ...swiftshader),
    frames: chromium('new', ...swiftshader, '--autoplay-policy=no-user-gesture-required'),
    nowebgl2: chromium(false, '--disable-webgl2'),
    firefox: { browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: false, defaultViewport: null,
               args: ['--width=640', '--height=480'] },
  }[kind];
  const browser = await puppeteer.launch(options);
  const page = (await browser.pages())[0] || await browser.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warn' || m.type() === 'warning') errors.push(m.type() + ': ' + m.text()); });
  page.on('pageerror', (e) => errors.push('page error: ' + e.message));
  return {
    page, errors,
    open: (url) => page.goto(url),
    js: (f, arg) => page.evaluate(f, arg),
    click: (x, y) => page.mouse.click(x, y),
    key: (k) => page.keyboard.press(k),
    hide: async () => { await (await browser.newPage()).bringToFront(); return true; },
    taskMs: kind === 'chromium' ? async () => (await page.metrics()).TaskDuration * 1000 : null,
    close: () => browser.close(),
  };
}

async function webkitSession() {
  const port = 4444 + (process.pid % 1000);
  const driver = spawn('WebKitWebDriver', ['--port=' + port], { stdio: 'ignore', env: { ...process.env, GDK_BACKEND: 'x11' } });
  const base = 'http://127.0.0.1:' + port;
  const call = async (method, where, body) => {
    const r = await fetch(base + where, { method, headers: { 'content-type': 'application/json' },
                                          body: body === undefined ? undefined : JSON.stringify(body) });
    const v = (await r.json()).value;
    if (v && v.error) throw new Error('WebDriver ' + where + ': ' + v.error + ' ' + v.message);
    return v;
  };
  for (let i = 0; ; i++) {  // until the driver listens
    try { await call('GET', '/status'); break; } catch (e) { if (i > 100) throw e; await sleep(100); }
  }
  const s = await call('POST', '/session', { capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': {
    binary: '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser', args: ['--automation'] } } } });
  const at = '/session/' + s.sessionId;
  const actions = (list) => call('POST', at + '/actions', { actions: list });
  const KEYS = { Escape: '\uE00C' };
  return {
    errors: [],
    open: (url) => call('POST', at + '/url', { url }),
    js: (f, arg) => call('POST', at + '/execute/sync', { script: 'return (' + f + ')(arguments[0]);', args: [arg === undefined ? null : arg] }),
    click: (x, y) => actions([{ type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' }, actions: [
      { type: 'pointerMove', x, y, origin: 'viewport' }, { type: 'pointerDown', button: 0 }, { type: 'pointerUp', button: 0 }] }]),
    key: (k) => actions([{ type: 'key', id: 'keys', actions: [{ type: 'keyDown', value: KEYS[k] || k }, { type: 'keyUp', value: KEYS[k] || k }] }]),
    hide: async () => false,  // the MiniBrowser opens another window, which does not hide the page
    taskMs: null,
    close: async () => { await call('DELETE', at).catch(() => {}); driver.kill(); },
  };
}

async function until(s, f, arg) {
  for (const end = Date.now() + LIMIT; ; await sleep(100)) {
    if (await s.js(f, arg)) return;
    if (Date.now() > end) throw new Error('timed out waiting for ' + String(f).slice(0, 120));
  }
}

function watchedCopy() {  // the page with the watcher before its own script (the last one)
  const html = fs.readFileSync(page_path, 'utf8'), at = html.lastIndexOf('<script>');
  const copy = path.resolve(out, 'page.html');
  fs.writeFileSync(copy, html.slice(0, at) + '<script>\n' + fs.readFileSync(path.join(__dirname, 'web_hook.js'), 'utf8') +
                   '</script>\n' + html.slice(at));
  return 'file://' + copy;
}
const png = (name, url) => fs.writeFileSync(path.join(out, name), Buffer.from(url.split(',')[1], 'base64'));
const savePictures = (shots) => shots.forEach((shot) => png(shot.name + '.png', shot.png));
// The watched page, open at its start screen; and its errors, the driver's and the hook's.
async function openWatched(s) {
  await s.open(watchedCopy());
  await until(s, () => window.qeProbe && window.qeProbe.startDrawn === 1);
}
const pageErrors = async (s) => s.errors.concat(await s.js(() => window.qeProbe.errors));
const box = () => { const r = document.getElementById('frame').getBoundingClientRect();
                    return { left: r.left, top: r.top, width: r.width, height: r.height, vw: innerWidth, vh: innerHeight }; };

async function full(s) {
  await openWatched(s);
  const startScreen = async (name) => {
    const [shown, url] = await s.js(() => {
      const c = document.getElementById('start');
      return [getComputedStyle(c).display !== 'none', c.toDataURL('image/png')];
    });
    if (!shown) throw new Error('the start screen is hidden');
    png(name, url);
  };
  await startScreen('start.png');
  await s.js((want) => { window.qeProbe.want = want; }, WANT);
  await s.click(320, 240);
  await until(s, () => window.qeProbe.music > 0);
  // The main thread's time per frame of the show, by DevTools' own count of its tasks (Chromium).
  const metrics = async () => [s.taskMs ? await s.taskMs() : NaN, ...await s.js(() => [window.qeProbe.frames, window.qeProbe.shotMs])];
  const m0 = await metrics();
  await until(s, (n) => window.qeProbe.frames >= window.qeProbe.base.music + n, Number(escape_at) * FPS);
  const m1 = await metrics();
  await s.key('Escape');
  await until(s, () => window.qeProbe.ended === 1 && window.qeProbe.startDrawn === 2);
  await startScreen('start-again.png');
  const r = await s.js(() => {
    const p = window.qeProbe;
    const n = p.chunks.reduce((sum, c) => sum + c.length, 0);
    const all = new Int16Array(n);
    let at = 0;
    for (const c of p.chunks) { all.set(c, at); at += c.length; }
    const bytes = new Uint8Array(all.buffer);
    let text = '';
    for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    return { slices: btoa(text), shots: p.shots, frames: p.frames, gesture: p.gesture, starved: p.starved,
             firstFrame: p.firstFrame, endedAt: p.endedAt, base: p.base, escapeFrames: p.escapeFrames,
             missing: p.want.map((w) => w.name || w.base + '+' + w.frame) };
  });
  // Once more, from a key: a fresh run in a browser without S3TC (the show decodes its slides),
  // pictured as the first, which a hidden page ends at once (or Escape, where the driver cannot hide it).
  await s.js((f) => { window.qeProbe.noS3tc = true; window.qeProbe.want = [{ name: 'decoded', base: 'music', frame: f }]; }, 3.5 * FPS);
  await s.key('a');
  await until(s, () => window.qeProbe.runs === 2 && window.qeProbe.shots.some((x) => x.name === 'decoded'));
  png('decoded.png', await s.js(() => window.qeProbe.shots.find((x) => x.name === 'decoded').png));
  if (!await s.hide()) await s.key('Escape');
  await until(s, () => window.qeProbe.ended === 2);
  fs.writeFileSync(path.join(out, 'slices.raw'), Buffer.from(r.slices, 'base64'));
  savePictures(r.shots);
  return {
    click_to_title_ms: r.firstFrame - r.gesture,
    fps: (r.frames - 1) / ((r.endedAt - r.firstFrame) / 1000),
    main_thread_ms_per_frame: (m1[0] - m0[0] - (m1[2] - m0[2])) / Math.max(1, m1[1] - m0[1]),
    escape_frames: r.escapeFrames, starved_quanta: r.starved,
    clock_fps: FPS, music_frame: r.base.music, escape_frame: r.base.escape,
    missing: r.missing,
    errors: await pageErrors(s),
  };
}

// A phone's shape: a tap starts the show; the picture keeps 4:3 with black around, upright and turned.
async function phone(s) {
  const shape = (landscape) => ({ width: landscape ? 844 : 390, height: landscape ? 390 : 844, deviceScaleFactor: 3,
                                  isMobile: true, hasTouch: true, isLandscape: landscape });
  await s.page.setViewport(shape(false));
  await openWatched(s);
  const portraitStart = await s.js(box);
  await s.page.touchscreen.tap(195, 422);
  await until(s, () => window.qeProbe.frames > 0);
  const portrait = await s.js(box);
  await s.page.setViewport(shape(true));
  await until(s, () => innerWidth === 844);
  return { tap_started: true, portrait_start: portraitStart, portrait, landscape: await s.js(box),
           errors: await pageErrors(s) };
}

async function noWebgl2(s) {
  await s.open('file://' + path.resolve(page_path));
  await until(s, () => document.readyState === 'complete');
  const shown = await s.js(() => [!document.getElementById('nosupport').hidden, document.getElementById('stage').hidden,
                                  document.getElementById('nosupport').textContent]);
  return { nosupport_shown: shown[0], stage_hidden: shown[1], line: shown[2], errors: s.errors };
}

async function frames(s) {
  const clock = JSON.parse(process.env.QE_WEB_CLOCK);
  await openWatched(s);
  await s.js((c) => { window.qeProbe.clock = c; window.qeProbe.want = c.want.map((w) => ({ name: w.name, base: 'title', frame: w.frame })); }, clock);
  await s.click(320, 240);
  await until(s, () => window.qeProbe.want.length === 0 || window.qeProbe.ended === 1);
  savePictures(await s.js(() => window.qeProbe.shots));
  return { missing: await s.js(() => window.qeProbe.want.map((w) => w.name)), errors: await pageErrors(s) };
}

(async () => {
  const s = engine === 'webkit' ? await webkitSession() : await puppeteerSession(engine);
  try {
    const report = await ({ phone, nowebgl2: noWebgl2, frames }[engine] || full)(s);
    report.engine = engine;
    fs.writeFileSync(path.join(out, 'report.json'), JSON.stringify(report, null, 1));
  } catch (e) {
    // Where the page stood, for the log.
    const state = await s.js(() => JSON.stringify(window.qeProbe, (k, v) =>
      k === 'chunks' ? v.length : k === 'png' ? '...' : v)).catch(() => '?');
    throw new Error(e.message + '; page: ' + state + '; console: ' + s.errors.join(' | '));
  } finally {
    await s.close();
  }
})().catch((e) => { console.error('web_drive: ' + e.message); process.exit(1); });
