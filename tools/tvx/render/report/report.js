// The report page's script. The page is whole without it: every program, record, block and
// listing is in the markup. The script adds, to a record when it is opened, the stream's bytes
// as a hex view that holds only the rows on screen, the links between the bytes and the lines
// (from #tvx-program-N, parsed the first time one of its program's records is opened), copy and
// save; and to the page the filter, "open all", and links that follow the record opened.
// Every text that comes from a program is put into the page as text (textContent, Text nodes),
// never as markup.
'use strict';
(() => {
  const details = [];  // per program, its records' details once parsed
  const detailsOf = (p) => details[p] ||
    (details[p] = JSON.parse(document.getElementById(`tvx-program-${p + 1}`).textContent));
  const rowHeight = 18;  // px: a row of the hex view, as the page's style makes it (--row)
  const highest = 8e6;  // the most pixels the hex view's space is made high; more rows are scaled
  const shownFormats = {
    ico: 'image/x-icon', cur: 'image/x-icon', bmp: 'image/bmp', gif: 'image/gif', jpg: 'image/jpeg',
  };

  const hex2 = (n) => (n < 16 ? '0' : '') + n.toString(16).toUpperCase();
  const inHex = (n) => n.toString(16).toUpperCase();
  const offsetText = (position) => '0x' + inHex(position - 1);
  const plural = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;

  function make(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // A text of the program (one character per byte) as Text nodes; control characters, which
  // would not show, as a visible \xHH, as the page's markup shows them.
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

  // A record's body, kept as markup text in its <noscript> while the script runs (the page's own
  // markup, every text of the program escaped in it), made into nodes: only the elements and
  // attributes the page writes there, each text a Text node.
  const bodyElements = new Set(['p', 'div', 'section', 'h3', 'span', 'a']);
  const entities = { amp: '&', lt: '<', gt: '>', quot: '"' };
  const unescape = (text) => text.replace(/&(#x[0-9a-f]+|#[0-9]+|amp|lt|gt|quot);/gi, (_, name) =>
    (name[0] !== '#' ? entities[name.toLowerCase()]
      : String.fromCodePoint(/x/i.test(name[1]) ? parseInt(name.slice(2), 16) : parseInt(name.slice(1), 10))));
  function bodyNodes(markup) {
    const root = document.createDocumentFragment();
    const open = [root];
    const tag = /<(\/?)([a-z0-9]+)((?:\s+[a-z-]+="[^"]*")*)\s*>/gi;
    let at = 0;
    for (let found; (found = tag.exec(markup));) {
      if (found.index > at) open[open.length - 1].append(unescape(markup.slice(at, found.index)));
      at = tag.lastIndex;
      const name = found[2].toLowerCase();
      if (!bodyElements.has(name)) continue;
      if (found[1]) {
        if (open.length > 1) open.pop();
        continue;
      }
      const node = document.createElement(name);
      for (const [, key, value] of found[3].matchAll(/([a-z-]+)="([^"]*)"/gi)) {
        const text = unescape(value);
        if (key === 'class' || key.startsWith('data-') || (key === 'href' && text.startsWith('#'))) {
          node.setAttribute(key, text);
        }
      }
      open[open.length - 1].append(node);
      open.push(node);
    }
    if (at < markup.length) open[open.length - 1].append(unescape(markup.slice(at)));
    return root;
  }
  function ensureBody(node) {
    const kept = node.querySelector(':scope > noscript');
    if (kept) kept.replaceWith(bodyNodes(kept.textContent));
    return node.querySelector(':scope > .body');
  }

  // A line's bytes as the plug-in wrote them, from the line in the page (a \xHH shown for a
  // control character is that byte; the page's note, which its style shows, is not in its text).
  function lineBytes(item) {
    let text = '';
    for (const node of item.childNodes) {
      if (node.nodeType === Node.TEXT_NODE) text += node.data;
      else if (node.classList.contains('esc')) text += String.fromCharCode(parseInt(node.textContent.slice(2), 16));
    }
    return text;
  }

  // The lines of a block or listing as the markup holds them (text, one a line; a line not linked
  // to bytes in a span of its own), each as the nodes it is made of.
  function splitLines(box) {
    const lines = [];
    let line = { nodes: [], span: null };
    for (const node of [...box.childNodes]) {
      if (node.nodeType !== Node.TEXT_NODE) {
        if (node.classList.contains('none')) return [];
        if (node.classList.contains('free')) line.span = node;
        else line.nodes.push(node);
        continue;
      }
      const parts = node.data.split('\n');
      parts.forEach((part, i) => {
        if (i > 0) {
          lines.push(line);
          line = { nodes: [], span: null };
        }
        if (part) line.nodes.push(document.createTextNode(part));
      });
    }
    if (line.nodes.length || line.span) lines.push(line);
    return lines;
  }

  // The bytes of a stream from its base64, decoded a piece at a time as the rows on screen ask
  // for them: a stream of megabytes opens at the cost of its rows.
  function streamBytes(b64) {
    const piece = 3072;  // bytes: 4096 characters of base64
    const padding = b64.endsWith('==') ? 2 : b64.endsWith('=') ? 1 : 0;
    let pieces = new Map();
    let whole = null;
    const pieceOf = (n) => {
      let text = pieces.get(n);
      if (text === undefined) {
        if (pieces.size >= 64) pieces = new Map();
        text = atob(b64.slice(n * 4096, (n + 1) * 4096));
        pieces.set(n, text);
      }
      return text;
    };
    return {
      base64: b64,
      length: b64.length / 4 * 3 - padding,
      code: (i) => (whole ? whole.charCodeAt(i) : pieceOf(Math.floor(i / piece)).charCodeAt(i % piece)),
      // Bytes from..to as an array, decoded from the base64 that holds them.
      array: (from, to) => {
        const text = b64.slice(Math.floor(from / 3) * 4, Math.ceil(to / 3) * 4);
        const array = Uint8Array.fromBase64 ? Uint8Array.fromBase64(text)
          : Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
        return array.subarray(from % 3, from % 3 + to - from);
      },
      all: () => whole || (whole = atob(b64)),
    };
  }

  const base64 = (bytes) => btoa(bytes);
  const dataUrl = (bytes) => 'data:application/octet-stream;base64,' + base64(bytes);

  async function copyText(text) {
    try {
      await navigator.clipboard.writeText(text);
      return true;
    } catch {
      const area = make('textarea');
      area.value = text;
      area.setAttribute('readonly', '');
      area.style.position = 'fixed';
      area.style.opacity = '0';
      document.body.append(area);
      area.select();
      const done = document.execCommand('copy');
      area.remove();
      return done;
    }
  }

  // ---- A record's view: the block, the listing and the bytes, linked through the values read.

  function placeText(view, k) {
    const [at, size] = view.record.values[k];
    const position = view.record.position + at;
    return `position ${position} (offset ${offsetText(position)}), ${plural(size, 'byte')}`;
  }

  // Scrolls `container` (and nothing else) so that `node` is in sight.
  function revealIn(container, node) {
    if (!node) return;
    const box = container.getBoundingClientRect();
    const at = node.getBoundingClientRect();
    if (at.top < box.top) container.scrollTop -= box.top - at.top + 4;
    else if (at.bottom > box.bottom) container.scrollTop += Math.min(at.bottom - box.bottom + 4, at.top - box.top - 4);
  }

  function say(view, text) {
    view.status.textContent = '';
    appendText(view.status, text);
  }

  // The block and listing in the page become lists of options linked to the values they came
  // from.
  function linkLines(view, kind) {
    const pane = view.node.querySelector(`.pane.${kind}`);
    const box = pane.querySelector('.lines');
    const title = pane.querySelector('h3').textContent;
    const list = make('ol', 'lines');
    list.setAttribute('role', 'listbox');
    list.setAttribute('aria-label', title);
    const links = view.record[kind];
    view.lists[kind] = list;
    view.items[kind] = splitLines(box).map(({ nodes, span }, i) => {
      const from = links[i] || [];
      const item = make('li', span ? 'free' : null);
      if (span) {
        item.append(...span.childNodes);
        if (span.dataset.note) item.dataset.note = span.dataset.note;
      } else {
        item.append(...nodes);
      }
      list.append(item);
      item.setAttribute('role', 'option');
      item.setAttribute('aria-selected', 'false');
      item.tabIndex = i === 0 ? 0 : -1;
      item.dataset.line = i;
      if (from.length) item.title = 'from ' + from.map((k) => placeText(view, k)).join('; ');
      for (const k of from) view.linesOf[k][kind].push(i);
      return item;
    });
    if (!view.items[kind].length) list.append(make('li', 'none', '(no lines)'));
    box.replaceWith(list);
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
  }

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

  function clearMarks(view) {
    for (const [node, name] of view.marked) {
      if (name === 'aria-selected') node.setAttribute(name, 'false');
      else node.classList.remove(name);
    }
    view.marked = [];
  }
  function mark(view, node, name) {
    node.classList.add(name);
    view.marked.push([node, name]);
  }

  // A block or listing line chosen: the bytes of the values it came from light up, and the
  // lines of the other part that come from the same values; each pane shows its first mark.
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
    revealIn(view.lists[kind], item);
    const from = view.record[kind][i] || [];
    const otherKind = kind === 'block' ? 'listing' : 'block';
    let firstLinked = Infinity;
    for (const k of from) {
      for (const j of view.linesOf[k][otherKind]) {
        mark(view, view.items[otherKind][j], 'linked');
        firstLinked = Math.min(firstLinked, j);
      }
    }
    revealIn(view.lists[otherKind], view.items[otherKind][firstLinked]);
    view.hex.mark(from, from.length ? from[0] : undefined);
    const name = kind === 'block' ? 'Block' : 'Listing';
    say(view, from.length ? `${name} line ${i + 1} comes from ` +
                            from.map((k) => `${placeText(view, k)}: ${view.record.values[k][2]}`).join('; ')
                          : `${name} line ${i + 1} is not linked to bytes of the stream.`);
  }

  // A value's bytes chosen: they light up, and so do the block and listing lines it feeds.
  function chooseValue(view, k, keepPlace) {
    clearMarks(view);
    view.current = k;
    view.hex.mark([k], keepPlace ? undefined : k);
    for (const kind of ['block', 'listing']) {
      for (const j of view.linesOf[k][kind]) mark(view, view.items[kind][j], 'mark');
      revealIn(view.lists[kind], view.items[kind][view.linesOf[k][kind][0]]);
    }
    const feeds = ['block', 'listing']
      .filter((kind) => view.linesOf[k][kind].length)
      .map((kind) => `${kind} line${view.linesOf[k][kind].length > 1 ? 's' : ''} ` +
                     view.linesOf[k][kind].map((j) => j + 1).join(', '));
    say(view, `${placeText(view, k)}: ${view.record.values[k][2]}` +
              (feeds.length ? `; feeds ${feeds.join(' and ')}` : '; feeds no line'));
  }

  // The picture's bytes lie among the stream's, from picture.at on: shown and saved from a blob
  // of them.
  function buildPicture(record, bytes) {
    const picture = record.picture;
    const type = shownFormats[picture.format];
    const url = URL.createObjectURL(new Blob([bytes.array(picture.at, picture.at + picture.size)],
                                             { type: type || 'application/octet-stream' }));
    const figure = make('figure', 'picture');
    const name = `${record.name || 'stream'}-${record.position}.${picture.format}`;
    if (type) {
      const image = make('img');
      image.alt = `the picture (${picture.format})`;
      image.src = url;
      image.addEventListener('error', () => image.replaceWith(
        make('p', 'meta', `This ${picture.format} picture cannot be shown: the browser cannot decode it.`)));
      figure.append(image);
    } else {
      figure.append(make('p', 'meta', `A ${picture.format} picture is not shown here; save it to open it.`));
    }
    const caption = make('figcaption', null, `Picture: ${picture.format}, ${plural(picture.size, 'byte')}`);
    const link = make('a', null, 'Save as ' + name);
    link.href = url;
    link.download = name;
    caption.append(link);
    figure.append(caption);
    return figure;
  }

  // Copy and save: the block and the listing as the plug-in writes them (CR LF lines, the
  // stream's bytes as they are, no note of the page's), the stream's bytes, and a link.
  function buildTools(view, raw) {
    const record = view.record;
    const stem = `${record.name || 'stream'}-${record.position}`;
    const text = (kind) => view.items[kind].map((item) => lineBytes(item) + '\r\n').join('');
    const hexText = () => {
      const all = raw.all();
      const lines = [];
      for (let i = 0; i < all.length; i += 16) {
        lines.push([...all.slice(i, i + 16)].map((c) => hex2(c.charCodeAt(0))).join(' '));
      }
      return lines.join('\n') + '\n';
    };
    const parts = {
      block: ['block', () => text('block'), `${stem}.block.txt`],
      listing: ['listing', () => text('listing'), `${stem}.listing.txt`],
      bytes: ['bytes', null, `${stem}.stream.bin`],
    };
    const tools = make('div', 'tools');
    tools.setAttribute('role', 'toolbar');
    tools.setAttribute('aria-label', 'Copy and save');
    const add = (node) => { tools.append(node); return node; };
    for (const [key, [word, make_, file]] of Object.entries(parts)) {
      const copy = add(make('button', null, `Copy ${word}`));
      copy.type = 'button';
      copy.dataset.copy = key;
      copy.addEventListener('click', async () => {
        const done = await copyText(key === 'bytes' ? hexText() : make_());
        say(view, done ? (key === 'bytes' ? `The stream's ${plural(raw.length, 'byte')} are copied, in hexadecimal.`
                                          : `The ${word} is copied, as the plug-in writes it.`)
                       : `The ${word} could not be copied: the browser refused.`);
      });
      const save = add(make('a', null, `Save ${word}`));
      save.download = file;
      save.href = '#';
      save.dataset.save = key;
      const fill = () => {
        save.href = key === 'bytes' ? 'data:application/octet-stream;base64,' + raw.base64 : dataUrl(make_());
      };
      save.addEventListener('click', fill);
      save.addEventListener('focus', fill);
      save.addEventListener('pointerenter', fill);
    }
    const link = add(make('button', null, 'Copy link'));
    link.type = 'button';
    link.dataset.copy = 'link';
    link.addEventListener('click', async () => {
      const url = location.href.split('#')[0] + '#' + view.node.id;
      say(view, await copyText(url) ? `The link to this record is copied: ${url}` : `The link: ${url}`);
    });
    return tools;
  }

  function enhance(node) {
    if (node.dataset.built) return;
    node.dataset.built = '1';
    const record = detailsOf(+node.dataset.p)[+node.dataset.r];
    const body = ensureBody(node);
    const view = {
      node, record, items: {}, lists: {}, marked: [], current: -1,
      linesOf: record.values.map(() => ({ block: [], listing: [] })),
      status: make('p', 'status'),
    };
    node.view = view;
    view.status.setAttribute('role', 'status');
    const panes = body.querySelector('.panes');
    if (!panes) return;  // not decoded
    const raw = streamBytes(document.getElementById(`tvx-bytes-${+node.dataset.p + 1}-${+node.dataset.r + 1}`).textContent);
    linkLines(view, 'block');
    linkLines(view, 'listing');
    panes.append(buildBytes(view, raw));
    panes.before(buildTools(view, raw));
    panes.after(view.status);
    view.hex.refresh();
    // The picture once the record is on screen.
    if (record.picture) {
      requestAnimationFrame(() => setTimeout(() => {
        const note = body.querySelector('.stopped + .meta');
        (note || panes).before(buildPicture(record, raw));
        if (note) note.remove();
      }, 0));
    }
  }

  // ---- The records opened, the address that follows them, the filter.

  const main = document.getElementById('programs');
  const records = () => main.querySelectorAll('details.record');
  const bulk = new WeakSet();  // records opened by "open all": built when they come into sight
  const sight = new IntersectionObserver((entries) => {
    for (const entry of entries) {
      if (!entry.isIntersecting) continue;
      sight.unobserve(entry.target);
      if (entry.target.open) enhance(entry.target);
    }
  }, { rootMargin: '400px' });

  const pageUrl = () => location.href.split('#')[0];
  function follow(id) {
    const url = id ? `${pageUrl()}#${id}` : pageUrl();
    if (url === location.href) return;
    try {
      history.replaceState(history.state, '', url);
    } catch {
      // an address that cannot be changed (some browsers, for files): it stays as it was
    }
  }
  main.addEventListener('toggle', (event) => {
    const node = event.target;
    if (!(node instanceof HTMLDetailsElement) || !node.matches('details.record')) return;
    const many = bulk.has(node);
    bulk.delete(node);
    if (!node.open) {
      if (!many && location.hash === '#' + node.id) follow('');
      return;
    }
    if (many) {
      sight.observe(node);
      return;
    }
    if (node.dataset.built && node.view.hex) node.view.hex.refresh();  // drawn anew once shown
    enhance(node);
    follow(node.id);
  }, true);

  // The record a fragment names (#r-1a2b3c4d-3036) opens and comes into sight; any other
  // fragment, malformed ones included, is left to the browser.
  function openFromFragment() {
    let id = '';
    try {
      id = decodeURIComponent(location.hash.slice(1));
    } catch {
      return;
    }
    const target = id && document.getElementById(id);
    if (!target || !target.matches('details.record')) return;
    if (target.hidden) {
      filter.value = '';
      applyFilter();
    }
    target.open = true;
    enhance(target);
    target.scrollIntoView({ block: 'start' });
  }

  const filter = document.getElementById('filter');
  const count = document.getElementById('count');
  // Per program and record, its texts in lower case: made in the browser's idle time after the
  // page is shown, a slice at a time, and whatever is left at the first filter.
  const keys = new Map();
  const unkeyed = (function* () {
    for (const section of main.querySelectorAll('section.program')) {
      const path = section.querySelector('h2').textContent;
      yield [section, path.toLowerCase()];
      for (const node of section.querySelectorAll('details.record')) yield [node, path];
    }
  })();
  let keyed = false;
  function makeKeys(more) {
    while (!keyed && more()) {
      const { done, value } = unkeyed.next();
      if (done) keyed = true;
      else keys.set(value[0], value[0].tagName === 'SECTION' ? value[1] : recordKey(value[0], value[1]));
    }
  }
  const idle = window.requestIdleCallback || ((f) => setTimeout(() => f({ timeRemaining: () => 8 }), 50));
  idle(function slice(deadline) {
    makeKeys(() => deadline.timeRemaining() > 1);
    if (!keyed) idle(slice);
  });
  function recordKey(node, path) {
    const texts = [path];
    for (const cell of node.querySelector('summary').children) texts.push(cell.textContent);
    const kept = node.querySelector(':scope > noscript');
    if (kept) {
      for (const [, lines] of kept.textContent.matchAll(/<div class="lines">(.*?)<\/div>/gs)) {
        texts.push(unescape(lines.replace(/<[^>]*>/g, '')));
      }
    }
    for (const lines of node.querySelectorAll('.lines')) {
      texts.push(lines.tagName === 'OL' ? [...lines.children].map((item) => item.textContent).join('\n')
                                        : lines.textContent);
    }
    return texts.join('\n').toLowerCase();
  }
  function applyFilter() {
    const words = filter.value.toLowerCase().split(/\s+/).filter(Boolean);
    const sections = [...main.querySelectorAll('section.program')];
    if (words.length) makeKeys(() => true);
    const matches = (node) => words.every((word) => keys.get(node).includes(word));
    let shown = 0;
    let total = 0;
    let programs = 0;
    for (const section of sections) {
      let matching = 0;
      const rows = section.querySelectorAll('details.record');
      for (const node of rows) {
        node.hidden = words.length > 0 && !matches(node);
        if (!node.hidden) matching++;
      }
      total += rows.length;
      section.hidden = words.length > 0 && matching === 0 && !(rows.length === 0 && matches(section));
      if (!section.hidden) programs++;
      shown += matching;
    }
    count.textContent = words.length
      ? `${shown} of ${plural(total, 'record')} match, in ${plural(programs, 'program')}.` : '';
  }
  filter.addEventListener('input', applyFilter);

  function openAll(open) {
    for (const node of records()) {
      if (node.open === open || (open && node.hidden)) continue;
      bulk.add(node);
      node.open = open;
    }
  }
  document.getElementById('open-all').addEventListener('click', () => openAll(true));
  document.getElementById('close-all').addEventListener('click', () => openAll(false));

  // What a code of the Decode column means, from the overview's legend, on hover.
  const legend = new Map([...document.querySelectorAll('#overview .legend dt')]
    .map((term) => [term.textContent, term.nextElementSibling.textContent]));
  main.addEventListener('mouseover', (event) => {
    const cell = event.target.closest('summary .code');
    if (cell && !cell.title) cell.title = legend.get(cell.textContent) || '';
  });

  // The time the page was made, in the reader's own time zone.
  for (const time of document.querySelectorAll('#overview time')) {
    const date = new Date(time.dateTime);
    if (!Number.isNaN(date.getTime())) {
      time.title = time.textContent;
      time.textContent = date.toLocaleString();
    }
  }

  // Printed, every record opened shows its block and listing whole.
  window.addEventListener('beforeprint', () => {
    for (const node of records()) if (node.open) ensureBody(node);
  });

  document.getElementById('bar').hidden = false;
  window.addEventListener('hashchange', openFromFragment);
  openFromFragment();
  performance.mark('tvx-ready');
})();
