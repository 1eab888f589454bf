// The hex view of a record's stream: its bytes at their file offsets, as a hex dump shows them,
// 16 to a row (8 where the panes beside it would lose the room their lines need). Only the rows
// on screen are in the page; each value read is a run of bytes in a row, linked to it, and each
// byte tells its offset and value on hover.

const hexChars = 78;  // a row of 16 bytes, in characters: offset, bytes, their characters
const lineRoom = 44;  // the characters a block or listing pane keeps beside the bytes

class HexView {
  constructor(view, raw) {
    this.view = view;
    this.raw = raw;
    this.record = view.record;
    this.first = this.record.position - 1;  // the file offset of the stream's first byte
    const values = this.record.values;
    // The values that have bytes, in the order of their bytes: they lie one after another.
    this.order = values.map((_, k) => k).filter((k) => values[k][1] > 0)
      .sort((a, b) => values[a][0] - values[b][0]);
    this.marked = new Set();
    this.here = -1;  // the byte a link or "go to" named, underlined
    this.perRow = 16;
    this.rowCount = 0;
    this.full = 0;
    this.shown = '';
    this.width = -1;
    this.build();
  }

  // The value whose bytes hold byte i, or -1.
  owner(i) {
    const values = this.record.values;
    let low = 0;
    let high = this.order.length - 1;
    let found = -1;
    while (low <= high) {
      const middle = (low + high) >> 1;
      if (values[this.order[middle]][0] <= i) {
        found = this.order[middle];
        low = middle + 1;
      } else {
        high = middle - 1;
      }
    }
    return found >= 0 && i < values[found][0] + values[found][1] ? found : -1;
  }

  build() {
    this.pane = make('section', 'pane bytes');
    this.pane.append(make('h3', null, `Stream bytes (${plural(this.raw.length, 'byte')})`));
    this.goto = make('form', 'goto');
    const label = make('label', null, 'Go to offset ');
    this.field = make('input');
    this.field.name = 'offset';
    this.field.placeholder = offsetText(this.record.position);
    this.field.autocomplete = 'off';
    this.field.spellcheck = false;
    label.append(this.field);
    this.goto.append(label, make('button', null, 'Go'));
    this.box = make('div', 'hex');
    this.box.tabIndex = 0;
    this.box.setAttribute('role', 'group');
    this.box.setAttribute('aria-label', 'Stream bytes: arrows choose a value');
    this.ruler = make('div', 'ruler');
    this.ruler.setAttribute('aria-hidden', 'true');
    this.space = make('div', 'space');
    this.rows = make('div', 'rows');
    this.space.append(this.rows);
    this.box.append(this.ruler, this.space);
    this.hover = make('p', 'hover');
    this.pane.append(this.goto, this.box, this.hover);
    this.listen();
  }

  // 16 bytes to a row where the panes beside the bytes keep room for their lines, otherwise 8.
  layout() {
    const panes = this.view.node.querySelector('.panes');
    const width = panes.clientWidth;
    if (!width) return;  // closed: laid out when opened again
    if (!this.charWidth) {
      const probe = make('span', null, '0'.repeat(20));
      this.ruler.append(probe);
      this.charWidth = probe.getBoundingClientRect().width / 20;
      probe.remove();
    }
    const beside = +getComputedStyle(panes).getPropertyValue('--beside') || 0;
    const gap = parseFloat(getComputedStyle(panes).columnGap) || 0;
    const need = hexChars * this.charWidth + 40 + beside * (lineRoom * this.charWidth + 30 + gap);
    const perRow = width >= need ? 16 : 8;
    if (perRow !== this.perRow || !this.rowCount) {
      const keep = this.rowCount ? this.topByte() : 0;
      this.perRow = perRow;
      this.base = this.first - (this.first % perRow);
      this.rowCount = Math.ceil((this.first + this.raw.length - this.base) / perRow);
      this.full = this.rowCount * rowHeight;
      this.space.style.height = Math.min(this.full, highest) + 'px';
      const columns = [...Array(perRow).keys()].map((c) => hex2(c)).join(' ');
      this.ruler.textContent = 'offset    ' +
        (perRow === 16 ? columns.slice(0, 23) + '  ' + columns.slice(24) : columns) +
        '  ' + [...Array(perRow).keys()].map((c) => inHex(c)).join('');
      this.shown = '';
      if (keep) this.scrollToByte(keep, false);
    }
    this.render();
  }

