// The one module that owns the serial line: the ports the page may open (the demo controller and
// the ports granted through Web Serial), one open port at a time with one reader loop and one
// writer, the received bytes for the engine, and the port's end on disconnect or a failed read.
import { DemoPort, kDemoPortName } from './demo.js';

// Every port is opened at the controller's line: 38400 8N2, no parity, no flow control.
export const kLineOptions = Object.freeze({
  baudRate: 38400, dataBits: 8, stopBits: 2, parity: 'none', flowControl: 'none',
});

// navigator.serial, looked up when asked for (a stand-in may be put there before the page loads).
export function webSerial() {
  return window.isSecureContext && 'serial' in navigator ? navigator.serial : null;
}

function usbName(info, n) {
  const hex = (v) => v.toString(16).padStart(4, '0');
  return info && info.usbVendorId !== undefined
    ? `Port ${n} (USB ${hex(info.usbVendorId)}:${hex(info.usbProductId)})`
    : `Port ${n}`;
}

export class Line {
  constructor(mod) {
    this.demo = new DemoPort(mod);
    this.granted = [];       // SerialPort objects from getPorts(), in their order
    this.entries = [];       // [{name, demo, port}], the menu's order
    this.current = null;     // the open entry
    this.reader = null;
    this.writer = null;
    this.received = [];      // Uint8Arrays not yet taken by the engine
    this.failed = false;     // the read failed or the port went away: the transfer ends
    this.writing = 0;        // 0 under way, 1 done, 2 failed
    this.wakers = [];
    this.onChange = () => {};
  }

  // The ports granted before, then the listener for ports that come and go. A browser that keeps
  // getPorts() waiting (some headless ones do) does not hold the page up: its ports come later.
  async start() {
    const serial = webSerial();
    if (serial) {
      const listed = serial.getPorts().then((ports) => { this.granted = ports; return true; }, () => true);
      const inTime = await Promise.race([listed, new Promise((r) => setTimeout(() => r(false), 1000))]);
      if (!inTime) listed.then(() => this.refresh());
      serial.addEventListener('connect', () => this.refresh());
      serial.addEventListener('disconnect', (event) => this.lost(event.target ?? event.port));
    }
    this.list();
  }

  list() {
    this.entries = [{ name: kDemoPortName, demo: true, port: this.demo }];
    this.granted.forEach((port, i) => this.entries.push({ name: usbName(port.getInfo?.(), i + 1), demo: false, port }));
  }

  ports() { return this.entries.map(({ name, demo }) => ({ name, demo })); }

  async refresh() {
    const serial = webSerial();
    if (serial) this.granted = await serial.getPorts();
    this.list();
    this.onChange();
  }

  // "Dodaj port…": the browser's chooser; true when a port was granted.
  async requestPort() {
    const serial = webSerial();
    if (!serial) return false;
    try {
      await serial.requestPort();
    } catch {
      return false;  // the user closed the chooser
    }
    await this.refresh();
    return true;
  }

  // 0 opened, 1 would not open, 2 took no line settings (the program's two open failures).
  async open(name) {
    this.close();
    const entry = this.entries.find((e) => e.name === name);
    if (!entry) return 1;
    try {
      await entry.port.open(kLineOptions);
    } catch (error) {
      return error instanceof TypeError ? 2 : 1;
    }
    this.current = entry;
    this.received = [];
    this.failed = false;
    this.writing = 1;
    this.writer = entry.port.writable.getWriter();
    this.readLoop(entry);
    return 0;
  }

  async readLoop(entry) {
    const reader = entry.port.readable.getReader();
    this.reader = reader;
    try {
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        if (value && value.length) this.received.push(value);
        this.wake();
      }
    } catch {
      if (this.current === entry) this.failed = true;
    } finally {
      reader.releaseLock();
      this.wake();
    }
  }

  // The open port went away (unplugged): the pending read fails, the list is read again.
  lost(port) {
    if (this.current && this.current.port === port) this.failed = true;
    this.wake();
    this.refresh();
  }

  close() {
    const entry = this.current;
    if (!entry) return;
    this.current = null;
    const { reader, writer } = this;
    this.reader = this.writer = null;
    this.received = [];
    (async () => {
      try { if (reader) await reader.cancel(); } catch { /* already gone */ }
      try { if (writer) { writer.releaseLock(); } } catch { /* already gone */ }
      try { await entry.port.close(); } catch { /* already closed or unplugged */ }
    })();
  }

  write(bytes) {
    if (!this.writer) {
      this.writing = 2;
      return;
    }
    this.writing = 0;
    this.writer.write(bytes).then(() => { this.writing = 1; this.wake(); },
      () => { this.writing = 2; this.failed = true; this.wake(); });
  }

  writeState() { return this.writing; }

  // At most `max` received bytes, or null when the line failed.
  take(max) {
    if (this.failed) return null;
    const out = new Uint8Array(max);
    let n = 0;
    while (n < max && this.received.length) {
      const head = this.received[0];
      const count = Math.min(max - n, head.length);
      out.set(head.subarray(0, count), n);
      n += count;
      if (count === head.length) this.received.shift();
      else this.received[0] = head.subarray(count);
    }
    return out.subarray(0, n);
  }

  // Web Serial has no purge of the system's queues: what has arrived and not been taken is dropped.
  purge() { this.received = []; }

  // Resolves when bytes arrive, a write ends or the line fails, or after `ms` at the latest.
  wait(ms) {
    return new Promise((resolve) => {
      const timer = setTimeout(() => this.wake(), ms);
      this.wakers.push(() => { clearTimeout(timer); resolve(); });
    });
  }

  wake() {
    const wakers = this.wakers;
    this.wakers = [];
    wakers.forEach((w) => w());
  }
}
