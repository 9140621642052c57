// The browser suite's driver: kd215-sim on a pseudo-terminal, the pty relay behind the stand-in
// serial port, a static server on 127.0.0.1, headless Chromium, and the user's moves by ARIA role.
'use strict';
const fs = require('fs');
const path = require('path');
const http = require('http');
const tty = require('tty');
const { spawn } = require('child_process');

const SKIP = 77;  // ctest's SKIP_RETURN_CODE for the suite and the benchmark
if (!fs.existsSync(path.join(__dirname, '..', '..', 'node_modules', 'puppeteer-core'))) {
  console.log('SKIP: node_modules is missing: run tests/web/install.sh (scripts/test.sh does)');
  process.exit(SKIP);
}
const puppeteer = require('puppeteer-core');
const standInSource = fs.readFileSync(path.join(__dirname, 'serial_standin.js'), 'utf8');

// kd215-sim in a folder of its own; frames() parses its log of every frame on the line.
async function startSim(simPath, dir, { turnaroundMs = 2 } = {}) {
  fs.mkdirSync(dir, { recursive: true });
  const sim = { dir, link: path.join(dir, 'line'), memory: path.join(dir, 'memory.bin'),
    log: path.join(dir, 'frames.log'), controlPath: path.join(dir, 'control') };
  const args = ['--link', sim.link, '--memory', sim.memory, '--log', sim.log, '--control', sim.controlPath,
    '--turnaround-ms', String(turnaroundMs), '--quiet'];
  sim.process = spawn(simPath, args, { stdio: ['ignore', 'pipe', 'inherit'] });
  const ready = await new Promise((resolve) => {
    let out = '';
    sim.process.stdout.on('data', (d) => { out += d; if (out.includes('\n')) resolve(out.startsWith('kd215-sim: ready')); });
    sim.process.on('exit', () => resolve(false));
  });
  if (!ready) throw new Error(`kd215-sim did not start: ${simPath} ${args.join(' ')}`);
  sim.frames = () => fs.readFileSync(sim.log, 'utf8').split('\n').filter(Boolean).map((line) => {
    const [time, dir, ...words] = line.split(' # ')[0].split(' ');
    return { time: Number(time), dir, hex: dir === 'EV' ? '' : words.join(' ') };
  });
  // Waits for the frames that end a chain: the reply (or ACK) to the request of the last area asked for.
  sim.framesUntil = (since, test, what) =>
    waitFor(what, () => { const f = sim.frames().slice(since); return test(f) && f; }, 15000);
  sim.memoryBytes = () => fs.readFileSync(sim.memory);
  // A control command, taken before the next frame and at least every 100 ms.
  sim.control = async (command) => {
    fs.writeFileSync(`${sim.controlPath}.new`, `${command}\n`);
    fs.renameSync(`${sim.controlPath}.new`, sim.controlPath);
    for (let i = 0; i < 50 && fs.existsSync(sim.controlPath); i++) await sleep(20);
  };
  sim.stop = () => new Promise((resolve) => {
    if (sim.process.exitCode !== null) return resolve();
    sim.process.on('exit', resolve);
    sim.process.kill('SIGTERM');
  });
  return sim;
}

// The pty side of one stand-in port, raw: what comes off the line is pushed to the page at once
// (deliver, set by the tab), so a reply's last byte costs one hop of the DevTools protocol. Every
// open's options are kept, for the suite to hold against the controller's line.
function makeRelay(link) {
  const relay = { link, stream: null, unplugged: false, opens: [], deliver: () => {}, announce: () => {} };
  relay.open = (options) => {
    relay.opens.push(options);
    if (relay.unplugged) return false;
    // Still open: from a document since reloaded, whose ports the browser closed with it.
    if (relay.stream) relay.close();
    relay.fd = fs.openSync(link, fs.constants.O_RDWR | fs.constants.O_NOCTTY | fs.constants.O_NONBLOCK);
    relay.stream = new tty.ReadStream(relay.fd);
    relay.stream.setRawMode(true);  // else the line discipline turns 0x0D into 0x0A and eats 0x03
    relay.stream.on('data', (d) => relay.deliver(Array.from(d)));
    return true;
  };
  relay.write = (bytes) => {
    if (relay.unplugged || !relay.stream) return false;
    fs.writeSync(relay.fd, Buffer.from(bytes));
    return true;
  };
  relay.close = () => {
    if (relay.stream) relay.stream.destroy();
    relay.stream = null;
    // libuv reopens a tty for its stream, so the descriptor opened above is still ours to close.
    if (relay.fd !== undefined) fs.closeSync(relay.fd);
    relay.fd = undefined;
  };
  relay.unplug = () => { relay.unplugged = true; relay.close(); return relay.announce('lose'); };
  relay.plug = () => { relay.unplugged = false; return relay.announce('plugBack'); };
  return relay;
}

