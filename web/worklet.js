// web/worklet.js -- the AudioWorklet that plays the show's ring: stereo 16-bit frames from the page,
// played in order at the context's 44,100 Hz; when none are queued it plays silence and counts
// nothing. Every second render quantum it tells the page how many frames it has played.
class QuietembersPlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];       // Int16Array chunks, interleaved left, right
    this.at = 0;           // frames of queue[0] already played
    this.played = 0;       // frames played since the last start
    this.run = 0;          // the page's start count: a message of an earlier run is dropped
    this.quanta = 0;
    this.port.onmessage = (e) => {
      const m = e.data;
      if (m.start !== undefined) {
        this.queue = []; this.at = 0; this.played = 0; this.run = m.start;
      } else if (m.stop !== undefined) {
        this.queue = []; this.at = 0; this.run = -1;
      } else if (m.run === this.run) {
        this.queue.push(m.pcm);
      }
    };
  }
  process(inputs, outputs) {
    const left = outputs[0][0], right = outputs[0][1];
    let i = 0;
    while (i < left.length && this.queue.length) {
      const q = this.queue[0];
      const frames = q.length >> 1;
      while (i < left.length && this.at < frames) {
        left[i] = q[2 * this.at] / 32768;
        right[i] = q[2 * this.at + 1] / 32768;
        i++; this.at++;
      }
      if (this.at === frames) { this.queue.shift(); this.at = 0; }
    }
    this.played += i;
    for (; i < left.length; i++) { left[i] = 0; right[i] = 0; }
    if (++this.quanta % 2 === 0) this.port.postMessage({ run: this.run, played: this.played });
    return true;
  }
}
registerProcessor('quietembers-player', QuietembersPlayer);
