// tests/e2e/web_hook.js -- the test's watcher of the page, in no page people open: the drivers write
// a copy of the page with this script before the page's own (after the program's module). It wraps
// the module factory, and through each instance the run object the page hands the program (`qe`):
// every slice handed to the worklet, the times of the run's milestones (on the real clock), and
// pictures of the canvas taken in the frame that drew them, in window.qeProbe.
// The show runs on a fixed frame clock (p.clock = { fps, escapeFrame }), as the capture build's:
// frame k is drawn at k / fps seconds after the first, whatever the machine's speed. Pictures are
// asked for by frame (want: { base, frame, name }: frame after the base's: 'title' the first frame,
// 'music' the frame that started the music, 'escape' the first frame drawn after Escape); Escape
// comes as frame escapeFrame is drawn, where one is given.
'use strict';
(function () {
  const p = window.qeProbe = { chunks: [], runs: 0, frames: 0, gesture: 0, firstFrame: 0, music: 0,
                               escape: 0, escapeFrames: 0, polled: 0, ended: 0, endedAt: 0, startDrawn: 0,
                               base: {}, want: [], shots: [], shotMs: 0, noS3tc: false, clock: { fps: 20 } };
  const realNow = performance.now.bind(performance);
  const screen = () => document.getElementById('screen');

  // Errors and warnings, whichever engine runs the page (a driver may see none of its console).
  p.errors = [];
  for (const level of ['error', 'warn']) {
    const f = console[level];
    console[level] = function (...a) { p.errors.push(level + ': ' + a.join(' ')); return f.apply(this, a); };
  }
  addEventListener('error', (e) => p.errors.push('page error: ' + e.message));
  addEventListener('unhandledrejection', (e) => p.errors.push('unhandled rejection: ' + e.reason));

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
    p.runs++; p.gesture = realNow(); p.frames = 0; p.chunks = [];
    p.firstFrame = p.music = p.escape = 0; p.base = { title: 0 };
    if (p.noS3tc) {  // as in a browser without S3TC: the show decodes its DXT1 slides itself
      const gl = screen().getContext('webgl2'), get = gl.getExtension.bind(gl);
      gl.getExtension = (name) => (/s3tc/i.test(name) ? null : get(name));
    }
    const audio = run.audio;
    if (!audio.watched) {  // one device for every run
      audio.watched = true;
      const start = audio.start, send = audio.send;
      audio.start = function () { start.call(this); p.music = realNow(); p.base.music = p.frames; };
      audio.send = function (view) { p.chunks.push(new Int16Array(view).slice()); send.call(this, view); };
    }
    const push = run.events.push;
    run.events.push = function (e) {
      if (e === WEB_EVENT_ESCAPE && !p.escape) { p.escape = realNow(); p.escapeFrames = p.polled; p.base.escape = p.frames; }
      return push.call(this, e);
    };
    const t0 = realNow(), step = 1000 / p.clock.fps;
    performance.now = () => t0 + p.frames * step;
    run.frame = () => {
      const index = p.frames;
      if (p.frames++ === 0) p.firstFrame = realNow();
      p.polled = audio.played();  // where the audio loop found the worklet in this frame's poll
      p.want = p.want.filter((w) => {
        if (p.base[w.base] === undefined || p.base[w.base] + w.frame !== index) return true;
        const t = realNow();
        p.shots.push({ name: w.name || 'frame-' + index, frame: index, png: picture() });
        p.shotMs += realNow() - t;
        return false;
      });
      if (index + 1 === p.clock.escapeFrame) run.events.push(WEB_EVENT_ESCAPE);
    };
    const ended = run.ended;
    run.ended = function () { p.ended++; p.endedAt = realNow(); ended.call(this); };
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
