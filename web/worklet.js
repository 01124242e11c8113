// web/worklet.js -- the AudioWorklet that plays the show's ring: stereo 16-bit frames from the page,
// played in order at the context's 44,100 Hz. When the queue runs dry (the page's main thread was
// held up) it plays silence, counts the render quantum as starved, and later goes on with the next
// frame queued: nothing is skipped or played twice, and the frames it reports as played (the
// program's play position) leave the silence out. Every second render quantum it tells the page how
// many frames it has played and how many quanta it starved since the start.
class QuietembersPlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];       // Int16Array chunks, interleaved left, right
    this.at = 0;           // frames of queue[0] already played
    this.played = 0;       // frames played since the last start
    this.starved = 0;      // render quanta of this run partly or wholly filled with silence
    this.fed = false;      // this run's first frames have arrived: silence from here on is a gap
    this.run = 0;          // the page's start count: a message of an earlier run is dropped
    this.quanta = 0;
    this.port.onmessage = (e) => {
      const m = e.data;
      if (m.start !== undefined) {
        this.queue = []; this.at = 0; this.played = 0; this.starved = 0; this.fed = false; this.run = m.start;
      } else if (m.stop !== undefined) {
        this.queue = []; this.at = 0; this.fed = false; this.run = -1;
      } else if (m.run === this.run) {
        this.queue.push(m.pcm);
        this.fed = true;
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
    if (i < left.length && this.fed) this.starved++;
    for (; i < left.length; i++) { left[i] = 0; right[i] = 0; }
    if (++this.quanta % 2 === 0) this.port.postMessage({ run: this.run, played: this.played, starved: this.starved });
    return true;
  }
}
registerProcessor('quietembers-player', QuietembersPlayer);
