// The menu bar as a desktop program's: built from the program's menu tree, named by the captions
// without "&" (the letter after it underlined), driven by mouse, touch and keyboard (Alt or F10,
// Alt+letter, arrows, Enter, Escape, the underlined letters).
const kAction = 'Akcje';

function captionNodes(caption) {
  const nodes = [];
  const amp = caption.indexOf('&');
  if (amp < 0) return [document.createTextNode(caption)];
  nodes.push(document.createTextNode(caption.slice(0, amp)));
  const u = document.createElement('u');
  u.textContent = caption[amp + 1];
  nodes.push(u, document.createTextNode(caption.slice(amp + 2)));
  return nodes;
}
const mnemonic = (caption) => { const i = caption.indexOf('&'); return i < 0 ? '' : caption[i + 1].toLowerCase(); };

export class MenuBar {
  // tree: [{key, items}]; hooks: {command(id), highlight(lowWord), addPort()}
  constructor(bar, tree, hooks) {
    this.bar = bar;
    this.tree = new Map(tree.map((m) => [m.key, m.items]));
    this.hooks = hooks;
    this.portNames = [];
    this.checkedPort = -1;
    this.disabled = new Map();
    this.active = false;
    this.build();
    document.addEventListener('keydown', (e) => this.globalKey(e), true);
    document.addEventListener('keyup', (e) => this.altUp(e), true);
    document.addEventListener('pointerdown', (e) => { if (!this.bar.contains(e.target)) this.closeAll(); });
  }

  build() {
    this.bar.replaceChildren();
    for (const item of this.tree.get('Kd215<->PC')) this.bar.append(this.entry(item, null, 0));
    this.barItems().forEach((el, i) => { el.tabIndex = i === 0 ? 0 : -1; });
  }

  barItems() { return [...this.bar.querySelectorAll(':scope > .menu-entry > [role=menuitem]')]; }

  // One item, with its popup when it has one; `parentKey` is the popup it sits in.
  entry(item, parentKey, position) {
    const wrap = document.createElement('div');
    wrap.className = 'menu-entry';
    const el = document.createElement('div');
    el.setAttribute('role', 'menuitem');
    el.tabIndex = -1;
    el.dataset.mnemonic = mnemonic(item.caption);
    if (item.id >= 0) el.dataset.command = item.id;
    if (parentKey === 'Port' && item.id > 200) el.dataset.port = item.id - 201;
    const check = document.createElement('span');
    check.className = 'check';
    check.setAttribute('aria-hidden', 'true');
    if (parentKey !== null) el.append(check);
    const label = document.createElement('span');
    label.append(...captionNodes(item.caption));
    el.append(label);
    wrap.append(el);
    const disabled = this.disabled.has(item.id) ? this.disabled.get(item.id) : item.grayed;
    if (disabled) el.setAttribute('aria-disabled', 'true');
    if (item.popup) {
      el.setAttribute('aria-haspopup', 'menu');
      el.setAttribute('aria-expanded', 'false');
      if (parentKey !== null) {
        const arrow = document.createElement('span');
        arrow.className = 'arrow';
        arrow.textContent = '▸';
        arrow.setAttribute('aria-hidden', 'true');
        el.append(arrow);
      }
      const menu = this.popup(item.popup, item.caption.replace('&', ''));
      wrap.append(menu);
    }
    // WM_MENUSELECT: a popup item reports its position, a command its ID.
    const lowWord = item.popup ? position : item.id;
    el.addEventListener('focus', () => { if (parentKey === kAction) this.hooks.highlight(lowWord); });
    el.addEventListener('pointerenter', () => this.hover(el));
    el.addEventListener('click', (e) => { e.stopPropagation(); this.activate(el, item); });
    return wrap;
  }

  popup(key, name) {
    const menu = document.createElement('div');
    menu.setAttribute('role', 'menu');
    menu.setAttribute('aria-label', name);
    menu.hidden = true;
    let items = this.tree.get(key);
    if (key === 'Port') {
      items = [...items, ...this.portNames.map((n, i) => ({ caption: n, id: 201 + i, popup: '', grayed: false }))];
      items.push({ caption: null }, { caption: 'Dodaj port…', id: -2, popup: '', grayed: false, page: 'addPort' });
    }
    items.forEach((item, position) => {
      if (!item.caption) {
        const sep = document.createElement('div');
        sep.setAttribute('role', 'separator');
        menu.append(sep);
      } else {
        const wrap = this.entry(item, key, position);
        if (item.page === 'addPort') wrap.firstChild.dataset.page = 'addPort';
        menu.append(wrap);
      }
    });
    if (key === 'Port' && this.checkedPort >= 0) this.markPort(menu, this.checkedPort, true);
    return menu;
  }

