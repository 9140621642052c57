// The browser suite: the page in headless Chromium over the stand-in serial port and kd215-sim,
// each scenario checking what the controller holds, what the simulator logged and what the page shows.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const d = require('./driver');

const args = d.parseArgs(process.argv.slice(2));
const { check, failures } = d.makeChecks();
const ftdi = { usbVendorId: 0x0403, usbProductId: 0x6001 };
const areaFiles = ['ust', 'sce', 'pg1', 'pg2'];
const hexOf = (bytes) => Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join(' ');
const rxFrames = (sim) => sim.frames().filter((f) => f.dir === 'RX').map((f) => f.hex);
const ctl = (...words) => execFileSync(args.ctl, words, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });

// The stand-in keeps Web Serial's rules, or the page could pass against a laxer port than Chromium's.
async function standInKeepsTheRules(browser, sim) {
  const server = await d.serve(__dirname);
  const relays = { a: d.makeRelay(sim.link) };
  const page = await d.openTab(browser, { offers: [{ id: 'a', ...ftdi }], relays });
  await page.goto(`${server.origin}/relay_check.html`);
  const out = await d.waitFor('the relay check', () => page.$eval('#out', (el) => el.textContent), 10000);
  check(out === ['no baudRate: TypeError', 'baudRate 0: TypeError', 'dataBits 6: TypeError',
    'stopBits 3: TypeError', 'parity mark: TypeError', 'open twice: InvalidStateError',
    'close while locked: TypeError', 'reply: 13 06 00 00 02 05 01 df', 'granted: 1'].join('\n'),
  `the stand-in's own check:\n${out}`);
  await page.close();
  server.close();
}

async function pageScenarios(browser, sim) {
}

async function main() {
  const sim = await d.startSim(args.sim, path.join(args.work, 'sim'));
  const browser = await d.launch(args.work);
  try {
    await standInKeepsTheRules(browser, sim);
    if (!failures.length && d.pageBuilt(args.site)) await pageScenarios(browser, sim);
  } finally {
    await browser.close();
    await sim.stop();
  }
  if (!failures.length) d.skipUnlessBuilt(args.site);
  if (failures.length) { console.error(`${failures.length} check(s) failed`); process.exit(1); }
  console.log('web.suite: every scenario passed');
}

main().catch((e) => { console.error(e); process.exit(1); });
