// web/library_web.js -- the page's side of the program's platform calls (web/web.h and the
// extern "C" blocks of the web twins). `Module.qe` is the page's object for this run (page.js):
// the sound, the queue of browser events and the end-of-run callback.
mergeInto(LibraryManager.library, {
  // Sleeps until the next animation frame. A hidden page gets no animation frames, so a timer wakes
  // the program too: it must take the deactivation and end the run.
  web_wait_frame: function() {
    var qe = Module['qe'];
    return Asyncify.handleSleep(function(wakeUp) {
      // Here only as the frame ends: the call that resumes the program comes back through here too.
      // A watcher of the run's frames (a test) may set `frame`; it gets the time since the program woke.
      if (qe && qe['frame']) qe['frame'](performance.now() - (qe.woke || 0));
      var done = false;
      function go() { if (!done) { done = true; if (qe) qe.woke = performance.now(); wakeUp(); } }
      requestAnimationFrame(go);
      setTimeout(go, 250);
    });
  },

  web_halt: function() {
    return Asyncify.handleSleep(function() {
      var qe = Module['qe'];
      if (qe) setTimeout(function() { qe['ended'](); }, 0);
    });
  },

  web_next_event: function() {
    var events = Module['qe'] ? Module['qe']['events'] : null;
    return events && events.length ? events.shift() : 0;
  },

  web_fail: function(what) {
    var text = 'unsupported ' + UTF8ToString(what);
    console.error(text);
    abort(text);
  },

  web_audio_open: function(rate) {
    var audio = Module['qe'] && Module['qe']['audio'];
    return audio && audio['context'].sampleRate === rate ? 1 : 0;
  },
  web_audio_start: function() { Module['qe']['audio']['start'](); },
  web_audio_stop: function() { Module['qe']['audio']['stop'](); },
  web_audio_played: function() { return Module['qe']['audio']['played'](); },
  web_audio_send: function(frames, count) {
    Module['qe']['audio']['send'](HEAP16.subarray(frames >> 1, (frames >> 1) + 2 * count));
  },

  // GDI's text through Canvas 2D. A font of height h (GDI's cell height) is drawn at 0.82 h, the
  // em of the fonts the show names; a glyph pixel covered by half or more takes the colour.
  $qeText: { canvas: null, context: null },
  web_text_width__deps: ['$qeText'],
  web_text_width: function(height, weight, ch) {
    var t = qeText;
    if (!t.canvas) {
      t.canvas = document.createElement('canvas');
      t.context = t.canvas.getContext('2d', { willReadFrequently: true });
    }
    t.context.font = (weight >= 700 ? 'bold ' : '') + Math.round(height * 0.82) + 'px Tahoma, Verdana, "DejaVu Sans", sans-serif';
    return Math.round(t.context.measureText(String.fromCharCode(ch)).width);
  },
  web_text_draw__deps: ['$qeText', 'web_text_width'],
  web_text_draw: function(height, weight, x, y, ch, bits, width, rows, colour) {
    var w = _web_text_width(height, weight, ch);
    if (w <= 0) return;
    var t = qeText, c = t.context;
    if (t.canvas.width < w + 4 || t.canvas.height < height) { t.canvas.width = w + 4; t.canvas.height = height; }
    c.font = (weight >= 700 ? 'bold ' : '') + Math.round(height * 0.82) + 'px Tahoma, Verdana, "DejaVu Sans", sans-serif';
    c.clearRect(0, 0, t.canvas.width, t.canvas.height);
    c.fillStyle = '#fff';
    c.textBaseline = 'alphabetic';
    c.fillText(String.fromCharCode(ch), 0, Math.round(height * 0.8));
    var pixels = c.getImageData(0, 0, w, height).data;
    var base = bits >> 2;
    for (var r = 0; r < height && y + r < rows; r++) {
      for (var i = 0; i < w && x + i < width; i++) {
        if (x + i >= 0 && pixels[(r * w + i) * 4 + 3] >= 128) HEAPU32[base + (y + r) * width + x + i] = colour;
      }
    }
  },
});
