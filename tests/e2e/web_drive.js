// tests/e2e/web_drive.js PAGE OUT_DIR ESCAPE_AT -- plays the page once in Debian's chromium, over
// the DevTools protocol (puppeteer-core), with a window in the session's X display and sound to its
// PulseAudio: the start screen, a click, pictures of the canvas taken in the frames drawn at chosen
// show times, Escape ESCAPE_AT seconds into the music, the end card, then the start screen again;
// then a key starts a second run, without S3TC, which another tab in front (a hidden page) must end.
// Writes OUT_DIR/*.png, OUT_DIR/slices.raw (what the worklet was handed) and OUT_DIR/report.json.
// Waits on the page's own milestones; the only time limit is against a hang.
'use strict';
const fs = require('fs');
const path = require('path');
const puppeteer = require(path.join(__dirname, '../../node_modules/puppeteer-core'));

const [page_path, out, escape_at] = process.argv.slice(2);
const LIMIT = 180000;  // ms, against a hang

// Pictures: name, the milestone they count from, seconds after it.
const WANT = [
  { name: 'title-hold', base: 'title', at: 3 },
  { name: 'slide', base: 'music', at: 3.5 },  // the first slide held, for the run without S3TC
  { name: 'show', base: 'music', at: 6 },
  { name: 'text-a', base: 'music', at: 8 },
  { name: 'text-b', base: 'music', at: 13 },
  { name: 'end-card', base: 'escape', at: 4 },
];

(async () => {
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: false, defaultViewport: null,
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader', '--window-position=0,0',
           '--window-size=640,480', '--no-first-run', '--disable-features=Translate', '--kiosk'],
  });
  const errors = [];
  let page = null;
  try {
    page = (await browser.pages())[0] || await browser.newPage();
    page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') errors.push(m.type() + ': ' + m.text()); });
    page.on('pageerror', (e) => errors.push('page error: ' + e.message));
    const until = (f, arg) => page.waitForFunction(f, { timeout: Number(process.env.QE_WEB_LIMIT || LIMIT), polling: 50 }, arg);
    // A copy of the page with the test's watcher before the page's own script (the last one).
    const html = fs.readFileSync(page_path, 'utf8'), at = html.lastIndexOf('<script>');
    const watched = path.join(out, 'page.html');
    fs.writeFileSync(watched, html.slice(0, at) + '<script>\n' +
                     fs.readFileSync(path.join(__dirname, 'web_hook.js'), 'utf8') + '</script>\n' + html.slice(at));
    await page.goto('file://' + path.resolve(watched));
    await until(() => window.qeProbe && window.qeProbe.startDrawn === 1);
    const startScreen = async (name) => {
      const [shown, png] = await page.evaluate(() => {
        const c = document.getElementById('start');
        return [getComputedStyle(c).display !== 'none', c.toDataURL('image/png')];
      });
      if (!shown) throw new Error('the start screen is hidden');
      fs.writeFileSync(path.join(out, name), Buffer.from(png.split(',')[1], 'base64'));
    };
    await startScreen('start.png');
    await page.evaluate((want) => { window.qeProbe.want = want; }, WANT);
    await page.mouse.click(320, 240);
    await until(() => window.qeProbe.music > 0);
    // The main thread's time per frame of the show, by DevTools' own count of its tasks.
    const metrics = async () => [(await page.metrics()).TaskDuration * 1000,
                                 ...await page.evaluate(() => [window.qeProbe.frames, window.qeProbe.shotMs])];
    const m0 = await metrics();
    await until((s) => performance.now() - window.qeProbe.music >= s * 1000, Number(escape_at));
    const m1 = await metrics();
    await page.keyboard.press('Escape');
    await until(() => window.qeProbe.ended === 1 && window.qeProbe.startDrawn === 2);
    await startScreen('start-again.png');
    const r = await page.evaluate(() => {
      const p = window.qeProbe;
      const n = p.chunks.reduce((s, c) => s + c.length, 0);
      const all = new Int16Array(n);
      let at = 0;
      for (const c of p.chunks) { all.set(c, at); at += c.length; }
      const bytes = new Uint8Array(all.buffer);
      let text = '';
      for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
      return { slices: btoa(text), shots: p.shots, frames: p.frames, busy: p.busy, gesture: p.gesture,
               firstFrame: p.firstFrame, endedAt: p.endedAt, music: p.music, escape: p.escape, escapeFrames: p.escapeFrames,
               missing: p.want.map((w) => w.name) };
    });
    // Once more, from a key: a fresh run in a browser without S3TC (the show decodes its slides),
    // pictured as the first, which a hidden page (another tab in front) ends at once.
    await page.evaluate(() => {
      window.qeProbe.noS3tc = true;
      window.qeProbe.want = [{ name: 'decoded', base: 'music', at: 3.5 }];
    });
    await page.keyboard.press('a');
    await until(() => window.qeProbe.runs === 2 && window.qeProbe.shots.some((s) => s.name === 'decoded'));
    const decoded = await page.evaluate(() => window.qeProbe.shots.find((s) => s.name === 'decoded').png);
    fs.writeFileSync(path.join(out, 'decoded.png'), Buffer.from(decoded.split(',')[1], 'base64'));
    const other = await browser.newPage();
    await other.bringToFront();
    await until(() => window.qeProbe.ended === 2);
    fs.writeFileSync(path.join(out, 'slices.raw'), Buffer.from(r.slices, 'base64'));
    for (const s of r.shots) fs.writeFileSync(path.join(out, s.name + '.png'), Buffer.from(s.png.split(',')[1], 'base64'));
    const report = {
      click_to_title_ms: r.firstFrame - r.gesture,
      fps: (r.frames - 1) / ((r.endedAt - r.firstFrame) / 1000),
      main_ms_per_frame: r.busy / Math.max(1, r.frames - 1),
      main_thread_ms_per_frame: (m1[0] - m0[0] - (m1[2] - m0[2])) / Math.max(1, m1[1] - m0[1]),
      escape_frames: r.escapeFrames,
      shots: Object.fromEntries(r.shots.map((s) => [s.name, s.at / 1000])),
      missing: r.missing, errors: errors,
    };
    fs.writeFileSync(path.join(out, 'report.json'), JSON.stringify(report, null, 1));
  } catch (e) {
    // Where the page stood, for the log.
    const state = page ? await page.evaluate(() => JSON.stringify(window.qeProbe, (k, v) =>
      k === 'chunks' ? v.length : k === 'png' ? '...' : v)).catch(() => '?') : '?';
    throw new Error(e.message + '; page: ' + state + '; console: ' + errors.join(' | '));
  } finally {
    await browser.close();
  }
})().catch((e) => { console.error('web_drive: ' + e.message); process.exit(1); });