  // ---- what the program changes ----------------------------------------------------------
  setEnabled(id, enabled) {
    this.disabled.set(id, !enabled);
    this.bar.querySelectorAll(`[data-command="${id}"]`).forEach((el) => {
      if (enabled) el.removeAttribute('aria-disabled'); else el.setAttribute('aria-disabled', 'true');
    });
  }
  setPorts(names) {
    this.portNames = names;
    this.checkedPort = -1;
    const portBar = this.barItems()[1];
    const wrap = portBar.parentElement;
    const open = portBar.getAttribute('aria-expanded') === 'true';
    wrap.querySelector('[role=menu]').replaceWith(this.popup('Port', portBar.textContent));
    if (open) this.openPopup(portBar);
  }
  setPortChecked(index, checked) {
    if (checked) this.checkedPort = index; else if (this.checkedPort === index) this.checkedPort = -1;
    this.markPort(this.bar, index, checked);
  }
  markPort(root, index, checked) {
    root.querySelectorAll(`[data-port="${index}"]`).forEach((el) => {
      if (checked) el.setAttribute('aria-current', 'true'); else el.removeAttribute('aria-current');
      el.querySelector('.check').textContent = checked ? '✓' : '';
    });
  }

  // ---- opening, closing, choosing ------------------------------------------------------------
  popupOf(el) { return el.parentElement.querySelector(':scope > [role=menu]'); }
  isBarItem(el) { return el.parentElement.parentElement === this.bar; }
  openPopup(el) {
    const menu = this.popupOf(el);
    if (!menu) return null;
    // Siblings' popups close first, as only one path of popups is ever open.
    const siblings = el.parentElement.parentElement.querySelectorAll(':scope > .menu-entry > [aria-expanded=true]');
    siblings.forEach((s) => { if (s !== el) this.closePopup(s); });
    menu.hidden = false;
    el.setAttribute('aria-expanded', 'true');
    this.active = true;
    return menu;
  }
  closePopup(el) {
    const menu = this.popupOf(el);
    if (!menu) return;
    menu.querySelectorAll('[aria-expanded=true]').forEach((s) => this.closePopup(s));
    menu.hidden = true;
    el.setAttribute('aria-expanded', 'false');
  }
  closeAll() {
    this.barItems().forEach((el) => this.closePopup(el));
    this.active = false;
  }
  leave() {
    this.closeAll();
    if (this.bar.contains(document.activeElement)) document.activeElement.blur();
  }
  items(menu) { return [...menu.querySelectorAll(':scope > .menu-entry > [role=menuitem]')]; }
  focusFirst(menu) { const first = this.items(menu)[0]; if (first) first.focus(); }

  hover(el) {
    if (this.isBarItem(el)) {
      if (this.barItems().some((b) => b.getAttribute('aria-expanded') === 'true') && this.popupOf(el)) {
        this.openPopup(el);
        el.focus();
      }
      return;
    }
    el.focus();
    const siblings = el.parentElement.parentElement.querySelectorAll(':scope > .menu-entry > [aria-expanded=true]');
    siblings.forEach((s) => { if (s !== el) this.closePopup(s); });
    if (this.popupOf(el)) this.openPopup(el);
  }

  activate(el, item) {
    if (this.popupOf(el)) {
      if (this.isBarItem(el) && el.getAttribute('aria-expanded') === 'true') { this.closePopup(el); return; }
      const menu = this.openPopup(el);
      el.focus();
      if (!this.isBarItem(el) || document.activeElement === el) this.focusFirst(menu);
      return;
    }
    if (el.getAttribute('aria-disabled') === 'true') return;
    this.leave();
    if (el.dataset.page === 'addPort') this.hooks.addPort();
    else this.hooks.command(item.id);
  }

