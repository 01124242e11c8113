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
});
