// The page: the records opened, the address that follows them and what is chosen in them, the
// place kept over a reload, the filter, "open all", the columns that sort.

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

// The address: the page's, and a fragment that names a record (#r-1a2b3c4d-1058) and what is
// chosen in it: a block line (:b3), a listing line (:l5) or a byte by its file offset (:0x41A).
// The address changes at most every 60 ms, to the latest (a browser stops taking changes of the
// address that come faster for long, as a key held down would make them).
const pageUrl = () => location.href.split('#')[0];
const following = { last: -Infinity, timer: 0, next: null };
function follow(fragment) {
  following.next = fragment;
  if (following.timer) return;
  const wait = following.last + 60 - performance.now();
  if (wait > 0) {
    following.timer = setTimeout(() => {
      following.timer = 0;
      changeAddress();
    }, wait);
  } else {
    changeAddress();
  }
}
function changeAddress() {
  const url = following.next ? `${pageUrl()}#${following.next}` : pageUrl();
  if (url === location.href) return;
  following.last = performance.now();
  try {
    history.replaceState(history.state, '', url);
  } catch {
    // an address that cannot be changed (some browsers, for files): it stays as it was
  }
  remember();
}
// The record the address names and what it names in it, or nothing (a malformed fragment too).
function addressed() {
  let fragment = '';
  try {
    fragment = decodeURIComponent(location.hash.slice(1));
  } catch {
    return null;
  }
  const [, id, kind, line, offset] =
    /^(r-[0-9a-f]{8}-\d+(?:-\d+)?)(?::(?:([bl])(\d+)|0x([0-9a-f]+)))?$/i.exec(fragment) || [];
  const node = id && document.getElementById(id);
  if (!node || !node.matches('details.record')) return null;
  return { node, kind: kind && (kind.toLowerCase() === 'b' ? 'block' : 'listing'), line: +line,
           offset: offset === undefined ? undefined : parseInt(offset, 16) };
}

main.addEventListener('toggle', (event) => {
  const node = event.target;
  if (!(node instanceof HTMLDetailsElement) || !node.matches('details.record')) return;
  const many = bulk.has(node);
  bulk.delete(node);
  const named = addressed();
  if (!node.open) {
    if (named && named.node === node) follow('');
  } else if (many) {
    sight.observe(node);
  } else {
    if (node.dataset.built && node.view.hex) node.view.hex.refresh();  // drawn anew once shown
    enhance(node);
    if (!named || named.node !== node) follow(node.view && node.view.fragment ? linkOf(node.view) : node.id);
  }
  remember();
}, true);

// What the address names in a record, chosen.
function chooseNamed(named) {
  const view = named.node.view;
  if (!view || !view.hex) return;
  if (named.kind && named.line >= 1 && named.line <= view.items[named.kind].length) {
    chooseLine(view, named.kind, named.line - 1);
  } else if (named.offset !== undefined) {
    const i = named.offset - view.hex.first;
    if (i >= 0 && i < view.hex.raw.length) chooseByte(view, i);
  }
}

// The record the address names opens, what it names in it is chosen, and it comes into sight;
// any other fragment is left to the browser.
function openFromFragment() {
  const named = addressed();
  if (!named) return;
  const target = named.node;
  if (target.hidden) {
    filter.value = '';
    applyFilter();
  }
  target.open = true;
  enhance(target);
  chooseNamed(named);
  target.scrollIntoView({ block: 'start' });
  hold(target, target.getBoundingClientRect().top);
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
    for (const node of section.querySelectorAll('details.record')) {
      const form = node.parentElement.matches('div.form') ? node.parentElement.firstElementChild : null;
      yield [node, form ? path + '\n' + form.textContent : path];
    }
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
// Work for the browser's idle time, one step after the other: each step does what the time left
// allows and says whether it is done.
const idle = window.requestIdleCallback || ((f) => setTimeout(() => f({ timeRemaining: () => 8 }), 50));
const idleWork = [];
function whenIdle(step) {
  idleWork.push(step);
  if (idleWork.length > 1) return;
  idle(function slice(deadline) {
    while (idleWork.length && deadline.timeRemaining() > 1) {
      if (idleWork[0](deadline)) idleWork.shift();
    }
    if (idleWork.length) idle(slice);
  });
}
whenIdle((deadline) => {
  makeKeys(() => deadline.timeRemaining() > 1);
  return keyed;
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
    for (const group of section.querySelectorAll(':scope > div.form')) {
      group.hidden = words.length > 0 && !group.querySelector('details.record:not([hidden])');
    }
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
  if (!open) follow('');
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
