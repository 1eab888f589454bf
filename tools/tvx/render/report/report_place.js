// The order and the place: the columns that sort (the overview's tables, each program's records),
// the place on the page kept over a reload; then the page's script starts.

// Rows in the order of a column, numbers as numbers, ties in the order they had at first.
function ordered(rows, keyOf, numeric, descending, first) {
  const keys = new Map(rows.map((row) => [row, numeric ? parseFloat(keyOf(row)) || 0 : keyOf(row)]));
  const sign = descending ? -1 : 1;
  return rows.sort((a, b) => {
    const x = keys.get(a);
    const y = keys.get(b);
    const order = numeric ? x - y : x.localeCompare(y);
    return order ? sign * order : first(a) - first(b);
  });
}

// The sort state of a column's button: which way it sorts now, the others not at all.
function sortedBy(buttons, button, mark) {
  const descending = mark(button) === 'ascending';
  for (const other of buttons) mark(other, null);
  mark(button, descending ? 'descending' : 'ascending');
  return descending;
}

// A table of the overview: each column's name a button that sorts its rows.
function sortableTable(table) {
  const heads = [...table.tHead.rows[0].cells];
  const body = table.tBodies[0];
  const first = new Map([...body.rows].map((row, i) => [row, i]));
  const mark = (button, value) => {
    const th = button.parentElement;
    if (value === undefined) return th.getAttribute('aria-sort');
    if (value) th.setAttribute('aria-sort', value);
    else th.removeAttribute('aria-sort');
  };
  const buttons = heads.map((th, column) => {
    const button = make('button');
    button.type = 'button';
    button.append(...th.childNodes);
    th.append(button);
    button.addEventListener('click', () => {
      const descending = sortedBy(buttons, button, mark);
      body.append(...ordered([...body.rows], (row) => row.cells[column].textContent,
                             th.classList.contains('num'), descending, (row) => first.get(row)));
    });
    return button;
  });
}

// A program's column names, buttons that sort its records: made (the markup has names, for the
// page without script) in the browser's idle time, a page of many programs opening first. The
// buttons take the names' place as they are: the page does not move.
function sortableRecords(cols) {
  cols.removeAttribute('aria-hidden');
  cols.setAttribute('role', 'group');
  cols.setAttribute('aria-label', 'Sort the records');
  for (const name of [...cols.children]) {
    const button = make('button', name.className || null, name.textContent);
    button.type = 'button';
    name.replaceWith(button);
  }
}
function sortRecords(button) {
  const cols = button.parentElement;
  const section = cols.parentElement;
  const buttons = [...cols.children];
  const column = buttons.indexOf(button);
  const mark = (b, value) => {
    if (value === undefined) return b.dataset.sort;
    if (value) b.dataset.sort = value;
    else delete b.dataset.sort;
    b.setAttribute('aria-pressed', value ? 'true' : 'false');
  };
  const descending = sortedBy(buttons, button, mark);
  const cell = column === 4 ? 3 : column;  // the offset's order is the position's
  // The records of each form in their own order, where the program has forms.
  for (const group of [section, ...section.querySelectorAll(':scope > div.form')]) {
    const rows = [...group.querySelectorAll(':scope > details.record')];
    if (!rows.length) continue;
    group.append(...ordered(rows, (node) => node.querySelector('summary').children[cell].textContent,
                            button.classList.contains('num'), descending, (node) => +node.dataset.r));
  }
}
main.addEventListener('click', (event) => {
  const button = event.target.closest('.cols > button');
  if (button) sortRecords(button);
});

// ---- The place: the records open and where the page was scrolled to, kept for the page's tab
// (sessionStorage, written as the page scrolls and as it is left), so that a reload, or a step
// back to the page, comes back to them; a page opened afresh starts where its address says.
const placeKey = 'tvx-report-place:' + location.pathname;

// The record or program at the top of the screen, under the filter strip.
function anchorNow() {
  const below = document.getElementById('bar').getBoundingClientRect().bottom + 2;
  const x = main.getBoundingClientRect().left + 24;
  const hit = document.elementFromPoint(Math.max(x, 1), Math.max(below, 1));
  return (hit && hit.closest('details.record, section.program, #overview')) || main;
}

let remembering = 0;
function remember(now) {
  clearTimeout(remembering);
  if (!now) {
    remembering = setTimeout(() => remember(true), 200);
    return;
  }
  const anchor = anchorNow();
  const open = [...main.querySelectorAll('details.record[open]')].slice(0, 2000).map((node) => node.id);
  const state = { open, y: scrollY, anchor: anchor && anchor.id,
                  top: anchor && anchor.getBoundingClientRect().top };
  try {
    sessionStorage.setItem(placeKey, JSON.stringify(state));
  } catch {
    // no storage for the page: a reload starts where the address says
  }
}
function keptPlace() {
  const [entry] = performance.getEntriesByType('navigation');
  if (!entry || (entry.type !== 'reload' && entry.type !== 'back_forward')) return null;
  try {
    return JSON.parse(sessionStorage.getItem(placeKey));
  } catch {
    return null;
  }
}

// Keeps `node` `top` pixels from the top of the screen while the page settles (programs laid out
// as they come near, pictures, the hex view), until the reader scrolls.
function hold(node, top) {
  const reader = new AbortController();
  for (const kind of ['wheel', 'touchstart', 'keydown', 'mousedown']) {
    addEventListener(kind, () => reader.abort(), { capture: true, passive: true, signal: reader.signal });
  }
  const until = performance.now() + 1500;
  (function keep() {
    if (reader.signal.aborted || !node.isConnected) return;
    const off = node.getBoundingClientRect().top - top;
    if (Math.abs(off) >= 1) scrollBy(0, off);
    if (performance.now() < until) requestAnimationFrame(keep);
    else reader.abort();
  })();
}

function restore(state) {
  for (const id of state.open || []) {
    const node = document.getElementById(id);
    if (!node || !node.matches('details.record') || node.open) continue;
    bulk.add(node);
    node.open = true;
  }
  const named = addressed();
  if (named) {
    named.node.open = true;
    enhance(named.node);
    chooseNamed(named);
  }
  const anchor = state.anchor && document.getElementById(state.anchor);
  if (anchor) {
    if (anchor.matches('details.record') && anchor.open) enhance(anchor);
    anchor.scrollIntoView({ block: 'start' });
    scrollBy(0, anchor.getBoundingClientRect().top - state.top);
    hold(anchor, state.top);
  } else {
    scrollTo(0, state.y || 0);
  }
}

if ('scrollRestoration' in history) history.scrollRestoration = 'manual';
addEventListener('scroll', () => remember(), { passive: true });
addEventListener('pagehide', () => remember(true));
for (const table of document.querySelectorAll('table.sortable')) sortableTable(table);
const names = main.getElementsByClassName('cols');
let sorting = 0;
whenIdle((deadline) => {  // after the filter's texts: a filter typed soon finds less left to do
  for (; sorting < names.length && deadline.timeRemaining() > 1; sorting++) sortableRecords(names[sorting]);
  return sorting >= names.length;
});

document.getElementById('bar').hidden = false;
window.addEventListener('hashchange', openFromFragment);
const kept = keptPlace();
if (kept) restore(kept);
else openFromFragment();
performance.mark('tvx-ready');