  // ---- the keyboard ---------------------------------------------------------------------------
  globalKey(e) {
    if (document.getElementById('modal-layer').childElementCount) return;
    if (e.key === 'Alt' || e.key === 'F10') {
      this.altAlone = e.key === 'Alt';
      if (e.key === 'F10') { e.preventDefault(); this.toggleBar(); }
      return;
    }
    this.altAlone = false;
    if (e.altKey && !e.ctrlKey && e.key.length === 1) {
      const target = this.barItems().find((b) => b.dataset.mnemonic === e.key.toLowerCase());
      if (target) { e.preventDefault(); this.chooseBarItem(target); }
      return;
    }
    if (this.bar.contains(document.activeElement)) this.menuKey(e, document.activeElement);
  }
  altUp(e) {
    if (e.key === 'Alt' && this.altAlone) { e.preventDefault(); this.toggleBar(); }
    this.altAlone = false;
  }
  toggleBar() {
    if (this.bar.contains(document.activeElement)) { this.leave(); return; }
    this.barItems()[0].focus();
    this.active = true;
  }
  chooseBarItem(el) {
    el.focus();
    const menu = this.openPopup(el);
    if (menu) this.focusFirst(menu);
    else this.activate(el, { id: Number(el.dataset.command) });
  }
  moveBar(el, step) {
    const items = this.barItems();
    const from = items.indexOf(this.barItemOf(el));
    const to = items[(from + step + items.length) % items.length];
    const wasOpen = items.some((b) => b.getAttribute('aria-expanded') === 'true');
    this.closeAll();
    to.focus();
    if (wasOpen && this.popupOf(to)) this.focusFirst(this.openPopup(to));
  }
  barItemOf(el) {
    let entry = el.parentElement;
    while (entry.parentElement !== this.bar) entry = entry.parentElement.parentElement;
    return entry.querySelector(':scope > [role=menuitem]');
  }
  parentItemOf(el) {
    const menu = el.parentElement.parentElement;
    return menu.parentElement.querySelector(':scope > [role=menuitem]');
  }
  menuKey(e, el) {
    const onBar = this.isBarItem(el);
    const siblings = onBar ? this.barItems() : this.items(el.parentElement.parentElement);
    const item = () => ({ id: Number(el.dataset.command ?? -1) });
    const keys = {
      ArrowLeft: () => (onBar ? this.moveBar(el, -1) : this.isBarItem(this.parentItemOf(el))
        ? this.moveBar(el, -1) : (this.closePopup(this.parentItemOf(el)), this.parentItemOf(el).focus())),
      ArrowRight: () => (!onBar && this.popupOf(el) ? this.focusFirst(this.openPopup(el)) : this.moveBar(el, 1)),
      ArrowDown: () => (onBar ? this.chooseBarItem(el) : this.step(siblings, el, 1)),
      ArrowUp: () => (onBar ? this.chooseBarItem(el) : this.step(siblings, el, -1)),
      Home: () => siblings[0].focus(),
      End: () => siblings[siblings.length - 1].focus(),
      Enter: () => this.activateKey(el, item()),
      ' ': () => this.activateKey(el, item()),
      Escape: () => (onBar ? this.leave() : (this.closePopup(this.parentItemOf(el)), this.parentItemOf(el).focus())),
      Tab: () => this.leave(),
    };
    if (keys[e.key]) {
      if (e.key !== 'Tab') e.preventDefault();
      keys[e.key]();
      return;
    }
    if (e.key.length === 1 && !e.ctrlKey && !e.metaKey) {
      const matches = siblings.filter((s) => s.dataset.mnemonic === e.key.toLowerCase());
      if (!matches.length) return;
      e.preventDefault();
      // One item with the letter is chosen; several take the highlight in turn.
      if (matches.length === 1) { matches[0].focus(); this.activateKey(matches[0], { id: Number(matches[0].dataset.command ?? -1) }); }
      else matches[(matches.indexOf(el) + 1) % matches.length].focus();
    }
  }
  activateKey(el, item) {
    if (this.isBarItem(el)) { this.chooseBarItem(el); return; }
    if (this.popupOf(el)) { this.focusFirst(this.openPopup(el)); return; }
    this.activate(el, item);
  }
  step(items, el, by) { items[(items.indexOf(el) + by + items.length) % items.length].focus(); }
}