const mimeTypes = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.webmanifest': 'application/manifest+json', '.png': 'image/png' };

// The page served on 127.0.0.1 (a secure context for Web Serial and service workers), from a copy,
// so that the page under test is one build even while the site is being rebuilt.
function serveSite(args) {
  const dir = path.join(args.work, 'site');
  fs.cpSync(args.site, dir, { recursive: true });
  return new Promise((resolve) => {
    const server = http.createServer((req, res) => {
      const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
      let file = path.join(dir, path.normalize(name).replace(/^(\.\.[/\\])+/, ''));
      if (file.endsWith(path.sep) || name === '/') file = path.join(file, 'index.html');
      fs.readFile(file, (err, body) => {
        if (err) { res.writeHead(404); res.end(); return; }
        res.writeHead(200, { 'Content-Type': mimeTypes[path.extname(file)] || 'application/octet-stream',
          'Cache-Control': 'no-cache' });
        res.end(body);
      });
    });
    server.listen(0, '127.0.0.1', () => {
      server.origin = `http://127.0.0.1:${server.address().port}`;
      resolve(server);
    });
  });
}

// Chromium, with the requests of its service workers recorded too, so that none escapes the origin check.
async function launch(work) {
  const browser = await puppeteer.launch({
    executablePath: process.env.KD215_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(work, 'profile-')),
    defaultViewport: { width: 1280, height: 800 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--disable-quic'],
  });
  browser.workerRequests = [];
  browser.on('targetcreated', async (target) => {
    if (target.type() !== 'service_worker') return;
    try {
      const cdp = await target.createCDPSession();
      cdp.on('Network.requestWillBeSent', (e) => browser.workerRequests.push(e.request.url));
      await cdp.send('Network.enable');
    } catch (_) { /* the worker ended before it could be watched */ }
  });
  return browser;
}

// Tests for framesUntil: a frame the controller sent that starts so; a count of its ACKs.
const sent = (start) => (frames) => frames.some((f) => f.dir === 'TX' && f.hex.startsWith(start));
const acks = (n) => (frames) => frames.filter((f) => f.dir === 'TX' && f.hex === '06 03 F7').length === n;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const aria = (role, name) => `::-p-aria([name="${name}"][role="${role}"])`;

// Opens the menu path by clicks, as a user does: "Akcja", "Odczyt ze sterownika", "Wszystko".
async function menu(page, ...names) {
  for (const name of names) {
    const item = await page.waitForSelector(aria('menuitem', name), { visible: true, timeout: 5000 });
    await item.click();
  }
}

// Waits for the message box named by its caption; gives its text.
async function messageBox(page, caption, timeout = 10000) {
  const box = await page.waitForSelector(aria('alertdialog', caption), { visible: true, timeout });
  return box.evaluate((el) => (document.getElementById(el.getAttribute('aria-describedby')) || el).textContent);
}

async function pressButton(page, scope, name) {
  const root = await page.waitForSelector(scope, { visible: true, timeout: 5000 });
  const button = await root.waitForSelector(aria('button', name), { visible: true, timeout: 5000 });
  await button.click();
}

const statusText = (page, part) => page.$eval(`#status-${part}`, (el) => el.textContent.trim());

async function waitFor(what, test, timeout = 10000) {
  const end = Date.now() + timeout;
  for (;;) {
    const value = await test();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(25);
  }
}

