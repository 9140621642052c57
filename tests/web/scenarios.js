// The browser suite: the page in headless Chromium over the stand-in serial port and kd215-sim,
// each scenario checking what the controller holds, what the simulator logged and what the page shows.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const d = require('./driver');

const args = d.parseArgs(process.argv.slice(2));
// Every failed check is printed; the exit code says whether any failed.
const failures = [];
const check = (ok, message) => { if (!ok) { failures.push(message); console.error(`FAIL: ${message}`); } };
const areaFiles = ['ust', 'sce', 'pg1', 'pg2'];
function ctl(...words) {
  try {
    return execFileSync(args.ctl, words, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (e) {
    throw new Error(`kd215ctl ${words.join(' ')}: exit ${e.status}: ${e.stderr}${e.stdout}`);
  }
}

// The controller's memory at the start: every field of each area in the editors' ranges.
function presetMemory() {
  const memory = Buffer.alloc(512);
  const settings = 4, scenes = 80, programs = [160, 330];
  memory.set([0x81, 0x12, 10, 20], settings);
  for (let c = 0; c < 8; c++) {
    memory[settings + 4 + c] = 13 * c;                 // lower limit
    memory[settings + 12 + c] = 200 + 6 * c;           // upper limit
    // Rise, duration and fall: 100, 300 and 500 up.
    for (let t = 0; t < 3; t++) memory.writeUInt16LE(100 + 200 * t + c, settings + 20 + 16 * t + 2 * c);
  }
  for (let sc = 0; sc < 8; sc++) {
    for (let c = 0; c < 8; c++) memory[scenes + 10 * sc + c] = (31 * sc + 7 * c) % 256;
    memory.writeUInt16LE(40 * sc + 3, scenes + 10 * sc + 8);
  }
  programs.forEach((at, p) => {
    for (let k = 0; k < 14; k++) {
      for (let c = 0; c < 8; c++) memory[at + 12 * k + c] = (17 * k + 29 * c + 90 * p) % 256;
      memory.writeUInt16LE(10 * k + p, at + 12 * k + 8);
      memory.writeUInt16LE(900 - 11 * k, at + 12 * k + 10);
    }
    memory[at + 168] = 9 + p;
    memory[at + 169] = 0xff;
  });
  return memory;
}

async function reloadMemory(sim, memory) {
  fs.writeFileSync(sim.memory, memory);
  await sim.control('reload');
}

async function writeAll(page, sim) {
  const since = sim.frames().length;
  await d.menu(page, 'Akcja', 'Zapis do sterownika', 'Wszystko');
  await sim.framesUntil(since, d.acks(4), 'four ACKs');
  await d.idle(page);
}

// The port chosen in "Wybór portu": the page opens it and asks for the version.
async function choosePort(page, sim) {
  const since = sim.frames().length;
  await d.menu(page, 'Wybór portu', d.ftdiPortItem);
  await sim.framesUntil(since, d.sent('13 06 00 00 02'), 'the version again');
}

const savedFiles = (dir) => fs.readdirSync(dir).filter((n) => areaFiles.includes(n.split('.').pop()));

async function readAllAndSaveFiles(page, sim, downloads) {
  await d.readAll(page, sim);
  await d.menu(page, 'Akcja', 'Zapis do pliku', 'Wszystko');
  // One file dialog per area, each answered "Zapisz" with the name it offers.
  for (let n = 1; n <= 4; n++) {
    await d.pressButton(page, '[role="dialog"]', 'Zapisz');
    await d.waitFor(`area file ${n}`, () => savedFiles(downloads).length === n);
  }
  const saved = savedFiles(downloads);
  await d.idle(page);
  const ours = path.join(args.work, 'ctl-read');
  fs.mkdirSync(ours);
  await ctlBesideThePage(page, sim, 'read', 'all', '--port', sim.link, '-o', path.join(ours, 'hala'), '-q');
  for (const ext of areaFiles) {
    const name = saved.find((n) => n.endsWith(`.${ext}`));
    check(name && fs.readFileSync(path.join(downloads, name)).equals(fs.readFileSync(path.join(ours, `hala.${ext}`))),
      `the page's .${ext} file differs from kd215ctl read's`);
  }
}

// One field in each editor, typed as the user does and left by Tab, then the four areas written: the
// controller holds each change.
async function editorsReachTheController(page, sim, shots) {
  for (const [editor, title, label, value] of [
    ['Ustawień wspólnych', 'Kd215 : ustawianie wspólnych parametrów', 'Załączania', 42],
    ['Ustawień kanałów', 'Kd215 : ustawianie parametrów kanałów', 'Narastania', 123],
    ['Scen', 'Kd215 : Edycja scen', 'Kanał 3', 50],
    ['Programu 1', 'Kd215 : Edycja programu 1-go', 'Trwania', 777]]) {
    await d.menu(page, 'Akcja', 'Edycja', editor);
    const dialog = await page.waitForSelector(d.aria('dialog', title), { visible: true, timeout: 5000 });
    const field = await dialog.waitForSelector(d.aria('textbox', label), { visible: true, timeout: 5000 });
    await field.click({ count: 3 });
    await field.type(String(value));
    await field.press('Tab');
    await d.pressButton(page, d.aria('dialog', title), 'Zatwierdź');
    if (editor === 'Scen') await page.screenshot({ path: path.join(shots, 'edytor-scen.png') });
    await d.pressButton(page, d.aria('dialog', title), 'Koniec');
  }
  await writeAll(page, sim);
  const m = sim.memoryBytes();
  // Switch-on time, channel 1's rise time, scene 1's channel 3 (50 %) and program 1's first duration.
  const held = [m[4 + 2], m.readUInt16LE(4 + 20), m[80 + 2], m.readUInt16LE(160 + 10)].join(' ');
  check(held === '42 123 127 777', `the controller holds ${held}, not 42 123 127 777`);
}

// A reply spoiled once: the Retry box, "Ponów próbę" sends the same request and the read completes.
async function spoiledReplyRetried(page, sim, shots) {
  await sim.control('fault bad-checksum 1');
  const since = sim.frames().length;
  // By keyboard, as on the desktop: Alt to the bar, down into "Akcja", O for "Odczyt ze
  // sterownika", down from "Ustawienia" to "Sceny", Enter.
  await page.keyboard.press('Alt');
  for (const key of ['ArrowDown', 'o', 'ArrowDown', 'Enter']) await page.keyboard.press(key);
  const text = await d.messageBox(page, 'Niepowodzenie');
  check(text === 'Błąd komunikacji : suma kontrolna = 255', `spoiled reply box: ${text}`);
  await page.screenshot({ path: path.join(shots, 'ponow-probe.png') });
  const focused = await page.evaluate(() => document.activeElement.textContent);
  check(focused === 'Ponów próbę', `the Retry box has "${focused}" focused, not "Ponów próbę"`);
  await page.keyboard.press('Enter');
  const frames = await sim.framesUntil(since, (f) => f.filter((x) => x.dir === 'TX').length === 2, 'a second reply');
  await d.idle(page);
  const asked = frames.filter((f) => f.dir === 'RX').map((f) => f.hex);
  check(asked.join('|') === '12 46 50 00 50 08|12 46 50 00 50 08', `retry asked for ${asked.join(', ')}`);
}

// The adapter pulled out while a program is being read: the transfer ends with a box, the page idle;
// plugged back and chosen again, the port reaches the controller.
async function unpluggedMidRead(page, sim) {
  await sim.control('fault silent 1');
  const since = sim.frames().length;
  await d.menu(page, 'Akcja', 'Odczyt ze sterownika', 'Program 1');
  await sim.framesUntil(since, (f) => f.some((x) => x.hex.startsWith('12 46 A0')), 'program 1 asked for');
  page.relay.unplug();
  const box = await page.waitForSelector('[role="alertdialog"]', { visible: true, timeout: 5000 });
  console.log(`unplugged: "${await box.evaluate((el) => el.getAttribute('aria-label'))}": ${await box.evaluate((el) => el.innerText)}`);
  await d.pressButton(page, '[role="alertdialog"]', 'OK');
  await d.idle(page, 3000);
  await page.relay.plug();
  await choosePort(page, sim);
  check(await d.fwShown(page, 2000), 'no "FW : 1.05" after the adapter came back');
}

// A file the page asks for through its file input, given as the user picks it.
async function pickFile(page, buttonName, file) {
  const [chooser] = await Promise.all([page.waitForFileChooser({ timeout: 5000 }),
    page.locator(d.aria('button', buttonName)).click()]);
  await chooser.accept([file]);
}


// kd215ctl is refused a line another program holds open, and the page holds it while its port is
// open: "Koniec pracy" lets the port go first, and the port is chosen again afterwards.
async function ctlBesideThePage(page, sim, ...words) {
  await d.menu(page, 'Koniec pracy');
  await d.pressButton(page, d.aria('alertdialog', 'Ostrzeżenie'), 'Tak');
  await d.idle(page);
  // The relay's descriptor closes a moment after the page's port: wait until this process holds no
  // descriptor of the line, so that kd215ctl finds it free.
  const line = fs.realpathSync(sim.link);
  const holds = () => fs.readdirSync('/proc/self/fd').some((fd) => {
    try { return fs.readlinkSync(`/proc/self/fd/${fd}`) === line; } catch { return false; }
  });
  for (let i = 0; i < 100 && holds(); i++) await d.sleep(20);
  try { ctl(...words); } finally { await choosePort(page, sim); }
}
const areasOf = (memory) => Buffer.concat([memory.subarray(4, 72), memory.subarray(80, 160),
  memory.subarray(160, 329), memory.subarray(330, 499)]);

// The page's backup restored by kd215ctl; kd215ctl's backup opened in the page and written back.
async function backupsBothWays(page, sim, downloads) {
  const held = sim.memoryBytes();
  await page.locator(d.aria('button', 'Zapisz kopię zapasową…')).click();
  await d.pressButton(page, d.aria('dialog', 'Zapisz kopię zapasową'), 'Zapisz');
  const pageBackup = await d.downloaded(downloads, 'sterownik.json');
  await reloadMemory(sim, Buffer.alloc(512));
  await ctlBesideThePage(page, sim, 'restore', '--port', sim.link, pageBackup, '-q');
  check(areasOf(sim.memoryBytes()).equals(areasOf(held)), "kd215ctl restore of the page's backup left other areas in the controller");

  const ctlBackup = path.join(args.work, 'kd215ctl.json');
  await ctlBesideThePage(page, sim, 'backup', '--port', sim.link, ctlBackup, '-q');
  await reloadMemory(sim, Buffer.alloc(512));
  await pickFile(page, 'Otwórz kopię zapasową…', ctlBackup);
  await d.messageBox(page, 'Kd215 link w przeglądarce');
  await d.pressButton(page, d.aria('alertdialog', 'Kd215 link w przeglądarce'), 'OK');
  await writeAll(page, sim);
  check(areasOf(sim.memoryBytes()).equals(areasOf(held)), "kd215ctl's backup opened and written by the page differs in the controller");
  return ctlBackup;
}

// The page's report of kd215ctl's backup is kd215ctl's own report of it, but for the time it was made.
async function reportAsKd215ctls(page, backup, downloads) {
  await page.locator(d.aria('button', 'Raport…')).click();
  await pickFile(page, 'Wybierz pliki…', backup);
  await d.pressButton(page, d.aria('dialog', 'Raport konfiguracji'), 'Pokaż');
  await d.pressButton(page, d.aria('dialog', 'Raport konfiguracji'), 'Zapisz…');
  const ours = fs.readFileSync(await d.downloaded(downloads, 'raport.html'), 'utf8');
  await d.pressButton(page, d.aria('dialog', 'Raport konfiguracji'), 'Zamknij');
  const theirs = path.join(args.work, 'raport-kd215ctl.html');
  // Named as the page names it, by the file's name alone.
  execFileSync(args.ctl, ['report', path.basename(backup), '-o', theirs, '-q'], { cwd: path.dirname(backup) });
  const dateless = (html) => html.replace(/\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2}/g, 'DATE');
  check(dateless(ours) === dateless(fs.readFileSync(theirs, 'utf8')), "the page's report differs from kd215ctl report's");
}

// The window's texts the page shares with the program's shell: its title, and the warning of
// "Koniec pracy" ("Nie" leaves the port open for the scenarios after it).
async function shellTexts(page) {
  const title = await page.$eval('#title', (el) => el.textContent);
  check(title === 'Program komunikacyjny Kd215 <--> PC', `the title reads "${title}"`);
  await d.menu(page, 'Koniec pracy');
  const warning = await d.messageBox(page, 'Ostrzeżenie');
  check(warning === 'UWAGA !!!\nWszystkie zmiany nie zapisane do pliku\nlub do sterownika zostaną utracone !!!\n'
    + 'Czy na pewno chcesz zakończyć ?', `"Koniec pracy" warns: ${JSON.stringify(warning)}`);
  await d.pressButton(page, d.aria('alertdialog', 'Ostrzeżenie'), 'Nie');
}

async function screenshots(page, shots) {
  await page.screenshot({ path: path.join(shots, 'strona-1280x800.png') });
  await page.setViewport({ width: 390, height: 844 });
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth);
  check(overflow <= 390, `the page is ${overflow} px wide on a 390 px phone`);
  await page.screenshot({ path: path.join(shots, 'telefon-390x844.png') });
  await page.setViewport({ width: 1280, height: 800 });
}

