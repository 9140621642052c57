// The three editors as forms of the page. The layout and static labels are the dialog templates';
// what each control does (ranges, percent, the limit rule, "???", the checks of "Zatwierdź") is
// the editors' own C++ behind kd_editor_open and kd_editor_event.
import { callText } from './bridge.js';
import { button, messageBox, openModal } from './dialogs.js';

let nextId = 0;

function el(tag, attrs = {}, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k === 'text') e.textContent = v; else if (k === 'class') e.className = v; else e.setAttribute(k, v);
  }
  e.append(...children);
  return e;
}
const group = (legend, ...children) => el('fieldset', {}, el('legend', { text: legend }), ...children);

// One value: a scroll bar and its edit field, tied together as a dialog ties them.
function valueControl(form, j, name, max, vertical) {
  const id = `editor-field-${++nextId}`;
  const bar = el('input', { type: 'range', min: '0', max: String(max), step: '1', 'aria-label': name, tabindex: '-1' });
  const field = el('input', { type: 'text', id, inputmode: 'numeric', autocomplete: 'off', spellcheck: 'false' });
  const label = el('label', { for: id, class: 'name', text: name });
  form.fields[j] = field;
  form.bars[j] = bar;
  field.addEventListener('input', () => form.event({ type: 'typed', j, text: field.value }));
  field.addEventListener('blur', () => form.event({ type: 'left', j, text: field.value }));
  bar.addEventListener('input', () => form.event({ type: 'scroll', j, code: 5, value: Number(bar.value) }));
  return vertical ? el('div', { class: 'level' }, bar, field, label) : el('div', { class: 'row' }, label, bar, field);
}

function checkBox(caption) {
  const box = el('input', { type: 'checkbox' });
  return { box, label: el('label', {}, box, ` ${caption}`) };
}

function radioGroup(name, captions) {
  const radios = captions.map(() => el('input', { type: 'radio', name }));
  return { radios, labels: captions.map((c, i) => el('label', {}, radios[i], ` ${c}`)) };
}

// The number of a channel, scene or step, with "+", "-" and "Ładuj".
function numberControl(form, caption, loadCaption) {
  const id = `editor-number-${++nextId}`;
  const number = el('input', { type: 'text', id, inputmode: 'numeric', autocomplete: 'off' });
  form.number = number;
  const step = (next) => form.event({ type: 'step', next, number: number.value });
  const plus = button('+', () => step(true));
  const minus = button('-', () => step(false));
  plus.setAttribute('aria-label', 'Następny numer');
  minus.setAttribute('aria-label', 'Poprzedni numer');
  return el('div', { class: 'row' }, el('label', { for: id, class: 'name', text: caption }), number,
    el('span', { class: 'number-buttons' }, plus, minus), button(loadCaption, () => form.event({ type: 'load', number: number.value })));
}

class EditorForm {
  constructor(mod, kind, area) {
    Object.assign(this, { mod, kind, area, fields: [], bars: [], number: null, checks: {} });
  }
  // Shows what the C++ answered: field texts, bar positions, a refused field, a message.
  async event(e) {
    const view = JSON.parse(callText(this.mod, 'kd_editor_event', this.kind, this.area, JSON.stringify(e))) ?? {};
    if (view.field !== undefined) {
      this.fields[e.j].value = view.field;
      // A field written by its bar raises its own change, as EN_CHANGE does.
      if (e.type === 'scroll') await this.event({ type: 'typed', j: e.j, text: view.field });
    }
    if (view.bar !== undefined) this.bars[e.j].value = String(view.bar);
    this.show(view);
    if (view.number !== undefined) this.number.value = view.number;
    if (view.error) {
      await messageBox(view.error.text, view.error.caption, 1, 0);
      this.number.focus();
      this.number.select();
    }
    if (view.refused) {
      const field = this.fields[view.refused.field];
      field.focus();
      field.setSelectionRange(0, view.refused.select);
    }
  }
  show(view) {
    view.fields?.forEach((t, j) => { this.fields[j].value = t; });
    view.bars?.forEach((b, j) => { this.bars[j].value = String(b); });
    for (const [key, box] of Object.entries(this.checks)) if (view[key] !== undefined) box.checked = view[key];
  }
  texts() { return this.fields.map((f) => f.value); }
}