// Waits until a download has landed whole in the folder; gives its path.
async function downloaded(dir, name, timeout = 10000) {
  const file = path.join(dir, name);
  await waitFor(`the download ${name}`, () => fs.existsSync(file) && !fs.existsSync(`${file}.crdownload`), timeout);
  return file;
}

// The page at the server's origin in a new tab, every request and download recorded, with one
// granted stand-in port on the simulator, which the page probes as it starts. Gives the tab once the
// engine runs and the status bar shows the controller's firmware.
const ftdiPortItem = 'Port 1 (USB 0403:6001)';
async function openPage(browser, server, sim, { downloads } = {}) {
  const page = await browser.newPage();
  page.requests = [];
  page.on('request', (r) => page.requests.push(r.url()));
  page.pageErrors = [];
  page.on('pageerror', (e) => { page.pageErrors.push(String(e)); if (process.env.KD215_WEB_DEBUG) console.error(`pageerror: ${e}`); });
  if (process.env.KD215_WEB_DEBUG) page.on('console', (m) => console.error(`console: ${m.text()}`));
  const relay = page.relay = makeRelay(sim.link);
  await page.exposeFunction('kd215SerialOpen', relay.open);
  await page.exposeFunction('kd215SerialWrite', relay.write);
  await page.exposeFunction('kd215SerialClose', relay.close);
  relay.deliver = (bytes) => page.evaluate((b) => window.kd215StandIn.receive(b), bytes).catch(() => {});
  relay.announce = (what) => page.evaluate((w) => window.kd215StandIn[w](), what).catch(() => {});
  await page.evaluateOnNewDocument(`(${standInSource})({ usbVendorId: 0x0403, usbProductId: 0x6001 })`);
  if (downloads) {
    fs.mkdirSync(downloads, { recursive: true });
    await page.browserContext().setDownloadBehavior({ policy: 'allow', downloadPath: downloads });
  }
  await page.goto(`${server.origin}/`, { waitUntil: 'load' });
  await page.waitForSelector('body[data-ready="true"]', { timeout: 10000 });
  if (!(await fwShown(page, 5000))) {
    throw new Error(`the status bar shows "${await statusText(page, 'fw')}", not "FW : 1.05"`);
  }
  return page;
}

const fwShown = (page, timeout) => waitFor('"FW : 1.05"', () => statusText(page, 'fw').then((t) => t === 'FW : 1.05'),
  timeout).catch(() => false);

// Area ends: the action part back on "Gotowe".
const idle = (page, timeout = 15000) => waitFor('"Gotowe"', () => statusText(page, 'action').then((t) => t === 'Gotowe'),
  timeout);

// "Odczyt ze sterownika", "Wszystko": gives the chain's frames, which end with program 2's reply.
async function readAll(page, sim) {
  const since = sim.frames().length;
  await menu(page, 'Akcja', 'Odczyt ze sterownika', 'Wszystko');
  const frames = await sim.framesUntil(since, sent('13 46 4A 01 AA'), 'program 2 read');
  await idle(page);
  return frames;
}

// Arguments from tests.cmake: --sim --ctl --site --work --shots. Exits with SKIP, saying why, when the
// page has not been built.
function parseArgs(argv) {
  const args = {};
  for (let i = 0; i < argv.length; i += 2) args[argv[i].replace(/^--/, '')] = argv[i + 1];
  for (const key of ['sim', 'ctl', 'site', 'work', 'shots']) {
    if (!args[key]) { console.error(`missing --${key}`); process.exit(2); }
    args[key] = path.resolve(args[key]);
  }
  if (!fs.existsSync(path.join(args.site, 'index.html'))) {
    console.log(`SKIP: the page is not built (${args.site}/index.html missing): scripts/test.sh builds it`);
    process.exit(SKIP);
  }
  fs.rmSync(args.work, { recursive: true, force: true });
  fs.mkdirSync(args.work, { recursive: true });
  return args;
}

module.exports = {
  parseArgs, startSim, serveSite, launch, openPage, ftdiPortItem, fwShown, idle, readAll, menu, messageBox,
  pressButton, waitFor, downloaded, sleep, aria, sent, acks,
};
