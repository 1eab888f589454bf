// The report page's script, in five files run as one script (report_text.js, report_hex.js,
// report_record.js, report_page.js, report_place.js, in that order, in one function of their
// own). The page is whole without it: every program, record, block and listing is in the markup.
// The script adds, to a record when it is opened, the stream's bytes as a hex view that holds only
// the rows on screen, the links between the bytes and the lines (from #tvx-program-N, parsed the
// first time one of its program's records is opened), copy and save; and to the page the filter,
// "open all", columns that sort, and an address that follows the record opened and what is chosen
// in it. Every text that comes from a program is put into the page as text (textContent, Text
// nodes), never as markup.
//
// This file: texts, the record bodies kept as markup text, the stream's bytes, copy.
'use strict';
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