function commonSettings(form, view) {
  const inputs = view.inputs.map((i) => checkBox(i.caption));
  inputs.forEach((c, n) => { c.box.checked = view.inputs[n].checked; });
  const common = radioGroup(`common-${++nextId}`, view.commonInputCaptions);
  common.radios.forEach((r, k) => { r.checked = view.commonInput[k]; });
  const modes = radioGroup(`mode-${nextId}`, view.modeCaptions);
  modes.radios.forEach((r, m) => { r.checked = view.modes[m]; });
  const times = el('div', { class: 'times' }, valueControl(form, 0, 'Załączania', view.max, true),
    valueControl(form, 1, 'Wyłączania', view.max, true));
  times.querySelectorAll('.level').forEach((t) => { t.className = 'time'; });
  form.show(view);
  const commit = () => form.event({
    type: 'commit', texts: form.texts(), inputs: inputs.map((c) => c.box.checked),
    commonInput: common.radios.map((r) => r.checked), modes: modes.radios.map((r) => r.checked),
  });
  return {
    body: el('div', { class: 'columns' },
      el('div', { class: 'editor' }, group('Inwersja wejść', el('div', { class: 'check-list' }, ...inputs.map((c) => c.label))),
        group('Wejście wspólne', el('div', { class: 'check-list' }, ...common.labels))),
      group('Czasy', times),
      group('Tryb pracy', el('div', { class: 'check-list' }, ...modes.labels))),
    commit,
  };
}

function channelSettings(form, view) {
  const names = ['Narastania', 'Trwania', 'Opadania', 'Górny', 'Dolny'];
  const controls = names.map((n, j) => valueControl(form, j, n, view.max[j], false));
  const inverted = checkBox('Inwersja wejścia');
  const all = checkBox('Wszystkie kanały tak samo');
  form.checks = { inverted: inverted.box, all: all.box };
  form.show(view);
  form.number.value = view.number;
  return {
    body: el('div', { class: 'editor' }, group('Kanał', form.numberRow), group('Czasy', ...controls.slice(0, 3)),
      group('Limity', ...controls.slice(3)), el('div', { class: 'row' }, inverted.label, all.label)),
    commit: () => form.event({ type: 'commit', number: form.number.value, texts: form.texts(),
      inverted: inverted.box.checked, all: all.box.checked }),
  };
}

function sceneProgram(form, view) {
  const levels = Array.from({ length: 8 }, (_, j) => valueControl(form, j, `Kanał ${j + 1}`, view.max[j], true));
  levels.forEach((l, j) => { l.querySelector('label').textContent = String(j + 1); l.querySelector('input[type=text]').setAttribute('aria-label', `Kanał ${j + 1}`); });
  const rise = valueControl(form, 8, 'Narastania', view.max[8], false);
  const duration = valueControl(form, 9, 'Trwania', view.max[9], false);
  duration.hidden = !view.program;
  const endStep = checkBox(view.endStepCaption);
  endStep.label.hidden = !view.program;
  form.checks = { endStep: endStep.box };
  form.show(view);
  form.number.value = view.number;
  return {
    body: el('div', { class: 'editor' }, el('div', { class: 'columns' }, group('Scena', form.numberRow), group('Czasy', rise, duration)),
      group(view.levels, el('div', { class: 'levels' }, ...levels)), endStep.label),
    commit: () => form.event({ type: 'commit', number: form.number.value, texts: form.texts(), endStep: endStep.box.checked }),
  };
}

// Opens the editor of `kind` (0 common settings, 1 channels, 2 scenes and programs) and resolves
// when it closes ("Koniec" or Esc).
export function openEditor(mod, kind, area) {
  return new Promise((resolve) => {
    const view = JSON.parse(callText(mod, 'kd_editor_open', kind, area));
    if (!view) { resolve(); return; }
    const form = new EditorForm(mod, kind, area);
    const close = () => { modal.close(); resolve(); };
    const modal = openModal('dialog', view.title, close);
    if (kind === 1) form.numberRow = numberControl(form, 'Nr kanału', view.load);
    if (kind === 2) form.numberRow = numberControl(form, 'Nr sceny', view.load);
    const built = [commonSettings, channelSettings, sceneProgram][kind](form, view);
    modal.body.append(built.body, el('div', { class: 'buttons' }, button(view.commit, built.commit), button('Koniec', close)));
    const first = modal.body.querySelector('input');
    if (first) first.focus();
  });
}
