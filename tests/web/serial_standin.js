// A stand-in navigator.serial for the browser suite (never shipped): Web Serial's interfaces over
// functions the Node driver exposes, which carry the bytes to kd215-sim's pseudo-terminal.
// Injected before the page's own scripts; the driver passes the USB ids of the one port it offers,
// granted already, and records each open's options. Of Web Serial's rules it keeps those a
// page breaks unseen: a second open, a close with a stream still locked, a lost device.
(usbIds) => {
  const standIn = { port: null, serial: null, events: [] };
  // When bytes reached the page and when it wrote, on the page's clock, so that the benchmark can
  // tell the page's own time between a reply and the next request from the relay's; the latest only.
  const note = (what) => { standIn.events.push([performance.now(), what]); if (standIn.events.length > 512) standIn.events.shift(); };
  const domError = (name, message) => new DOMException(message, name);

  class SerialPort {
    #state = 'closed'; #connected = true; #readable = null; #writable = null; #sink = null; #pending = [];
    get connected() { return this.#connected; }
    getInfo() { return { ...usbIds }; }

    async open(options) {
      if (this.#state !== 'closed') throw domError('InvalidStateError', 'The port is already open.');
      if (!this.#connected) throw domError('NetworkError', 'Failed to open serial port.');
      this.#state = 'opening';
      if (!(await window.kd215SerialOpen(options))) {
        this.#state = 'closed';
        throw domError('NetworkError', 'Failed to open serial port.');
      }
      this.#pending = [];
      this.#state = 'opened';
    }

    // Bytes the driver pushes as they come off the pty, held until the page takes the stream.
    get readable() {
      if (this.#readable || this.#state !== 'opened' || !this.#connected) return this.#readable;
      this.#readable = new ReadableStream({
        start: (controller) => { this.#sink = controller; this.#pending.splice(0).forEach((b) => controller.enqueue(b)); },
        cancel: () => { this.#readable = this.#sink = null; },
      });
      return this.#readable;
    }
    receive(bytes) {
      if (this.#state !== 'opened') return;
      note('rx');
      if (this.#sink) this.#sink.enqueue(new Uint8Array(bytes)); else this.#pending.push(new Uint8Array(bytes));
    }

    get writable() {
      if (this.#writable || this.#state !== 'opened' || !this.#connected) return this.#writable;
      const release = () => { this.#writable = null; };
      this.#writable = new WritableStream({
        write: async (chunk, controller) => {
          if (!ArrayBuffer.isView(chunk) && !(chunk instanceof ArrayBuffer))
            throw new TypeError('Can only write an ArrayBuffer or ArrayBufferView.');
          const view = chunk instanceof ArrayBuffer ? new Uint8Array(chunk)
            : new Uint8Array(chunk.buffer, chunk.byteOffset, chunk.byteLength);
          note('tx');
          if (!(await window.kd215SerialWrite(Array.from(view)))) {
            release();
            controller.error(domError('NetworkError', 'The device has been lost.'));
          }
        },
        close: release,
        abort: release,
      }, { highWaterMark: 1 });
      return this.#writable;
    }

    async close() {
      if (this.#state !== 'opened') throw domError('InvalidStateError', 'The port is already closed.');
      if ((this.#readable && this.#readable.locked) || (this.#writable && this.#writable.locked))
        throw new TypeError('Cannot cancel a locked stream');
      this.#state = 'closing';
      if (this.#readable) await this.#readable.cancel();
      if (this.#writable) await this.#writable.abort();
      this.#readable = this.#writable = this.#sink = null;
      await window.kd215SerialClose();
      this.#state = 'closed';
    }

    // The adapter pulled out: the streams fail, the port closes, and navigator.serial hears of it
    // with the port as the event's target, as a port's event bubbles up to it.
    lose() {
      if (!this.#connected) return;
      this.#connected = false;
      if (this.#sink) this.#sink.error(domError('NetworkError', 'The device has been lost.'));
      this.#readable = this.#writable = this.#sink = null;
      this.#state = 'closed';
      window.kd215SerialClose();
      this.#announce('disconnect');
    }
    plugBack() {
      if (this.#connected) return;
      this.#connected = true;
      this.#announce('connect');
    }
    #announce(type) {
      const event = new Event(type, { bubbles: true });
      Object.defineProperty(event, 'target', { value: this });
      standIn.serial.dispatchEvent(event);
    }
  }

  // No chooser: requestPort is left out, so "Dodaj port…" finds no port to add.
  class Serial extends EventTarget {
    async getPorts() { return standIn.port.connected ? [standIn.port] : []; }
  }

  standIn.serial = new Serial();
  standIn.port = new SerialPort();
  Object.defineProperty(Navigator.prototype, 'serial', { get: () => standIn.serial, configurable: true });
  // The suite takes the file road every browser has: a file input to open, a download to save.
  for (const picker of ['showOpenFilePicker', 'showSaveFilePicker']) {
    delete window[picker];  // a global's operations live on the object itself
    delete Window.prototype[picker];
  }
  const { port } = standIn;
  window.kd215StandIn = { receive: (bytes) => port.receive(bytes), lose: () => port.lose(),
    plugBack: () => port.plugBack(), events: () => standIn.events.splice(0) };
}
