// Kd215 link w przeglądarce: loads the engine, connects it to the page (status bar, menus, message
// boxes, file dialogs, editors) and to the line, and steps it from the event loop as the program's
// idle loop does: one step after another while a transfer runs, nothing at all while none does.
import createKd215 from './kd215.js';
import { Line, webSerial } from './line.js';
import { MenuBar } from './menus.js';
import { fileDialog, messageBox, writeBytes } from './dialogs.js';
import { openEditor } from './editors.js';
import { addRecordTools } from './records.js';

const kIdle = 0;
const kLineWaitMs = 15;  // the longest sleep between two polls of a transfer whose I/O is under way
const kStatusIds = ['status-fw', 'status-area', 'status-action'];

const loadedFiles = new Map();   // files chosen for loading, by name
const saveTargets = new Map();   // where a save goes (a picker's handle, or null for a download)
let mod = null;
let line = null;
let menus = null;

// ---- one call into the engine at a time ----------------------------------------------------
let chain = Promise.resolve();
function engine(name, ...args) {
  const run = () => mod.ccall(name, 'number', args.map(() => 'number'), args, { async: true });
  const result = chain.then(run);
  chain = result.catch(() => {});
  return result;
}

let pumping = false;
async function pump() {
  if (pumping) return;
  pumping = true;
  try {
    let state = mod._kd_state();
    while (state !== kIdle) {
      const before = state;
      state = await engine('kd_step');
      // A step that found its I/O under way waits for bytes, the write's end or its time-out.
      if (state !== kIdle && state === before) await line.wait(kLineWaitMs);
    }
  } finally {
    pumping = false;
  }
}

async function command(id) {
  await engine('kd_command', id);
  pump();
}

// ---- what the engine asks of the page --------------------------------------------------------
function statusText(part, text) {
  const el = document.getElementById(kStatusIds[part]);
  if (el) el.textContent = text.replace(/^\t/, '');
}

let repaintDue = false;
const pageHooks = {
  message: (text, caption, icon, buttons) => messageBox(text, caption, icon, buttons),
  status: statusText,
  itemEnabled: (id, enabled) => menus.setEnabled(id, enabled),
  portChecked: (index, checked) => menus.setPortChecked(index, checked),
  portItems: (names) => menus.setPorts(names),
  progress: (position) => {
    const el = document.getElementById('status-progress');
    el.setAttribute('aria-valuenow', String(position));
    el.firstElementChild.style.width = `${position}%`;
  },
  // As an invalidated client window: painted once the current work has returned to the loop.
  repaint: () => {
    if (repaintDue) return;
    repaintDue = true;
    setTimeout(() => { repaintDue = false; mod._kd_paint(); }, 0);
  },
  openAddress: (address) => window.open(address, '_blank', 'noopener'),
  edit: (kind, area) => openEditor(mod, kind, area),
  chooseFile: (save, title, extension, path) => fileDialog(save, title, extension, path, loadedFiles, saveTargets),
  fileSize: (name) => (loadedFiles.has(name) ? loadedFiles.get(name).length : -1),
  fileBytes: (name) => loadedFiles.get(name),
  saveFile: (name, bytes) => writeBytes(saveTargets.get(name) ?? null, name, bytes),
};

// ---- where Web Serial is missing -------------------------------------------------------------
function explainMissingSerial() {
  if (webSerial()) return;
  const why = window.isSecureContext
    ? 'Ta przeglądarka nie ma Web Serial, więc strona nie może otworzyć portu szeregowego.'
    : 'Strona nie jest otwarta przez HTTPS ani z localhost, więc przeglądarka nie daje jej portów szeregowych.';
  const notice = document.getElementById('notice');
  notice.textContent = `${why} Sterownik podłączysz w Chrome, Edge lub Operze na komputerze albo w Chrome na Androidzie, `
    + 'na stronie otwartej przez HTTPS lub z localhost. Sterownik pokazowy i pliki działają także tutaj.';
  notice.hidden = false;
}

async function start() {
  explainMissingSerial();
  mod = await createKd215({ kdPage: pageHooks });
  line = new Line(mod);
  mod.kdLine = line;
  const shell = JSON.parse(mod.UTF8ToString(mod._kd_shell_json()));
  document.getElementById('title').textContent = shell.title;
  menus = new MenuBar(document.getElementById('menubar'), shell.menus, {
    command,
    highlight: (lowWord) => mod._kd_highlight(lowWord),
    addPort: async () => { if (await line.requestPort()) engine('kd_ports_changed'); },
  });
  addRecordTools(mod, document.getElementById('menubar'), messageBox);
  await line.start();
  line.onChange = () => engine('kd_ports_changed').then(pump);
  const demo = new URLSearchParams(location.search).get('port') === 'demo';
  await engine('kd_start', demo ? 1 : 0);
  document.body.dataset.ready = 'true';
  pump();
}

if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
start();
