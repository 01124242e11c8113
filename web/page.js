// web/page.js -- the page around the program: the start screen, the sound, and the browser events
// that stand in for window messages. Each run of the show is a fresh instance of the program (a page
// cannot exit, so a run that has ended is dropped and the next one starts clean).
'use strict';
(function () {
  const stage = document.getElementById('stage');
  const screen = document.getElementById('screen');
  const start = document.getElementById('start');

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
  }

  // The show's sound is a recording played back, never an instrument: 'playback' asks for the
  // deepest output buffer the browser offers, which a busy machine needs (the worklet holds 1.5 s).
  // On iOS the 'playback' session plays with the silent switch on, as music does.
  function makeAudio() {
    if (navigator.audioSession) { try { navigator.audioSession.type = 'playback'; } catch (e) { /* kept as it was */ } }
    const context = new AudioContext({ sampleRate: 44100, latencyHint: 'playback' });
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
    },
    stop() { audio.node.port.postMessage({ stop: 1 }); audio.run++; },
    played() { return audio.frames; },
    send(view) {
      const pcm = new Int16Array(view);
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
    run = { audio: device, events: [], ended: ended };
    m.qe = run;
    audio.ready.then(() => {
      stage.classList.add('running');
      m.callMain([]);
    });
  }

  function ended() {
    run = null;
    audio.context.suspend();  // nothing to play on the start screen; the next gesture resumes it
    stage.classList.remove('running');
    prepare().then(drawStart);  // drawn again: WebKit does not show again a 2D canvas hidden during the run
  }

  // Full screen, unprefixed or as older Safari (iPad) names it; an iPhone has none for an element,
  // and there the page already fills the screen.
  const fullScreenElement = () => document.fullscreenElement || document.webkitFullscreenElement;
  function toggleFullScreen() {
    const exit = document.exitFullscreen || document.webkitExitFullscreen;
    const enter = stage.requestFullscreen || stage.webkitRequestFullscreen;
    if (fullScreenElement()) {
      leaving = true;
      Promise.resolve(exit.call(document)).catch(() => { leaving = false; });
    } else if (enter) {
      Promise.resolve(enter.call(stage)).catch(() => {});
    }
  }

  // The system may suspend or interrupt the sound during a run (a call, the page in the background):
  // the next gesture resumes it, and the show goes on where its sound stopped.
  function resumeSound() {
    if (run && audio.context.state !== 'running') audio.context.resume().catch(() => {});
  }

  document.addEventListener('keydown', (e) => {
    if (e.repeat || e.ctrlKey || e.altKey || e.metaKey) return;
    if (!run) { e.preventDefault(); begin(); return; }
    resumeSound();
    if (e.key === 'Escape') {
      e.preventDefault();
      run.events.push(WEB_EVENT_ESCAPE);
    }
    else if (e.key === 'f' || e.key === 'F') { e.preventDefault(); toggleFullScreen(); }
  });
  stage.addEventListener('click', () => { if (!run) begin(); else resumeSound(); });
  stage.addEventListener('dblclick', () => { if (run) toggleFullScreen(); });
  stage.addEventListener('touchend', (e) => {
    const now = e.timeStamp;
    if (!run) { e.preventDefault(); begin(); lastTap = now; return; }
    resumeSound();
    if (now - lastTap < 300) { e.preventDefault(); toggleFullScreen(); lastTap = 0; } else { lastTap = now; }
  });
  // In full screen the browser keeps Escape for itself and leaves full screen: that is Escape too.
  function fullScreenChanged() {
    if (!fullScreenElement()) {
      if (!leaving && run) run.events.push(WEB_EVENT_ESCAPE);
      leaving = false;
    }
  }
  document.addEventListener('onfullscreenchange' in document ? 'fullscreenchange' : 'webkitfullscreenchange', fullScreenChanged);
  // A hidden page is the program's loss of activation.
  document.addEventListener('visibilitychange', () => { if (document.hidden && run) run.events.push(WEB_EVENT_DEACTIVATE); });

  prepare().then(drawStart);
})();
