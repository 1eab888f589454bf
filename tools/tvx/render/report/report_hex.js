// The hex view of a record's stream.

// The stream's bytes at their file offsets, as a hex dump shows them, 16 to a row (8 where the
// pane is too narrow for 16). Only the rows on screen are in the page; each value read is a run
// of bytes in a row, linked to it, and each byte tells its offset and value on hover.
function buildBytes(view, raw) {
  const record = view.record;
  const first = record.position - 1;  // the file offset of the stream's first byte
  // The value whose bytes hold byte i, or -1: values lie one after another in the stream.
  const order = record.values.map((_, k) => k).filter((k) => record.values[k][1] > 0)
    .sort((a, b) => record.values[a][0] - record.values[b][0]);
  const owner = (i) => {
    let low = 0;
    let high = order.length - 1;
    let found = -1;
    while (low <= high) {
      const middle = (low + high) >> 1;
      if (record.values[order[middle]][0] <= i) {
        found = order[middle];
        low = middle + 1;
      } else {
        high = middle - 1;
      }
    }
    return found >= 0 && i < record.values[found][0] + record.values[found][1] ? found : -1;
  };
  const pane = make('section', 'pane bytes');
  pane.append(make('h3', null, `Stream bytes (${plural(raw.length, 'byte')})`));
  const goto = make('form', 'goto');
  const label = make('label', null, 'Go to offset ');
  const field = make('input');
  field.name = 'offset';
  field.placeholder = offsetText(record.position);
  field.autocomplete = 'off';
  field.spellcheck = false;
  label.append(field);
  goto.append(label, make('button', null, 'Go'));
  const box = make('div', 'hex');
  box.tabIndex = 0;
  box.setAttribute('role', 'group');
  box.setAttribute('aria-label', 'Stream bytes: arrows choose a value');
  const ruler = make('div', 'ruler');
  ruler.setAttribute('aria-hidden', 'true');
  const space = make('div', 'space');
  const rows = make('div', 'rows');
  space.append(rows);
  box.append(ruler, space);
  const hover = make('p', 'hover');
  pane.append(goto, box, hover);

  const hex = { marked: new Set(), here: -1, perRow: 16, rowCount: 0, full: 0, shown: '', width: -1 };
  view.hex = hex;

  // 16 bytes to a row where the record's panes are wide enough for them (the hex view's
  // characters counted on its ruler), otherwise 8.
  function layout() {
    const width = view.node.querySelector('.panes').clientWidth;
    if (!width) return;  // closed: laid out when opened again
    if (!hex.charWidth) {
      const probe = make('span', null, '0'.repeat(20));
      ruler.append(probe);
      hex.charWidth = probe.getBoundingClientRect().width / 20;
      probe.remove();
    }
    const perRow = width >= 78 * hex.charWidth + 40 ? 16 : 8;
    if (perRow !== hex.perRow || !hex.rowCount) {
      const keep = hex.rowCount ? topByte() : 0;
      hex.perRow = perRow;
      hex.base = first - (first % perRow);
      hex.rowCount = Math.ceil((first + raw.length - hex.base) / perRow);
      hex.full = hex.rowCount * rowHeight;
      space.style.height = Math.min(hex.full, highest) + 'px';
      const columns = [...Array(perRow).keys()].map((c) => hex2(c)).join(' ');
      ruler.textContent = 'offset    ' + (perRow === 16 ? columns.slice(0, 23) + '  ' + columns.slice(24) : columns) +
        '  ' + [...Array(perRow).keys()].map((c) => inHex(c)).join('');
      hex.shown = '';
      if (keep) scrollToByte(keep, false);
    }
    render();
  }
  const viewHeight = () => Math.max(box.clientHeight - ruler.offsetHeight, rowHeight);
  // Past `highest` pixels the space stands for all rows at a scale: its top is the first row,
  // its end the last.
  const scale = () => {
    const seen = viewHeight();
    return hex.full > highest ? (hex.full - seen) / (highest - seen) : 1;
  };
  const virtualTop = () => Math.min(box.scrollTop * scale(), Math.max(0, hex.full - viewHeight()));
  const topByte = () => hex.base + Math.floor(virtualTop() / rowHeight) * hex.perRow - first;

  function classOf(i) {
    const k = owner(i);
    let name = k >= 0 ? 'v' : '';
    if (k >= 0 && hex.marked.has(k)) name += ' mark';
    return name;
  }

  // The rows from `from` to `to` (exclusive), each byte a span that knows its index; the bytes
  // of one value in a row are one run, marked as a whole.
  function buildRow(r) {
    const row = make('div', 'row');
    const start = hex.base + r * hex.perRow;
    row.append(make('span', 'off', (start).toString(16).toUpperCase().padStart(8, '0')), '  ');
    const bytes = make('span', 'bytes');
    const chars = make('span', 'chars');
    for (let c = 0; c < hex.perRow;) {
      const i = start + c - first;
      const gap = c === 8 && hex.perRow === 16 ? '  ' : c ? ' ' : '';
      if (i < 0 || i >= raw.length) {
        bytes.append(gap + '  ');
        chars.append(' ');
        c++;
        continue;
      }
      let end = i + 1;
      while (end < raw.length && end - i + c < hex.perRow && owner(end) === owner(i) &&
             !(hex.perRow === 16 && end - i + c === 8)) end++;
      const run = make('span', classOf(i));
      const runChars = make('span', classOf(i));
      if (owner(i) >= 0) {
        run.dataset.v = runChars.dataset.v = owner(i);
        run.dataset.at = record.position + i;
      }
      for (let j = i; j < end; j++) {
        const code = raw.code(j);
        if (j > i) run.append(' ');
        const b = make('span', j === hex.here ? 'here' : null, hex2(code));
        b.dataset.i = j;
        run.append(b);
        const ch = make('span', j === hex.here ? 'here' : null, code >= 0x20 && code < 0x7f ? String.fromCharCode(code) : '.');
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

  function render(force) {
    if (!box.clientHeight) return;  // closed: drawn when opened again
    const top = virtualTop();
    const from = Math.max(0, Math.floor(top / rowHeight) - 6);
    const to = Math.min(hex.rowCount, Math.ceil((top + viewHeight()) / rowHeight) + 6);
    const key = `${from}:${to}:${hex.perRow}`;
    rows.style.transform = `translateY(${from * rowHeight - (top - box.scrollTop)}px)`;
    if (key === hex.shown && !force) return;
    hex.shown = key;
    const fragment = document.createDocumentFragment();
    for (let r = from; r < to; r++) fragment.append(buildRow(r));
    rows.replaceChildren(fragment);
  }

  // Scrolls the view (and nothing else) so that byte `i` is in sight.
  function scrollToByte(i, onlyIfHidden = true) {
    const row = Math.floor((first + i - hex.base) / hex.perRow);
    const top = virtualTop();
    const y = row * rowHeight;
    if (onlyIfHidden && y >= top && y + rowHeight <= top + viewHeight()) return;
    box.scrollTop = Math.max(0, y - viewHeight() / 3) / scale();
    render();
  }
  hex.mark = (values, reveal) => {
    hex.marked = new Set(values);
    if (reveal !== undefined) scrollToByte(record.values[reveal][0]);
    render(true);
  };
  hex.goTo = (i) => {
    hex.here = i;
    scrollToByte(i, false);
    render(true);
  };
  hex.refresh = () => {
    hex.shown = '';
    layout();
  };

  box.addEventListener('scroll', () => render());
  new ResizeObserver(() => {
    const width = view.node.querySelector('.panes').clientWidth;
    if (width !== hex.width) {
      hex.width = width;
      layout();
    }
  }).observe(view.node.querySelector('.panes'));
  box.addEventListener('click', (event) => {
    const run = event.target.closest('.v');
    if (run) chooseValue(view, +run.dataset.v);
  });
  box.addEventListener('mouseover', (event) => {
    const byte = event.target.closest('[data-i]');
    if (!byte) return;
    const i = +byte.dataset.i;
    const code = raw.code(i);
    const k = owner(i);
    const text = `offset ${offsetText(record.position + i)} (position ${record.position + i}): ` +
      `${hex2(code)} = ${code}` + (k >= 0 ? `; in ${record.values[k][2]} at ${placeText(view, k)}` : '');
    byte.title = text;
    hover.textContent = '';
    appendText(hover, text);
  });
  box.addEventListener('keydown', (event) => {
    const count = record.values.length;
    const now = view.current;
    const next = { ArrowRight: now + 1, ArrowDown: now + 1, ArrowLeft: now - 1, ArrowUp: now - 1,
                   Home: 0, End: count - 1, Enter: Math.max(now, 0) }[event.key];
    if (next === undefined || !count) return;
    event.preventDefault();
    chooseValue(view, Math.max(0, Math.min(count - 1, next)));
  });
  goto.addEventListener('submit', (event) => {
    event.preventDefault();
    const text = field.value.trim();
    const offset = /^0x[0-9a-f]+$/i.test(text) ? parseInt(text.slice(2), 16)
      : /^[0-9]+$/.test(text) ? parseInt(text, 10) : NaN;
    const i = offset - first;
    if (!(i >= 0 && i < raw.length)) {
      say(view, Number.isNaN(offset)
        ? `"${text}" is no offset: give it in decimal or as 0x hexadecimal.`
        : `Offset ${'0x' + inHex(offset)} lies outside the stream, offsets ${offsetText(record.position)} to ${'0x' + inHex(first + raw.length - 1)}.`);
      return;
    }
    hex.goTo(i);
    if (owner(i) >= 0) chooseValue(view, owner(i), true);
    else say(view, `Offset ${'0x' + inHex(offset)}: ${hex2(raw.code(i))}, read by no value.`);
  });
  layout();
  return pane;
}
