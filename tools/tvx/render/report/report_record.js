// A record's view: the block, the listing and the bytes, linked through the values read; its
// picture, copy and save.

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
  view.hex.here = -1;  // no byte is named now
  view.hex.mark(from, from.length ? from[0] : undefined);
  if (from.length) view.current = from[0];  // the hex view's arrows go on from its bytes
  choose(view, kind[0] + (i + 1));
  const name = kind === 'block' ? 'Block' : 'Listing';
  const about = kind === 'block' && view.record.about ? view.record.about[i] : null;
  say(view, (about ? `${about}. ` : '') + (from.length ? `${name} line ${i + 1} comes from ` +
                          from.map((k) => `${placeText(view, k)}: ${view.record.values[k][2]}`).join('; ')
                        : `${name} line ${i + 1} is not linked to bytes of the stream.`));
}

// A value's bytes chosen (by the keyboard, or by one of its bytes, `byte`): they light up, and so
// do the block and listing lines it feeds.
function chooseValue(view, k, byte) {
  clearMarks(view);
  view.current = k;
  if (byte === undefined) view.hex.here = -1;
  view.hex.mark([k], byte === undefined ? k : undefined);
  choose(view, offsetText(view.record.position + (byte === undefined ? view.record.values[k][0] : byte)));
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

// A byte chosen (clicked, named by a link or "go to"): it is underlined, and its value chosen.
function chooseByte(view, i) {
  view.hex.goTo(i);
  const k = view.hex.owner(i);
  if (k >= 0) {
    chooseValue(view, k, i);
    return;
  }
  clearMarks(view);
  view.hex.mark([]);
  choose(view, offsetText(view.record.position + i));
  say(view, `Offset ${offsetText(view.record.position + i)}: ${hex2(view.hex.raw.code(i))}, read by no value.`);
}

// What is chosen in a record, as the end of its link (b3, l5, 0x5B8); the address follows it.
function choose(view, what) {
  view.fragment = what;
  follow(linkOf(view));
}
const linkOf = (view) => view.node.id + (view.fragment ? ':' + view.fragment : '');

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
    const url = pageUrl() + '#' + linkOf(view);
    const what = view.fragment ? 'what is chosen in this record' : 'this record';
    say(view, await copyText(url) ? `The link to ${what} is copied: ${url}` : `The link: ${url}`);
  });
  return tools;
}

function enhance(node) {
  if (node.dataset.built) return;
  node.dataset.built = '1';
  const record = detailsOf(+node.dataset.p)[+node.dataset.r];
  const body = ensureBody(node);
  const view = {
    node, record, items: {}, lists: {}, marked: [], current: -1, fragment: '',
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
  view.hex = new HexView(view, raw);
  panes.append(view.hex.pane);
  panes.before(buildTools(view, raw));
  view.hex.box.before(view.status);  // above the rows: in sight with them
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
