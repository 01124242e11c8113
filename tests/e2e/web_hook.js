// tests/e2e/web_hook.js -- the test's watcher of the page, in no page people open: the drivers write
// a copy of the page with this script before the page's own (after the program's module). It wraps
// the module factory, and through each instance the run object the page hands the program (`qe`):
// every slice handed to the worklet, the times of the run's milestones, the main loop's busy time,
// and pictures of the canvas taken in the frame that drew them, in window.qeProbe.
'use strict';
(function () {
  const p = window.qeProbe = { chunks: [], runs: 0, frames: 0, busy: 0, gesture: 0, firstFrame: 0, music: 0,
                               escape: 0, escapeFrames: 0, polled: 0, ended: 0, endedAt: 0, startDrawn: 0,
                               want: [], shots: [], shotMs: 0, noS3tc: false };
  const screen = () => document.getElementById('screen');

  // Errors and warnings, whichever engine runs the page (a driver may see none of its console).
  p.errors = [];
  for (const level of ['error', 'warn']) {
    const f = console[level];
    console[level] = function (...a) { p.errors.push(level + ': ' + a.join(' ')); return f.apply(this, a); };
  }
  addEventListener('error', (e) => p.errors.push('page error: ' + e.message));
  addEventListener('unhandledrejection', (e) => p.errors.push('unhandled rejection: ' + e.reason));

  function shoot(now) {
    const bases = { title: p.firstFrame, music: p.music, escape: p.escape };
    p.want = p.want.filter((w) => {
      const base = bases[w.base];
      if (!base || now < base + w.at * 1000) return true;
      const t0 = performance.now();
      p.shots.push({ name: w.name, at: now - base, png: picture() });
      p.shotMs += performance.now() - t0;  // not the show's: left out of its figures
      return false;
    });
  }

  function picture() {  // the canvas as the frame just drawn left it, as a PNG data: URL
    const gl = screen().getContext('webgl2'), rows = new Uint8Array(640 * 480 * 4);
    gl.readPixels(0, 0, 640, 480, gl.RGBA, gl.UNSIGNED_BYTE, rows);  // bottom row first
    const copy = document.createElement('canvas');
    copy.width = 640; copy.height = 480;
    const c = copy.getContext('2d'), image = c.createImageData(640, 480);
    for (let y = 0; y < 480; y++) image.data.set(rows.subarray((479 - y) * 2560, (480 - y) * 2560), y * 2560);
    c.putImageData(image, 0, 0);
    return copy.toDataURL('image/png');
  }

  // The page hands each run's object to the instance as `qe`, inside the gesture that starts it.
  function watchRun(run) {
    p.runs++; p.gesture = performance.now(); p.frames = 0; p.chunks = [];
    p.firstFrame = p.music = p.escape = 0;
    if (p.noS3tc) {  // as in a browser without S3TC: the show decodes its DXT1 slides itself
      const gl = screen().getContext('webgl2'), get = gl.getExtension.bind(gl);
      gl.getExtension = (name) => (/s3tc/i.test(name) ? null : get(name));
    }
    const audio = run.audio;
    if (!audio.watched) {  // one device for every run
      audio.watched = true;
      const start = audio.start, send = audio.send;
      audio.start = function () { start.call(this); p.music = performance.now(); };
      audio.send = function (view) { p.chunks.push(new Int16Array(view).slice()); send.call(this, view); };
    }
    const push = run.events.push;
    run.events.push = function (e) {
      if (e === WEB_EVENT_ESCAPE && !p.escape) { p.escape = performance.now(); p.escapeFrames = p.polled; }
      return push.call(this, e);
    };
    // A fixed frame clock (p.clock = { fps, escapeFrame }), as the capture build's: frame k is drawn
    // at k / fps seconds after the first, Escape comes as frame escapeFrame is drawn, and pictures
    // are asked for by frame (want: { name, frame }).
    if (p.clock) {
      const t0 = performance.now(), step = 1000 / p.clock.fps;
      performance.now = () => t0 + p.frames * step;
    }
    run.frame = (busy) => {
      const index = p.frames, now = performance.now();
      if (p.frames++ === 0) p.firstFrame = now; else p.busy += busy;
      p.polled = audio.played();  // where the audio loop found the worklet in this frame's poll
      if (p.clock) {
        p.want = p.want.filter((w) => w.frame !== index || !p.shots.push({ name: w.name, at: index, png: picture() }));
        if (index + 1 === p.clock.escapeFrame) run.events.push(WEB_EVENT_ESCAPE);
      } else {
        shoot(now);
      }
    };
    const ended = run.ended;
    run.ended = function () { p.ended++; p.endedAt = performance.now(); ended.call(this); };
  }

  // The worklet's count of render quanta it had to fill with silence in this run.
  p.starved = 0;
  const Node = AudioWorkletNode;
  window.AudioWorkletNode = class extends Node {
    constructor(...args) {
      super(...args);
      this.port.addEventListener('message', (e) => { if (e.data.starved !== undefined) p.starved = e.data.starved; });
    }
  };

  const factory = QuietembersModule;
  QuietembersModule = (options) => factory(options).then((m) => {
    let run = null;
    Object.defineProperty(m, 'qe', { get: () => run, set: (r) => { run = r; if (r) watchRun(r); }, configurable: true });
    const title = m._web_title_image;  // the start screen is drawn from it
    m._web_title_image = function () { setTimeout(() => p.startDrawn++, 0); return title.apply(this, arguments); };
    return m;
  });
})();
