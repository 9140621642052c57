// The page's own tools beside the program's menus: kd215ctl's backup opened into and saved from
// the PC copy, and its configuration report, also set against a second source, viewed and printed.
import { callExport, callText } from './bridge.js';
import { button, openModal, pickFiles, saveBytes } from './dialogs.js';

const kAreaAndBackupFiles = ['.json', '.ust', '.sce', '.pg1', '.pg2'];
const kCaption = 'Kd215 link w przeglądarce';
let nextId = 0;

function textField(caption) {
  const id = `record-field-${++nextId}`;
  const input = document.createElement('input');
  input.type = 'text';
  input.id = id;
  input.className = 'file-name';
  const label = document.createElement('label');
  label.htmlFor = id;
  label.textContent = caption;
  const row = document.createElement('div');
  row.className = 'row';
  row.append(label, input);
  return { row, input };
}

async function filesAsBytes(files) {
  return Promise.all(files.map(async (f) => ({ name: f.name, bytes: new Uint8Array(await f.arrayBuffer()) })));
}

// Where, for whom and why: kept in a backup and shown in the report's header.
function visitFields() {
  return { site: textField('Obiekt:'), customer: textField('Klient:'), note: textField('Uwagi:') };
}

async function openBackupCommand(mod, say) {
  const [file] = await pickFiles(['.json'], false);
  if (!file) return;
  const error = callText(mod, 'kd_open_backup', file.name, new Uint8Array(await file.arrayBuffer()));
  await say(error || `Kopia zapasowa ${file.name} jest teraz kopią w programie (wszystkie cztery obszary).`,
    kCaption, error ? 1 : 2, 0);
}

function saveBackupCommand(mod, say) {
  const modal = openModal('dialog', 'Zapisz kopię zapasową', () => modal.close());
  const name = textField('Nazwa pliku:');
  name.input.value = 'sterownik.json';
  const visit = visitFields();
  const save = async () => {
    const text = callText(mod, 'kd_backup_text', visit.site.input.value, visit.customer.input.value, visit.note.input.value);
    const saved = await saveBytes(name.input.value || 'sterownik.json', new TextEncoder().encode(text), 'application/json');
    if (saved === '') return;
    modal.close();
    if (saved === null) await say(`${name.input.value} :\nBłąd zapisu !`, 'Niepowodzenie', 1, 0);
  };
  const buttons = document.createElement('div');
  buttons.className = 'buttons';
  buttons.append(button('Zapisz', save), button('Anuluj', () => modal.close()));
  modal.body.append(name.row, visit.site.row, visit.customer.row, visit.note.row, buttons);
  name.input.focus();
}

function showReport(html) {
  const modal = openModal('dialog', 'Raport konfiguracji', () => modal.close());
  const frame = document.createElement('iframe');
  frame.className = 'report-frame';
  frame.title = 'Raport konfiguracji';
  frame.srcdoc = html;
  const buttons = document.createElement('div');
  buttons.className = 'buttons';
  buttons.append(button('Drukuj', () => frame.contentWindow.print()),
    button('Zapisz…', () => saveBytes('raport.html', new TextEncoder().encode(html), 'text/html')),
    button('Zamknij', () => modal.close()));
  modal.body.append(frame, buttons);
  buttons.firstChild.focus();
}

// The sources as kd215ctl report takes them: files (a backup or area files) or the PC copy,
// and with a second source the differences marked.
function reportCommand(mod, say) {
  const modal = openModal('dialog', 'Raport konfiguracji', () => modal.close());
  const sources = [[], []];
  const sourceRow = (i, caption, none) => {
    const shown = textField(caption);
    shown.input.readOnly = true;
    shown.input.value = none;
    shown.row.append(button('Wybierz pliki…', async () => {
      sources[i] = await pickFiles(kAreaAndBackupFiles, true);
      shown.input.value = sources[i].length ? sources[i].map((f) => f.name).join(', ') : none;
    }));
    return shown.row;
  };
  const visit = visitFields();
  const show = async () => {
    const sides = await Promise.all(sources.map(filesAsBytes));
    sides.forEach((files, side) => files.forEach((f) => callExport(mod, 'kd_report_file', side, f.name, f.bytes)));
    const page = JSON.parse(callText(mod, 'kd_report_page', visit.site.input.value, visit.customer.input.value, visit.note.input.value));
    if (page.error) { await say(page.error, kCaption, 1, 0); return; }
    modal.close();
    showReport(page.html);
  };
  const buttons = document.createElement('div');
  buttons.className = 'buttons';
  buttons.append(button('Pokaż', show), button('Anuluj', () => modal.close()));
  modal.body.append(sourceRow(0, 'Źródło:', 'kopia w programie'), sourceRow(1, 'Drugie źródło:', 'brak'),
    visit.site.row, visit.customer.row, visit.note.row, buttons);
  buttons.firstChild.focus();
}

// A toolbar under the menu bar, apart from the program's own menus.
export function addRecordTools(mod, menubar, say) {
  const bar = document.createElement('div');
  bar.setAttribute('role', 'toolbar');
  bar.setAttribute('aria-label', 'Kopia zapasowa i raport');
  bar.className = 'toolbar';
  bar.append(button('Otwórz kopię zapasową…', () => openBackupCommand(mod, say)),
    button('Zapisz kopię zapasową…', () => saveBackupCommand(mod, say)),
    button('Raport…', () => reportCommand(mod, say)));
  menubar.after(bar);
}