  viewHeight() {
    return Math.max(this.box.clientHeight - this.ruler.offsetHeight, rowHeight);
  }
  // Past `highest` pixels the space stands for all rows at a scale: its top is the first row,
  // its end the last.
  scale() {
    const seen = this.viewHeight();
    return this.full > highest ? (this.full - seen) / (highest - seen) : 1;
  }
  virtualTop() {
    return Math.min(this.box.scrollTop * this.scale(), Math.max(0, this.full - this.viewHeight()));
  }
  topByte() {
    return this.base + Math.floor(this.virtualTop() / rowHeight) * this.perRow - this.first;
  }

  classOf(k) {
    return k < 0 ? '' : this.marked.has(k) ? 'v mark' : 'v';
  }

  // Row r, each byte a span that knows its index; the bytes of one value in a row are one run,
  // marked as a whole.
  buildRow(r) {
    const row = make('div', 'row');
    const start = this.base + r * this.perRow;
    row.append(make('span', 'off', inHex(start).padStart(8, '0')), '  ');
    const bytes = make('span', 'bytes');
    const chars = make('span', 'chars');
    for (let c = 0; c < this.perRow;) {
      const i = start + c - this.first;
      const gap = c === 8 && this.perRow === 16 ? '  ' : c ? ' ' : '';
      if (i < 0 || i >= this.raw.length) {
        bytes.append(gap + '  ');
        chars.append(' ');
        c++;
        continue;
      }
      const k = this.owner(i);
      let end = i + 1;
      while (end < this.raw.length && end - i + c < this.perRow && this.owner(end) === k &&
             !(this.perRow === 16 && end - i + c === 8)) end++;
      const run = make('span', this.classOf(k));
      const runChars = make('span', this.classOf(k));
      if (k >= 0) {
        run.dataset.v = runChars.dataset.v = k;
        run.dataset.at = this.record.position + i;
      }
      for (let j = i; j < end; j++) {
        const code = this.raw.code(j);
        if (j > i) run.append(' ');
        const b = make('span', j === this.here ? 'here' : null, hex2(code));
        b.dataset.i = j;
        run.append(b);
        const ch = make('span', j === this.here ? 'here' : null,
                        code >= 0x20 && code < 0x7f ? String.fromCharCode(code) : '.');
        ch.dataset.i = j;
        runChars.append(ch);
      }
      bytes.append(gap, run);
      chars.append(runChars);
      c += end - i;
    }
    row.append(bytes, '  ', chars);
    return row;
  }

  render(force) {
    if (!this.box.clientHeight) return;  // closed: drawn when opened again
    const top = this.virtualTop();
    const from = Math.max(0, Math.floor(top / rowHeight) - 6);
    const to = Math.min(this.rowCount, Math.ceil((top + this.viewHeight()) / rowHeight) + 6);
    const key = `${from}:${to}:${this.perRow}`;
    this.rows.style.transform = `translateY(${from * rowHeight - (top - this.box.scrollTop)}px)`;
    if (key === this.shown && !force) return;
    this.shown = key;
    const fragment = document.createDocumentFragment();
    for (let r = from; r < to; r++) fragment.append(this.buildRow(r));
    this.rows.replaceChildren(fragment);
  }

