// Modal windows of the page: the message box (the program's captions, texts and buttons), the file
// dialog of the area files, and the frame every editor and report window sits in.
const layer = () => document.getElementById('modal-layer');
let nextId = 0;

// MessageButtons and UserAnswer as the engine numbers them.
const kButtonSets = [
  [{ text: 'OK', answer: 0 }],
  [{ text: 'Ponów próbę', answer: 1 }, { text: 'Anuluj', answer: 2 }],
  [{ text: 'Tak', answer: 3 }, { text: 'Nie', answer: 4 }],
];
const kIconGlyphs = ['!', '×', 'i'];

function trapFocus(dialog, onEscape) {
  dialog.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      event.preventDefault();
      event.stopPropagation();
      onEscape?.();
      return;
    }
    if (event.key !== 'Tab') return;
    const focusable = [...dialog.querySelectorAll('button, input, select, textarea, iframe, [tabindex="0"]')]
      .filter((e) => !e.disabled && e.offsetParent !== null);
    if (!focusable.length) return;
    const first = focusable[0], last = focusable[focusable.length - 1];
    if (event.shiftKey && document.activeElement === first) { last.focus(); event.preventDefault(); }
    else if (!event.shiftKey && document.activeElement === last) { first.focus(); event.preventDefault(); }
  });
}

// A modal window: the backdrop, the frame with its caption, and the body the caller fills.
// Returns {dialog, body, close}; close() removes it and gives the focus back.
export function openModal(role, caption, onEscape) {
  const backdrop = document.createElement('div');
  backdrop.className = 'modal-backdrop';
  const dialog = document.createElement('div');
  dialog.className = 'dialog';
  dialog.setAttribute('role', role);
  dialog.setAttribute('aria-modal', 'true');
  dialog.setAttribute('aria-label', caption);
  const title = document.createElement('div');
  title.className = 'dialog-title';
  title.textContent = caption;
  title.setAttribute('aria-hidden', 'true');
  const body = document.createElement('div');
  body.className = 'dialog-body';
  dialog.append(title, body);
  backdrop.append(dialog);
  const returnFocus = document.activeElement;
  layer().append(backdrop);
  trapFocus(dialog, onEscape);
  const close = () => {
    backdrop.remove();
    if (returnFocus && document.contains(returnFocus)) returnFocus.focus();
  };
  return { dialog, body, close };
}

export function button(text, onClick) {
  const b = document.createElement('button');
  b.type = 'button';
  b.textContent = text;
  b.addEventListener('click', onClick);
  return b;
}

// The program's message box; resolves to the answer's number (0 OK, 1 Retry, 2 Cancel, 3 Yes, 4 No).
export function messageBox(text, caption, icon, buttons) {
  return new Promise((resolve) => {
    const set = kButtonSets[buttons] ?? kButtonSets[0];
    // Esc answers Cancel where there is one, OK on a box with OK alone; Yes/No boxes ignore it.
    const escape = buttons === 1 ? 2 : buttons === 0 ? 0 : null;
    const finish = (answer) => { modal.close(); resolve(answer); };
    const modal = openModal('alertdialog', caption, () => { if (escape !== null) finish(escape); });
    const textId = `message-text-${++nextId}`;
    modal.dialog.setAttribute('aria-describedby', textId);
    const row = document.createElement('div');
    row.className = 'message';
    const glyph = document.createElement('div');
    glyph.className = `icon icon-${icon}`;
    glyph.textContent = kIconGlyphs[icon] ?? '';
    glyph.setAttribute('aria-hidden', 'true');
    const message = document.createElement('div');
    message.className = 'message-text';
    message.id = textId;
    message.textContent = text;
    row.append(glyph, message);
    const row2 = document.createElement('div');
    row2.className = 'buttons';
    for (const b of set) row2.append(button(b.text, () => finish(b.answer)));
    modal.body.append(row, row2);
    row2.firstChild.focus();
  });
}

// Pickers of the File System Access API where the browser has them, else an input and a download.
const hasOpenPicker = () => typeof window.showOpenFilePicker === 'function';
const hasSavePicker = () => typeof window.showSaveFilePicker === 'function';

