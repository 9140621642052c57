// Screenshots of the page for scripts/run-web.sh: headless Chromium driven over the DevTools
// protocol on its debugging pipe (any Node will do), once the status bar shows the firmware version.
// Usage: node web/screenshot.mjs URL OUT.png WIDTH HEIGHT [chromium flags...]
import { spawn } from 'node:child_process';
import { writeFileSync } from 'node:fs';

const [url, out, width, height, ...flags] = process.argv.slice(2);
const kReadyMs = 20000;
// The protocol's messages go out on the browser's fd 3 and come back on its fd 4, each ended by NUL.
const browser = spawn('chromium', ['--headless', '--remote-debugging-pipe', ...flags, 'about:blank'],
  { stdio: ['ignore', 'ignore', 'inherit', 'pipe', 'pipe'] });
const fail = (why) => { console.error(`screenshot: ${why}`); browser.kill(); process.exit(1); };
setTimeout(() => fail('the page did not show the firmware version in time'), kReadyMs).unref();
browser.on('error', (e) => fail(`chromium did not start: ${e.message}`));

let nextId = 0;
let pending = Buffer.alloc(0);
const waiting = new Map();
browser.stdio[4].on('data', (chunk) => {
  pending = Buffer.concat([pending, chunk]);
  for (let end = pending.indexOf(0); end >= 0; end = pending.indexOf(0)) {
    const msg = JSON.parse(pending.subarray(0, end).toString('utf8'));
    pending = pending.subarray(end + 1);
    if (msg.id && waiting.has(msg.id)) { waiting.get(msg.id)(msg); waiting.delete(msg.id); }
  }
});
const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
  const id = ++nextId;
  waiting.set(id, (msg) => (msg.error ? reject(new Error(msg.error.message)) : resolve(msg.result)));
  browser.stdio[3].write(`${JSON.stringify({ id, method, params, sessionId })}\0`);
});

const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
const page = (method, params) => send(method, params, sessionId);
await page('Emulation.setDeviceMetricsOverride', { width: Number(width), height: Number(height), deviceScaleFactor: 1, mobile: false });
await page('Page.navigate', { url });
for (;;) {
  const { result } = await page('Runtime.evaluate', { expression: "document.getElementById('status-fw')?.textContent ?? ''" });
  if (String(result.value).includes('FW : 1.05')) break;
  await new Promise((r) => setTimeout(r, 100));
}
await new Promise((r) => setTimeout(r, 300));  // the progress bar back to 0, the paint done
const { data } = await page('Page.captureScreenshot', { format: 'png' });
writeFileSync(out, Buffer.from(data, 'base64'));
// The browser is gone, its profile written, before the caller removes it.
const exited = new Promise((r) => browser.on('exit', r));
await send('Browser.close').catch(() => {});
await Promise.race([exited, new Promise((r) => setTimeout(r, 5000))]);
process.exit(0);
