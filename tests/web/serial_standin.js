// A stand-in navigator.serial for the browser suite (never shipped): Web Serial's interfaces over
// functions the Node driver exposes, which carry the bytes to kd215-sim's pseudo-terminal.
// Injected before the page's own scripts; the driver passes the list of ports it offers.
(ports) => {
  const standIn = { ports: [], serial: null, events: [] };
  // When bytes reached the page and when it wrote, on the page's clock, so that the benchmark can
  // tell the page's own time between a reply and the next request from the relay's; the latest only.
  const note = (what) => { standIn.events.push([performance.now(), what]); if (standIn.events.length > 512) standIn.events.shift(); };
  const grantedKey = 'kd215-standin-granted';
  // Chromium keeps a grant per origin across reloads; the stand-in keeps it in the same place.
  const granted = () => JSON.parse(localStorage.getItem(grantedKey) || '[]');
  try { localStorage.length; } catch (_) { return; }  // an opaque origin (about:blank): no page
  const domError = (name, message) => new DOMException(message, name);

  // The event path of a port's event runs on to navigator.serial, with the port as its target.
  const fireBubbling = (port, type) => {
    const atPort = new Event(type, { bubbles: true });
    port.dispatchEvent(atPort);
    const atSerial = new Event(type, { bubbles: true });
    Object.defineProperty(atSerial, 'target', { value: port });
    standIn.serial.dispatchEvent(atSerial);
  };

  const checkOptions = (options) => {
    if (!options || options.baudRate === undefined) throw new TypeError("Required member is undefined: 'baudRate'");
    const baud = Number(options.baudRate);
    if (!(baud > 0)) throw new TypeError('Requested baud rate must be greater than zero.');
    if (options.dataBits !== undefined && options.dataBits !== 7 && options.dataBits !== 8)
      throw new TypeError('Requested number of data bits must be 7 or 8.');
    if (options.stopBits !== undefined && options.stopBits !== 1 && options.stopBits !== 2)
      throw new TypeError('Requested number of stop bits must be 1 or 2.');
    if (options.parity !== undefined && !['none', 'even', 'odd'].includes(options.parity))
      throw new TypeError(`The provided value '${options.parity}' is not a valid enum value of type ParityType.`);
    if (options.flowControl !== undefined && !['none', 'hardware'].includes(options.flowControl))
      throw new TypeError(`The provided value '${options.flowControl}' is not a valid enum value of type FlowControlType.`);
    if (options.bufferSize !== undefined && !(Number(options.bufferSize) > 0))
      throw new TypeError('Requested buffer size must be greater than zero.');
  };

  class SerialPort extends EventTarget {
    #id; #info; #state = 'closed'; #connected = true; #readable = null; #writable = null;
    #sink = null; #pending = []; onconnect = null; ondisconnect = null;
    constructor(offer) {
      super();
      this.#id = offer.id;
      this.#info = { usbVendorId: offer.usbVendorId, usbProductId: offer.usbProductId };
      this.addEventListener('connect', (e) => this.onconnect && this.onconnect(e));
      this.addEventListener('disconnect', (e) => this.ondisconnect && this.ondisconnect(e));
    }
    get id() { return this.#id; }
    get connected() { return this.#connected; }
    getInfo() { return { ...this.#info }; }

    async open(options) {
      checkOptions(options);
      if (this.#state !== 'closed') throw domError('InvalidStateError', 'The port is already open.');
      if (!this.#connected) throw domError('NetworkError', 'Failed to open serial port.');
      this.#state = 'opening';
      if (!(await window.kd215SerialOpen(this.#id, options))) {
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
      const id = this.#id;
      const release = () => { this.#writable = null; };
      this.#writable = new WritableStream({
        write: async (chunk, controller) => {
          if (!ArrayBuffer.isView(chunk) && !(chunk instanceof ArrayBuffer))
            throw new TypeError('Can only write an ArrayBuffer or ArrayBufferView.');
          const view = chunk instanceof ArrayBuffer ? new Uint8Array(chunk)
            : new Uint8Array(chunk.buffer, chunk.byteOffset, chunk.byteLength);
          note('tx');
          if (!(await window.kd215SerialWrite(id, Array.from(view)))) {
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
      await window.kd215SerialClose(this.#id);
      this.#state = 'closed';
    }

    // The adapter pulled out: the streams fail, the port closes, and both targets hear of it.
    lose() {
      if (!this.#connected) return;
      this.#connected = false;
      if (this.#sink) this.#sink.error(domError('NetworkError', 'The device has been lost.'));
      this.#readable = this.#writable = this.#sink = null;
      this.#state = 'closed';
      window.kd215SerialClose(this.#id);
      fireBubbling(this, 'disconnect');
    }
    plugBack() {
      if (this.#connected) return;
      this.#connected = true;
      fireBubbling(this, 'connect');
    }
  }

  class Serial extends EventTarget {
    onconnect = null; ondisconnect = null;
    constructor() {
      super();
      this.addEventListener('connect', (e) => this.onconnect && this.onconnect(e));
      this.addEventListener('disconnect', (e) => this.ondisconnect && this.ondisconnect(e));
    }
    async getPorts() {
      const ids = granted();
      return standIn.ports.filter((p) => ids.includes(p.id) && p.connected);
    }
    // The user picks the first port the filters let through that the page has not been given yet.
    async requestPort(options = {}) {
      const filters = options.filters || [];
      for (const f of filters) {
        if (f.usbVendorId === undefined && f.usbProductId !== undefined)
          throw new TypeError('A filter containing a usbProductId must also specify a usbVendorId.');
      }
      const fits = (p) => !filters.length || filters.some((f) =>
        (f.usbVendorId === undefined || f.usbVendorId === p.getInfo().usbVendorId) &&
        (f.usbProductId === undefined || f.usbProductId === p.getInfo().usbProductId));
      const ids = granted();
      const port = standIn.ports.find((p) => p.connected && fits(p) && !ids.includes(p.id));
      if (!port) throw domError('NotFoundError', 'No port selected by the user.');
      localStorage.setItem(grantedKey, JSON.stringify([...ids, port.id]));
      return port;
    }
  }

  standIn.serial = new Serial();
  standIn.ports = ports.map((offer) => new SerialPort(offer));
  for (const offer of ports) {
    if (offer.granted && !granted().includes(offer.id))
      localStorage.setItem(grantedKey, JSON.stringify([...granted(), offer.id]));
  }
  Object.defineProperty(Navigator.prototype, 'serial', { get: () => standIn.serial, configurable: true });
  // The suite takes the file road every browser has: a file input to open, a download to save.
  for (const picker of ['showOpenFilePicker', 'showSaveFilePicker']) {
    delete window[picker];  // a global's operations live on the object itself
    delete Window.prototype[picker];
  }
  const port = (id) => standIn.ports.find((p) => p.id === id);
  window.kd215StandIn = { receive: (id, bytes) => port(id).receive(bytes), lose: (id) => port(id).lose(),
    plugBack: (id) => port(id).plugBack(), events: () => standIn.events.splice(0) };
}