// Picks files to read: resolves to [File] (empty when the user gave up).
export async function pickFiles(accept, multiple) {
  if (hasOpenPicker()) {
    try {
      const handles = await window.showOpenFilePicker({
        multiple, types: [{ description: accept.join(' '), accept: { 'application/octet-stream': accept } }],
      });
      return Promise.all(handles.map((h) => h.getFile()));
    } catch {
      return [];
    }
  }
  return new Promise((resolve) => {
    const input = document.createElement('input');
    input.type = 'file';
    input.accept = accept.join(',');
    input.multiple = multiple;
    input.className = 'sr-only';
    input.addEventListener('change', () => { resolve([...input.files]); input.remove(); });
    input.addEventListener('cancel', () => { resolve([]); input.remove(); });
    document.body.append(input);
    input.click();
  });
}

// Where a save goes: the save picker's file (its handle), or null for a download. Resolves to
// undefined when the user closed the picker.
export async function saveTarget(name, type = 'application/octet-stream') {
  if (!hasSavePicker()) return null;
  const ext = name.includes('.') ? name.slice(name.lastIndexOf('.')) : '';
  try {
    return await window.showSaveFilePicker({
      suggestedName: name, types: ext ? [{ description: ext, accept: { [type]: [ext] } }] : undefined,
    });
  } catch {
    return undefined;
  }
}

// Writes bytes to a picked file, or downloads them under `name`; false when the write failed.
export async function writeBytes(handle, name, bytes, type = 'application/octet-stream') {
  if (handle) {
    try {
      const writable = await handle.createWritable();
      await writable.write(bytes);
      await writable.close();
      return true;
    } catch {
      return false;
    }
  }
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
  return true;
}

// Asks where to save and saves: '' when the user gave up, null when the write failed.
export async function saveBytes(name, bytes, type) {
  const handle = await saveTarget(name, type);
  if (handle === undefined) return '';
  return (await writeBytes(handle, name, bytes, type)) ? (handle ? handle.name : name) : null;
}

// The common dialog of the file step, as a window of the page: the title the program gives,
// the name and "Otwórz"/"Zapisz" or "Anuluj". A file chosen for loading is kept by its name in
// `loaded`, where a save goes by its name in `targets`.
export function fileDialog(save, title, extension, lastPath, loaded, targets) {
  return new Promise((resolve) => {
    const finish = (name) => { modal.close(); resolve(name); };
    const modal = openModal('dialog', title, () => finish(''));
    const row = document.createElement('div');
    row.className = 'row';
    const label = document.createElement('label');
    label.textContent = 'Nazwa pliku:';
    const field = document.createElement('input');
    field.type = 'text';
    field.className = 'file-name';
    const suggested = lastPath || `kd215.${extension}`;
    const withExtension = (n) => (n.includes('.') ? n : `${n}.${extension}`);
    field.id = `file-name-${++nextId}`;
    label.htmlFor = field.id;
    row.append(label, field);
    const buttons = document.createElement('div');
    buttons.className = 'buttons';
    if (save) {
      field.value = suggested.replace(/\.[^.]*$/, `.${extension}`);
      buttons.append(button('Zapisz', async () => {
        const name = withExtension(field.value.trim());
        if (!field.value.trim()) return;
        const handle = await saveTarget(name);
        if (handle === undefined) return;  // the browser's dialog closed: this one stays
        targets.set(handle ? handle.name : name, handle);
        finish(handle ? handle.name : name);
      }));
    } else {
      field.readOnly = true;
      field.placeholder = `*.${extension}`;
      let chosen = null;
      const open = button('Otwórz', () => { if (chosen) finish(chosen); });
      open.disabled = true;
      buttons.append(button('Przeglądaj…', async () => {
        const [file] = await pickFiles([`.${extension}`], false);
        if (!file) return;
        loaded.set(file.name, new Uint8Array(await file.arrayBuffer()));
        chosen = file.name;
        field.value = file.name;
        open.disabled = false;
        open.focus();
      }), open);
    }
    buttons.append(button('Anuluj', () => finish('')));
    modal.body.append(row, buttons);
    (save ? field : buttons.firstChild).focus();
  });
}
