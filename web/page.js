// web/page.js -- the page around the program: the start screen, the sound, and the browser events
// that stand in for window messages. Each run of the show is a fresh instance of the program (a page
// cannot exit, so a run that has ended is dropped and the next one starts clean).
'use strict';
(function () {
  const stage = document.getElementById('stage');
  const screen = document.getElementById('screen');
  const start = document.getElementById('start');
  const probe = /[?&]probe(&|$)/.test(location.search);  // tests only: keeps what the worklet was handed

  let audio = null;      // the one audio context and its worklet, made at the first gesture
  let run = null;        // the running program's `qe` object; null on the start screen
  let next = null;       // the instance ready for the next run
  let leaving = false;   // full screen is being left by F or a double click, not by Escape
  let lastTap = 0;

  // Where WebGL 2 or Web Audio's worklets are missing (or, at the first gesture, a context at
  // 44,100 Hz), the page says so in one line instead of showing a black canvas.
  function noSupport() {
    stage.hidden = true;
    document.getElementById('nosupport').hidden = false;
  }
  const webgl2 = (() => { try { return !!document.createElement('canvas').getContext('webgl2'); } catch (e) { return false; } })();
  if (!webgl2 || typeof AudioWorkletNode !== 'function' || typeof AudioContext !== 'function') {
    noSupport();
    return;
  }

  // Tests only (?probe): every slice handed to the worklet, the times of the run's milestones, the
  // main loop's busy time, and pictures of the canvas taken in the frame that drew them.
  const report = probe ? (window.qeProbe = { chunks: [], runs: 0, frames: 0, busy: 0, gesture: 0, firstFrame: 0,
                                             music: 0, escape: 0, escapeFrames: 0, polled: 0, ended: 0, endedAt: 0, startDrawn: 0,
                                             want: [], shots: [], shotMs: 0, noS3tc: false }) : null;

  function prepare() {
    return QuietembersModule({ noInitialRun: true, canvas: screen }).then((m) => { next = m; return m; });
  }

  // The start screen: the title picture the program carries, on black, and one line.
  function drawStart(m) {
    const c = start.getContext('2d');
    c.fillStyle = '#000';
    c.fillRect(0, 0, 640, 480);
    const image = c.createImageData(256, 256);
    const src = m.HEAPU16, base = m._web_title_image() >> 1;
    for (let i = 0; i < 256 * 256; i++) {
      const v = src[base + i];
      image.data[4 * i] = ((v >> 11) * 527 + 23) >> 6;
      image.data[4 * i + 1] = (((v >> 5) & 63) * 259 + 33) >> 6;
      image.data[4 * i + 2] = ((v & 31) * 527 + 23) >> 6;
      image.data[4 * i + 3] = 255;
    }
    c.putImageData(image, 192, 96);
    c.fillStyle = '#ddd';
    c.font = '18px sans-serif';
    c.textAlign = 'center';
    c.fillText('Click, tap or press a key to start', 320, 400);
    if (report) report.startDrawn++;
  }

  function makeAudio() {
    const context = new AudioContext({ sampleRate: 44100 });
    const a = { context: context, node: null, run: 0, frames: 0 };
    a.ready = context.audioWorklet.addModule(WORKLET).then(() => {
      a.node = new AudioWorkletNode(context, 'quietembers-player',
                                    { numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2] });
      a.node.port.onmessage = (e) => { if (e.data.run === a.run) a.frames = e.data.played; };
      a.node.connect(context.destination);
    });
    return a;
  }

  // What the program's sound device calls (library_web.js).
  const device = {
    get context() { return audio.context; },
    start() {
      audio.run++; audio.frames = 0; audio.node.port.postMessage({ start: audio.run });
      if (report) report.music = performance.now();
    },
    stop() { audio.node.port.postMessage({ stop: 1 }); audio.run++; },
    played() { return audio.frames; },
    send(view) {
      const pcm = new Int16Array(view);
      if (report) report.chunks.push(pcm.slice());
      audio.node.port.postMessage({ run: audio.run, pcm: pcm }, [pcm.buffer]);
    },
  };

  function begin() {
    if (run || !next) return;
    if (!audio) {
      try { audio = makeAudio(); } catch (e) { noSupport(); return; }  // no context at 44,100 Hz here
      audio.ready.catch(noSupport);
    }
    audio.context.resume();  // inside the gesture: browsers allow sound only after one
    const m = next;
    next = null;
    run = { audio: device, events: [], frame: frame, ended: ended };
    m.qe = run;
    if (report) {
      report.runs++; report.gesture = performance.now(); report.frames = 0; report.chunks = [];
      report.firstFrame = report.music = report.escape = 0;
      if (report.noS3tc) {  // as in a browser without S3TC: the show decodes its DXT1 slides itself
        const gl = screen.getContext('webgl2'), get = gl.getExtension.bind(gl);
        gl.getExtension = (name) => (/s3tc/i.test(name) ? null : get(name));
      }
    }
    audio.ready.then(() => {
      stage.classList.add('running');
      m.callMain([]);
    });
  }

  // Called as each frame's drawing ends; busy is the time since the program woke for it.
  function frame(busy) {
    if (!report) return;
    const now = performance.now();
    if (report.frames++ === 0) report.firstFrame = now; else report.busy += busy;
    report.polled = audio.frames;  // where the audio loop found the worklet in this frame's poll
    const bases = { title: report.firstFrame, music: report.music, escape: report.escape };
    report.want = report.want.filter((w) => {
      const base = bases[w.base];
      if (!base || now < base + w.at * 1000) return true;
      const t0 = performance.now(), gl = screen.getContext('webgl2'), rows = new Uint8Array(640 * 480 * 4);
      gl.readPixels(0, 0, 640, 480, gl.RGBA, gl.UNSIGNED_BYTE, rows);  // bottom row first
      const copy = document.createElement('canvas');
      copy.width = 640; copy.height = 480;
      const c = copy.getContext('2d'), image = c.createImageData(640, 480);
      for (let y = 0; y < 480; y++) image.data.set(rows.subarray((479 - y) * 2560, (480 - y) * 2560), y * 2560);
      c.putImageData(image, 0, 0);
      report.shots.push({ name: w.name, at: now - base, png: copy.toDataURL('image/png') });
      report.shotMs += performance.now() - t0;  // not the show's: left out of its figures
      return false;
    });
  }

  function ended() {
    run = null;
    audio.context.suspend();  // nothing to play on the start screen; the next gesture resumes it
    if (report) { report.ended++; report.endedAt = performance.now(); }
    stage.classList.remove('running');
    prepare().then(() => { if (report) report.startDrawn++; });  // the still stays drawn
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      leaving = true;
      document.exitFullscreen().catch(() => { leaving = false; });
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().catch(() => {});
    }
  }

  document.addEventListener('keydown', (e) => {
    if (e.repeat || e.ctrlKey || e.altKey || e.metaKey) return;
    if (!run) { e.preventDefault(); begin(); return; }
    if (e.key === 'Escape') {
      e.preventDefault();
      run.events.push(1);
      if (report && !report.escape) { report.escape = performance.now(); report.escapeFrames = report.polled; }
    }
    else if (e.key === 'f' || e.key === 'F') { e.preventDefault(); toggleFullScreen(); }
  });
  stage.addEventListener('click', () => { if (!run) begin(); });
  stage.addEventListener('dblclick', () => { if (run) toggleFullScreen(); });
  stage.addEventListener('touchend', (e) => {
    const now = e.timeStamp;
    if (!run) { e.preventDefault(); begin(); lastTap = now; return; }
    if (now - lastTap < 300) { e.preventDefault(); toggleFullScreen(); lastTap = 0; } else { lastTap = now; }
  });
  // In full screen the browser keeps Escape for itself and leaves full screen: that is Escape too.
  document.addEventListener('fullscreenchange', () => {
    if (!document.fullscreenElement) {
      if (!leaving && run) run.events.push(1);
      leaving = false;
    }
  });
  // A hidden page is the program's loss of activation.
  document.addEventListener('visibilitychange', () => { if (document.hidden && run) run.events.push(2); });

  prepare().then(drawStart);
})();
