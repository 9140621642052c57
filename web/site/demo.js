// The demo controller as a port: kd215-sim's controller (compiled in) behind the same interface
// as a Web Serial port, with the line's timing: every byte takes 11 bit times at 38400 baud.
import { callExport } from './bridge.js';

export const kDemoPortName = 'Sterownik pokazowy';
const kByteMs = (11 * 1000) / 38400;   // 0.286 ms: start bit, 8 data bits, 2 stop bits
const kLineGapMs = 100;                // quiet this long in a frame: the controller drops it

export class DemoPort {
  constructor(mod) {
    this.mod = mod;  // the engine's module, which holds the controller
    this.opened = false;
    this.readable = null;
    this.writable = null;
  }

  getInfo() { return {}; }

  async open(options) {
    if (this.opened) throw new DOMException('Port jest już otwarty.', 'InvalidStateError');
    if (options.baudRate !== 38400 || options.dataBits !== 8 || options.stopBits !== 2 || options.parity !== 'none') {
      throw new TypeError('Sterownik pokazowy pracuje tylko w 38400 8N2.');
    }
    this.opened = true;
    this.lineFreeAt = performance.now();  // when the controller's transmitter is free again
    this.readable = new ReadableStream({
      start: (c) => { this.rx = c; },
      cancel: () => { this.rx = null; },
    });
    this.writable = new WritableStream({ write: (chunk) => this.fromPc(chunk) });
  }

  async close() {
    this.opened = false;
    clearTimeout(this.gapTimer);
    try { this.rx?.close(); } catch { /* cancelled */ }
    this.rx = null;
  }

  // The bytes reach the controller when they have crossed the wire; its answer goes back byte by
  // byte at the same rate.
  fromPc(chunk) {
    const bytes = new Uint8Array(chunk);
    setTimeout(() => {
      if (!this.opened) return;
      const n = callExport(this.mod, 'kd_demo_receive', bytes);
      const reply = this.mod.HEAPU8.slice(this.mod._kd_demo_reply(), this.mod._kd_demo_reply() + n);
      this.watchGap();
      if (reply.length) this.send(reply);
    }, bytes.length * kByteMs);
  }

  watchGap() {
    clearTimeout(this.gapTimer);
    if (this.mod._kd_demo_partial_frame()) this.gapTimer = setTimeout(() => this.mod._kd_demo_line_gap(), kLineGapMs);
  }

  send(reply) {
    const start = Math.max(performance.now(), this.lineFreeAt);
    this.lineFreeAt = start + reply.length * kByteMs;
    let sent = 0;
    const tick = () => {
      if (!this.opened || !this.rx) return;
      const due = Math.min(reply.length, Math.floor((performance.now() - start) / kByteMs));
      if (due > sent) {
        this.rx.enqueue(reply.slice(sent, due));
        sent = due;
      }
      if (sent < reply.length) setTimeout(tick, Math.max(1, (sent + 1) * kByteMs - (performance.now() - start)));
    };
    tick();
  }
}