// Served no more: the service worker's copy still opens, with its menu bar.
async function offlineReload(page, server) {
  await page.evaluate(() => navigator.serviceWorker.ready);
  await new Promise((resolve) => { server.close(resolve); server.closeAllConnections(); });
  await page.reload({ waitUntil: 'load' });
  const menu = await page.waitForSelector(d.aria('menuitem', 'Akcja'), { visible: true, timeout: 5000 }).catch(() => null);
  check(menu, 'the page does not open offline');
}

async function pageScenarios(browser, sim) {
  const shots = args.shots;
  fs.mkdirSync(shots, { recursive: true });
  const downloads = path.join(args.work, 'downloads');
  const server = await d.serveSite(args);
  await reloadMemory(sim, presetMemory());
  const page = await d.openPage(browser, server, sim, { downloads });
  let backup = null;
  const scenarios = [
    ['the window\'s texts', () => shellTexts(page)],
    ['read all and area files', () => readAllAndSaveFiles(page, sim, downloads)],
    ['screenshots', () => screenshots(page, shots)],
    ['an edit in each editor', () => editorsReachTheController(page, sim, shots)],
    ['spoiled reply and "Ponów próbę"', () => spoiledReplyRetried(page, sim, shots)],
    ['adapter unplugged mid-read', () => unpluggedMidRead(page, sim)],
    ['backups both ways', async () => { backup = await backupsBothWays(page, sim, downloads); }],
    ['report as kd215ctl\'s', () => reportAsKd215ctls(page, backup, downloads)],
    ['offline reload', () => offlineReload(page, server)],
  ];
  for (const [name, run] of scenarios) {
    const started = Date.now();
    try { await run(); } catch (e) {
      check(false, `${name}: ${e.message}`);
      await page.screenshot({ path: path.join(args.work, `failed-${name.replace(/\W+/g, '-')}.png`) });
      await page.keyboard.press('Escape');
    }
    console.log(`${name}: ${((Date.now() - started) / 1000).toFixed(1)} s`);
  }
  const line = '{"baudRate":38400,"dataBits":8,"stopBits":2,"parity":"none","flowControl":"none"}';
  const opens = [...new Set(page.relay.opens.map((o) => JSON.stringify(o)))];
  check(opens.join(' ') === line, `the port opened with ${opens.join(', ')}`);
  const foreign = [...page.requests, ...browser.workerRequests]
    .filter((u) => !u.startsWith(`${server.origin}/`) && !/^(data|blob):/.test(u));
  check(!foreign.length, `requests to another origin: ${foreign.join(' ')}`);
  check(!page.pageErrors.length, `errors in the page: ${page.pageErrors.join('; ')}`);
}

async function main() {
  const sim = await d.startSim(args.sim, path.join(args.work, 'sim'));
  const browser = await d.launch(args.work);
  try {
    await pageScenarios(browser, sim);
  } finally {
    await browser.close();
    await sim.stop();
  }
  if (failures.length) { console.error(`${failures.length} check(s) failed`); process.exit(1); }
  console.log('web.suite: every scenario passed');
}

main().catch((e) => { console.error(e); process.exit(1); });
