// The report page: shows the programs and records held as JSON in #tvx-data; each program's
// records' details are in #tvx-program-N, parsed the first time one of them is opened. Every text
// that comes from a program is put into the page as text (textContent, Text nodes), never as
// markup. A record's block, listing and bytes are built the first time it is opened.
'use strict';
(() => {
  const data = JSON.parse(document.getElementById('tvx-data').textContent);
  const details = [];  // per program, its records' details once parsed
  const detailsOf = (p) => details[p] ||
    (details[p] = JSON.parse(document.getElementById(`tvx-program-${p + 1}`).textContent));
  const bytesPerRow = 16;
  const shownFormats = {
    ico: 'image/x-icon', cur: 'image/x-icon', bmp: 'image/bmp', gif: 'image/gif', jpg: 'image/jpeg',
  };

  const hex2 = (n) => (n < 16 ? '0' : '') + n.toString(16).toUpperCase();
  const offsetText = (position) => '0x' + (position - 1).toString(16).toUpperCase();
  const plural = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;

  function make(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // A text of the program (one character per byte) as Text nodes; control characters, which
  // would not show, as a visible \xHH.
  function appendText(parent, text) {
    let from = 0;
    for (let i = 0; i < text.length; i++) {
      const c = text.charCodeAt(i);
      if (c >= 0x20 && c !== 0x7f && (c < 0x80 || c >= 0xa0)) continue;
      if (i > from) parent.append(text.slice(from, i));
      parent.append(make('span', 'esc', '\\x' + hex2(c)));
      from = i + 1;
    }
    if (from < text.length) parent.append(text.slice(from));
  }

  // ---- A record's view: the block, the listing and the bytes, linked through the values read.

  function placeText(record, k) {
    const [at, size] = record.values[k];
    const position = record.position + at;
    return `position ${position} (offset ${offsetText(position)}), ${plural(size, 'byte')}`;
  }

  function buildLines(view, kind, title, lines) {
    const pane = make('section', 'pane ' + kind);
    pane.append(make('h3', null, title));
    const list = make('ol', 'lines');
    list.setAttribute('role', 'listbox');
    list.setAttribute('aria-label', title);
    view.items[kind] = lines.map(([text, from, note], i) => {
      const item = make('li', from && from.length ? null : 'free');
      item.setAttribute('role', 'option');
      item.tabIndex = i === 0 ? 0 : -1;
      item.dataset.line = i;
      appendText(item, text);
      if (note) item.append(make('span', 'note', `  (${note})`));
      if (from && from.length) {
        item.title = 'from ' + from.map((k) => placeText(view.record, k)).join('; ');
      }
      for (const k of from || []) view.linesOf[k][kind].push(i);
      list.append(item);
      return item;
    });
    if (!lines.length) list.append(make('li', 'free', '(no lines)'));
    list.addEventListener('click', (event) => {
      const item = event.target.closest('li[data-line]');
      if (item) chooseLine(view, kind, +item.dataset.line);
    });
    list.addEventListener('keydown', (event) => {
      const item = event.target.closest('li[data-line]');
      if (!item) return;
      const i = +item.dataset.line;
      const last = view.items[kind].length - 1;
      const next = { ArrowDown: Math.min(i + 1, last), ArrowUp: Math.max(i - 1, 0), Home: 0,
                     End: last, Enter: i, ' ': i }[event.key];
      if (next === undefined) return;
      event.preventDefault();
      chooseLine(view, kind, next);
    });
    pane.append(list);
    return pane;
  }

  // The stream's bytes in rows of 16 at file offsets, as a hex dump shows them; the bytes of
  // each value read are one span per row (in the hex and in the characters), linked to it.
  function buildBytes(view, raw) {
    const record = view.record;
    const owner = new Int32Array(raw.length).fill(-1);
    record.values.forEach(([at, size], k) => owner.fill(k, at, Math.min(at + size, raw.length)));
    const pane = make('section', 'pane bytes');
    pane.append(make('h3', null, `Stream bytes (${plural(raw.length, 'byte')})`));
    const box = make('div', 'hex');
    box.tabIndex = 0;
    box.setAttribute('aria-label', 'Stream bytes: arrows choose a value');
    const first = record.position - 1;  // file offset of the stream's first byte
    const rows = document.createDocumentFragment();
    for (let base = first - (first % bytesPerRow); base < first + raw.length; base += bytesPerRow) {
      const row = make('div', 'row');
      row.append(make('span', 'off', base.toString(16).toUpperCase().padStart(8, '0') + '  '));
      const hex = make('span', 'bytes');
      const chars = make('span', 'chars');
      for (let offset = base; offset < base + bytesPerRow;) {
        const i = offset - first;
        if (i < 0 || i >= raw.length) {
          hex.append(offset + 1 === base + bytesPerRow ? '  ' : '   ');
          chars.append(' ');
          offset++;
          continue;
        }
        let end = i + 1;
        while (end < raw.length && end - i + offset < base + bytesPerRow && owner[end] === owner[i]) end++;
        let hexText = '';
        let charText = '';
        for (let j = i; j < end; j++) {
          const c = raw.charCodeAt(j);
          hexText += (j > i ? ' ' : '') + hex2(c);
          charText += c >= 0x20 && c < 0x7f ? raw[j] : '.';
        }
        const k = owner[i];
        const hexSpan = make('span', k >= 0 ? 'v' : null, hexText);
        const charSpan = make('span', k >= 0 ? 'v' : null, charText);
        if (k >= 0) {
          hexSpan.dataset.v = charSpan.dataset.v = k;
          hexSpan.dataset.at = record.position + i;
          view.segments[k].push(hexSpan, charSpan);
        }
        offset += end - i;
        hex.append(hexSpan, offset < base + bytesPerRow ? ' ' : '');
        chars.append(charSpan);
      }
      row.append(hex, '  ', chars);
      rows.append(row);
    }
    box.append(rows);
    box.addEventListener('click', (event) => {
      const span = event.target.closest('.v');
      if (span) chooseValue(view, +span.dataset.v);
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
    pane.append(box);
    return pane;
  }

  function clearMarks(view) {
    for (const [node, name] of view.marked) node.classList.remove(name);
    view.marked = [];
  }
  function mark(view, node, name) {
    node.classList.add(name);
    view.marked.push([node, name]);
  }
  function reveal(node) {
    if (node) node.scrollIntoView({ block: 'nearest', inline: 'nearest' });
  }
  function say(view, text) {
    view.status.textContent = '';
    appendText(view.status, text);
  }

  // A block or listing line chosen: the bytes of the values it came from light up, and the
  // lines of the other part that come from the same values.
  function chooseLine(view, kind, i) {
    clearMarks(view);
    const item = view.items[kind][i];
    for (const other of view.items[kind]) other.tabIndex = -1;
    item.tabIndex = 0;
    item.setAttribute('aria-selected', 'true');
    view.marked.push([item, 'aria-selected']);
    mark(view, item, 'mark');
    mark(view, item, 'chosen');
    if (document.activeElement !== item) item.focus({ preventScroll: true });
    reveal(item);
    const from = view.record[kind][i][1] || [];
    for (const k of from) {
      for (const segment of view.segments[k]) mark(view, segment, 'mark');
      for (const otherKind of ['block', 'listing']) {
        if (otherKind === kind) continue;
        for (const j of view.linesOf[k][otherKind]) mark(view, view.items[otherKind][j], 'linked');
      }
    }
    if (from.length) reveal(view.segments[from[0]][0]);
    const name = kind === 'block' ? 'Block' : 'Listing';
    say(view, from.length ? `${name} line ${i + 1} comes from ` +
                            from.map((k) => `${placeText(view.record, k)}: ${view.record.values[k][2]}`).join('; ')
                          : `${name} line ${i + 1} is not linked to bytes of the stream.`);
  }

  // A value's bytes chosen: they light up, and so do the block and listing lines it feeds.
  function chooseValue(view, k) {
    clearMarks(view);
    view.current = k;
    for (const segment of view.segments[k]) mark(view, segment, 'mark');
    reveal(view.segments[k][0]);
    for (const kind of ['block', 'listing']) {
      for (const j of view.linesOf[k][kind]) mark(view, view.items[kind][j], 'mark');
      reveal(view.items[kind][view.linesOf[k][kind][0]]);
    }
    const feeds = ['block', 'listing']
      .filter((kind) => view.linesOf[k][kind].length)
      .map((kind) => `${kind} line${view.linesOf[k][kind].length > 1 ? 's' : ''} ` +
                     view.linesOf[k][kind].map((j) => j + 1).join(', '));
    say(view, `${placeText(view.record, k)}: ${view.record.values[k][2]}` +
              (feeds.length ? `; feeds ${feeds.join(' and ')}` : '; feeds no line'));
  }

  // The picture's bytes lie among the stream's, from picture.at on.
  function buildPicture(record, bytes) {
    const picture = record.picture;
    const data = btoa(bytes.slice(picture.at, picture.at + picture.size));
    const figure = make('figure', 'picture');
    const name = `${record.name || 'stream'}-${record.position}.${picture.format}`;
    const type = shownFormats[picture.format];
    if (type) {
      const image = make('img');
      image.alt = `the picture (${picture.format})`;
      image.src = `data:${type};base64,${data}`;
      image.addEventListener('error', () => image.replaceWith(
        make('p', 'empty', `This ${picture.format} picture cannot be shown: the browser cannot decode it.`)));
      figure.append(image);
    } else {
      figure.append(make('p', 'empty', `A ${picture.format} picture is not shown here; save it to open it.`));
    }
    const caption = make('figcaption', null, `Picture: ${picture.format}, ${plural(picture.size, 'byte')}`);
    const link = make('a', null, 'Save as ' + name);
    link.href = 'data:application/octet-stream;base64,' + data;
    link.download = name;
    caption.append(link);
    figure.append(caption);
    return figure;
  }

  function buildRecord(record, body) {
    const view = {
      record, items: {}, marked: [], current: -1,
      segments: record.values.map(() => []),
      linesOf: record.values.map(() => ({ block: [], listing: [] })),
      status: make('p', 'status'),
    };
    view.status.setAttribute('role', 'status');
    body.append(make('p', 'stopped', `Stopped ${record.stopped}.`));
    const bytes = atob(record.bytes);
    if (record.picture) body.append(buildPicture(record, bytes));
    const panes = make('div', 'panes');
    panes.append(buildLines(view, 'block', 'Property block', record.block),
                 buildLines(view, 'listing', 'Listing', record.listing),
                 buildBytes(view, bytes));
    body.append(panes, view.status);
  }

  // ---- The programs, their records and the filter.

  const cells = (record) => [
    [record.name || '(given by position)', null], [record.class, null], [record.control, null],
    [String(record.position), 'num'], [offsetText(record.position), 'num'],
    [record.ended, record.ended === 'end_code' ? null : 'early'],
  ];

  const main = document.getElementById('programs');
  const programs = [];
  let total = 0;
  const fragment = document.createDocumentFragment();
  data.programs.forEach((program, p) => {
    const section = make('section', 'program');
    section.append(make('h2', null, program.file));
    const meta = make('p', 'meta', program.error ? `Not read: ${program.error}`
      : `${plural(program.size, 'byte')}, ${plural(program.records.length, 'record')}`);
    section.append(meta);
    const rows = [];
    if (program.records.length) {
      const head = make('div', 'cols');
      for (const title of ['Name', 'Class', 'Control', 'Position', 'Offset', 'Decode']) {
        head.append(make('span', title === 'Position' || title === 'Offset' ? 'num' : null, title));
      }
      section.append(head);
    }
    program.records.forEach((record, r) => {
      const details = make('details', 'record');
      details.id = `record-${p + 1}-${r + 1}`;
      const summary = make('summary');
      for (const [text, className] of cells(record)) summary.append(make('span', className, text));
      details.append(summary);
      details.addEventListener('toggle', () => {
        if (!details.open || details.lastChild !== summary) return;
        const body = make('div', 'body');
        details.append(body);
        buildRecord(Object.assign(record, detailsOf(p)[r]), body);
      });
      section.append(details);
      rows.push({ node: details, key: `${record.name}\n${record.class}\n${record.control}`.toLowerCase() });
    });
    const empty = make('p', 'empty', 'No record matches the filter.');
    empty.hidden = true;
    section.append(empty);
    total += rows.length;
    programs.push({ section, rows, empty });
    fragment.append(section);
  });
  main.append(fragment);
  // A link to a record (report.html#record-2-5: the fifth record of the second program) opens it.
  const target = location.hash && document.getElementById(decodeURIComponent(location.hash.slice(1)));
  if (target && target.matches('details.record')) {
    target.open = true;
    target.scrollIntoView();
  }

  const count = document.getElementById('count');
  document.getElementById('summary').textContent =
    `${plural(data.programs.length, 'program')}, ${plural(total, 'record')}; made by ${data.generator}.`;
  const filter = document.getElementById('filter');
  function applyFilter() {
    const query = filter.value.trim().toLowerCase();
    let shown = 0;
    for (const program of programs) {
      let matching = 0;
      for (const row of program.rows) {
        row.node.hidden = query !== '' && !row.key.includes(query);
        if (!row.node.hidden) matching++;
      }
      program.empty.hidden = matching > 0 || program.rows.length === 0;
      shown += matching;
    }
    count.textContent = query ? `${shown} of ${plural(total, 'record')} match.` : '';
  }
  filter.addEventListener('input', applyFilter);
  applyFilter();
  performance.mark('tvx-ready');
})();