  // Scrolls the view (and nothing else) so that byte `i` is in sight.
  scrollToByte(i, onlyIfHidden = true) {
    const y = Math.floor((this.first + i - this.base) / this.perRow) * rowHeight;
    const top = this.virtualTop();
    if (onlyIfHidden && y >= top && y + rowHeight <= top + this.viewHeight()) return;
    this.box.scrollTop = Math.max(0, y - this.viewHeight() / 3) / this.scale();
    this.render();
  }
  mark(values, reveal) {
    this.marked = new Set(values);
    if (reveal !== undefined) this.scrollToByte(this.record.values[reveal][0]);
    this.render(true);
  }
  goTo(i) {
    this.here = i;
    this.scrollToByte(i, false);
    this.render(true);
  }
  refresh() {
    this.shown = '';
    this.layout();
  }

  // The value with bytes next to value k (step 1) or before it (-1), in the order of their bytes;
  // from nothing chosen, the first (or the last).
  step(k, step) {
    const order = this.order;
    const last = order.length - 1;
    const at = order.indexOf(k);
    if (at >= 0) return order[Math.max(0, Math.min(last, at + step))];
    if (k < 0) return order[step > 0 ? 0 : last];
    // A value without bytes: the values with bytes at or after its offset, and before it.
    const offset = this.record.values[k][0];
    const after = order.findIndex((v) => this.record.values[v][0] >= offset);
    if (step > 0) return order[after < 0 ? last : after];
    return order[after < 0 ? last : Math.max(0, after - 1)];
  }

  keyDown(event) {
    const now = this.view.current;
    const last = this.order.length - 1;
    const next = {
      ArrowRight: () => this.step(now, 1), ArrowDown: () => this.step(now, 1),
      ArrowLeft: () => this.step(now, -1), ArrowUp: () => this.step(now, -1),
      Home: () => this.order[0], End: () => this.order[last],
      Enter: () => (now >= 0 ? now : this.order[0]),
    }[event.key];
    if (!next || last < 0) return;
    event.preventDefault();
    chooseValue(this.view, next());
  }

  // "Go to offset": decimal or 0x hexadecimal, a file offset inside the stream.
  submit(event) {
    event.preventDefault();
    const text = this.field.value.trim();
    const offset = /^0x[0-9a-f]+$/i.test(text) ? parseInt(text.slice(2), 16)
      : /^[0-9]+$/.test(text) ? parseInt(text, 10) : NaN;
    const i = offset - this.first;
    if (i >= 0 && i < this.raw.length) {
      chooseByte(this.view, i);
    } else if (Number.isNaN(offset)) {
      say(this.view, `"${text}" is no offset: give it in decimal or as 0x hexadecimal.`);
    } else {
      say(this.view, `Offset ${'0x' + inHex(offset)} lies outside the stream, offsets ` +
                     `${offsetText(this.record.position)} to ${'0x' + inHex(this.first + this.raw.length - 1)}.`);
    }
  }

  showByte(node) {
    const i = +node.dataset.i;
    const code = this.raw.code(i);
    const k = this.owner(i);
    const text = `offset ${offsetText(this.record.position + i)} (position ${this.record.position + i}): ` +
      `${hex2(code)} = ${code}` + (k >= 0 ? `; in ${this.record.values[k][2]} at ${placeText(this.view, k)}` : '');
    node.title = text;
    this.hover.textContent = '';
    appendText(this.hover, text);
  }

  listen() {
    this.box.addEventListener('scroll', () => this.render());
    const panes = () => this.view.node.querySelector('.panes');
    new ResizeObserver(() => {
      if (panes().clientWidth !== this.width) {
        this.width = panes().clientWidth;
        this.layout();
      }
    }).observe(panes());
    this.box.addEventListener('click', (event) => {
      const run = event.target.closest('.v');
      const byte = event.target.closest('[data-i]');
      if (byte && run) chooseByte(this.view, +byte.dataset.i);
      else if (run) chooseValue(this.view, +run.dataset.v);
    });
    this.box.addEventListener('mouseover', (event) => {
      const byte = event.target.closest('[data-i]');
      if (byte) this.showByte(byte);
    });
    this.box.addEventListener('keydown', (event) => this.keyDown(event));
    this.goto.addEventListener('submit', (event) => this.submit(event));
  }
}
