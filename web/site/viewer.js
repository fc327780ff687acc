// The viewer page: files opened with the picker or dropped, archives listed
// with thumbnails made as they scroll into view, a picture view with fit,
// 1:1 and zoom, PNG and ZIP downloads, in English or Japanese. Every decode
// runs in the worker; this thread only draws.
'use strict';

const THUMBNAIL_SIDE = 128;
const THUMBNAILS_IN_FLIGHT = 2;
const ZOOM_STEP = 1.25;
const page = (id) => document.getElementById(id);

// ------------------------------------------------------------------ texts

let language = 'en';

function chooseLanguage() {
  const stored = (() => { try { return localStorage.getItem('torva-language'); } catch (e) { return null; } })();
  if (stored in TORVA_STRINGS) return stored;
  const wanted = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language];
  return wanted.some((tag) => /^ja\b/i.test(tag || '')) ? 'ja' : 'en';
}

function text(key, values = {}) {
  const template = TORVA_STRINGS[language][key] ?? TORVA_STRINGS.en[key] ?? key;
  return template.replace(/\{(\w+)\}/g, (whole, name) => (name in values ? String(values[name]) : whole));
}

function failureText(status, name) {
  const key = 'status.' + status;
  return text(key in TORVA_STRINGS.en ? key : 'status.failed', {name});
}

function setLanguage(chosen) {
  language = chosen;
  document.documentElement.lang = chosen;
  page('language').value = chosen;
  document.title = text('title');
  for (const element of document.querySelectorAll('[data-text]')) element.textContent = text(element.dataset.text);
  for (const element of document.querySelectorAll('[data-title]')) element.title = text(element.dataset.title);
  for (const collection of collections) describeCollection(collection);
  for (const item of items()) describeItem(item);
  if (viewer.item) describeView();
}

// ------------------------------------------------------------------ worker

const worker = new Worker(URL.createObjectURL(new Blob(
  [torva.librarySource(), '(' + torvaViewerWorker.toString() + ')();\n'], {type: 'text/javascript'})));
const pending = new Map();
let nextRequest = 1;

// Resolves with the worker's reply, or rejects with an Error carrying the
// reply's status and any partial picture.
function ask(op, fields = {}, transfer = [], onProgress = null) {
  const id = nextRequest++;
  return new Promise((resolve, reject) => {
    pending.set(id, {resolve, reject, onProgress});
    worker.postMessage({id, op, ...fields}, transfer);
  });
}

// A worker that failed to start (or died) fails every request still open.
worker.onerror = (event) => {
  notify(text('status.failed', {name: 'torva.js'}) + (event.message ? ' (' + event.message + ')' : ''));
  for (const waiting of pending.values()) waiting.reject(Object.assign(new Error(event.message), {status: 'failed'}));
  pending.clear();
};

worker.onmessage = (event) => {
  const reply = event.data;
  const waiting = pending.get(reply.id);
  if (waiting === undefined) return;
  if ('progress' in reply) {
    if (waiting.onProgress) waiting.onProgress(reply.progress);
    return;
  }
  pending.delete(reply.id);
  if (reply.ok) waiting.resolve(reply);
  else waiting.reject(Object.assign(new Error(reply.message), {status: reply.status, picture: reply.picture}));
};

// ------------------------------------------------------------------ list

// A collection is one opened file; its items are its pictures (a loose
// picture is a collection of one item, member -1).
const collections = [];
let nextFileId = 1;

function items() {
  return collections.flatMap((collection) => collection.items);
}

async function openFiles(fileList) {
  const files = Array.from(fileList);
  for (const file of files) {
    const collection = addCollection(file.name);
    try {
      const bytes = await file.arrayBuffer();
      collection.size = bytes.byteLength;
      const info = await ask('open', {fileId: collection.fileId, name: file.name, bytes}, [bytes]);
      await fillCollection(collection, info);
    } catch (error) {
      collection.failure = failureText(error.status || 'failed', file.name);
      describeCollection(collection);
    }
  }
}

function addCollection(name) {
  const section = document.createElement('section');
  section.className = 'collection';
  section.innerHTML = '<div class="collection-head"><h2></h2><span class="facts"></span>' +
    '<button class="save-zip" data-text="saveZip" hidden></button><button class="close" data-text="closeFile"></button>' +
    '<span class="zip-state facts"></span></div><p class="error" hidden></p><ul class="cards"></ul>';
  section.querySelector('h2').textContent = name;
  const collection = {fileId: nextFileId++, name, section, items: [], info: null, failure: null, size: 0};
  section.querySelector('.save-zip').addEventListener('click', () => saveZip(collection));
  section.querySelector('.close').addEventListener('click', () => closeCollection(collection));
  collections.push(collection);
  page('collections').append(section);
  page('empty').hidden = true;
  describeCollection(collection);
  return collection;
}

// Cards are added a few hundred at a time, each batch in a task of its own,
// so that an archive of thousands of members does not hold up the page.
const CARDS_A_TASK = 100;

async function fillCollection(collection, info) {
  collection.info = info;
  if (info.status) collection.failure = failureText(info.status, collection.name);
  const list = info.kind === 'ald' || info.kind === 'alk' || info.members
    ? (info.members || []).map((member, index) => ({member: index, name: member.name || `#${index + 1}`, size: member.size}))
    : info.kind !== null ? [{member: -1, name: collection.name, size: collection.size}] : [];
  describeCollection(collection);
  for (let first = 0; first < list.length; first += CARDS_A_TASK) {
    if (first > 0) await new Promise((resolve) => setTimeout(resolve));
    if (!collections.includes(collection)) return;  // closed meanwhile
    const cards = document.createDocumentFragment();
    for (const entry of list.slice(first, first + CARDS_A_TASK)) {
      const item = {...entry, collection, state: 'waiting', picture: null, failure: null, card: null};
      item.card = makeCard(item);
      collection.items.push(item);
      cards.append(item.card);
      thumbnailObserver.observe(item.card);
    }
    collection.section.querySelector('.cards').append(cards);
  }
}

function closeCollection(collection) {
  ask('close', {fileId: collection.fileId});
  for (const item of collection.items) {
    thumbnailObserver.unobserve(item.card);
    thumbnailQueue.delete(item);
  }
  collections.splice(collections.indexOf(collection), 1);
  collection.section.remove();
  page('empty').hidden = collections.length > 0;
}

function describeCollection(collection) {
  const section = collection.section;
  section.querySelectorAll('[data-text]').forEach((element) => { element.textContent = text(element.dataset.text); });
  const info = collection.info;
  const facts = [];
  if (info && (info.kind === 'ald' || info.kind === 'alk')) {
    facts.push(text('archive', {kind: info.kind.toUpperCase()}), text('members', {count: info.members.length}));
  } else if (info && info.kind) {
    facts.push(text('picture', {kind: info.kind.toUpperCase()}));
  } else if (info) {
    facts.push(text('unknownFile'));
  }
  section.querySelector('.facts').textContent = facts.join(' · ');
  section.querySelector('.save-zip').hidden = !(info && (info.kind === 'ald' || info.kind === 'alk'));
  const error = section.querySelector('.error');
  error.hidden = collection.failure === null;
  error.textContent = collection.failure || '';
}

function makeCard(item) {
  const card = document.createElement('li');
  card.className = 'card';
  card.tabIndex = 0;
  card.innerHTML = '<div class="thumb-box"><canvas class="thumb checkerboard" width="0" height="0"></canvas></div>' +
    '<span class="name"></span><span class="facts"></span>';
  card.querySelector('.name').textContent = item.name;
  card.addEventListener('click', () => showPicture(item));
  card.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') showPicture(item);
  });
  card.torvaItem = item;
  return card;
}

function describeItem(item) {
  const facts = item.card.querySelector('.facts');
  item.card.classList.toggle('damaged', item.state === 'damaged');
  item.card.classList.toggle('other', item.state === 'other');
  if (item.state === 'decoded' || (item.state === 'damaged' && item.picture)) {
    const p = item.picture;
    facts.textContent = [p.kind ? p.kind.toUpperCase() : '', text('size', p), text('depth', p)].join(' · ');
  } else if (item.state === 'other') {
    facts.textContent = text('notPicture') + ' · ' + text('bytes', {count: item.size});
  } else {
    facts.textContent = item.size !== undefined ? text('bytes', {count: item.size}) : '';
  }
  if (item.state === 'damaged') {
    facts.textContent = failureText(item.failure, item.name);
    item.card.title = facts.textContent;
  }
}

// ------------------------------------------------------------------ thumbnails

// Cards in view wait here; the newest first, so that what the user scrolled
// to comes before what scrolled past.
const thumbnailQueue = new Set();
let thumbnailsInFlight = 0;

const thumbnailObserver = new IntersectionObserver((entries) => {
  for (const entry of entries) {
    const item = entry.target.torvaItem;
    if (entry.isIntersecting && item.state === 'waiting') thumbnailQueue.add(item);
    else thumbnailQueue.delete(item);
  }
  pumpThumbnails();
}, {rootMargin: '200px'});

function pumpThumbnails() {
  while (thumbnailsInFlight < THUMBNAILS_IN_FLIGHT && thumbnailQueue.size > 0) {
    const item = Array.from(thumbnailQueue).pop();
    thumbnailQueue.delete(item);
    item.state = 'loading';
    item.card.classList.add('loading');
    ++thumbnailsInFlight;
    ask('decode', {fileId: item.collection.fileId, member: item.member, mode: -1, thumbnail: THUMBNAIL_SIDE})
      .then((reply) => finishThumbnail(item, 'decoded', reply, null),
            (error) => finishThumbnail(item, error.status === 'not-recognised' ? 'other' : 'damaged',
                                       error.picture || null, error.status))
      .finally(() => {
        --thumbnailsInFlight;
        pumpThumbnails();
      });
  }
}

function finishThumbnail(item, state, picture, failure) {
  item.state = state;
  item.card.classList.remove('loading');
  item.failure = failure;
  if (picture) {
    // The thumbnail's pixels, and the full picture's facts.
    item.picture = {kind: picture.kind, width: picture.fullWidth ?? picture.width,
                    height: picture.fullHeight ?? picture.height, depth: picture.depth};
    const canvas = item.card.querySelector('canvas');
    canvas.width = picture.width;
    canvas.height = picture.height;
    canvas.getContext('2d').putImageData(new ImageData(picture.rgba, picture.width, picture.height), 0, 0);
  }
  describeItem(item);
  item.card.dataset.state = state;
}

// ------------------------------------------------------------------ picture view

const viewer = {item: null, picture: null, failure: null, fit: true, scale: 1, request: 0};

async function showPicture(item) {
  viewer.item = item;
  viewer.picture = null;
  viewer.failure = null;
  viewer.fit = true;
  const request = ++viewer.request;
  page('list-view').hidden = true;
  page('top-bar').hidden = true;
  page('picture-view').hidden = false;
  // The view's state: loading until the reply is drawn, then shown or failed.
  page('picture-view').dataset.state = 'loading';
  drawPicture(null);
  describeView(text('loading'));
  let picture = null;
  try {
    picture = await ask('decode', {fileId: item.collection.fileId, member: item.member, mode: -1});
  } catch (error) {
    viewer.failure = error.status || 'failed';
    picture = error.picture || null;
  }
  if (request !== viewer.request) return;  // another picture was asked for meanwhile
  viewer.picture = picture;
  drawPicture(picture);
  describeView();
  page('picture-view').dataset.state = viewer.failure === null ? 'shown' : 'failed';
}

function drawPicture(picture) {
  const canvas = page('picture');
  canvas.width = picture ? picture.width : 0;
  canvas.height = picture ? picture.height : 0;
  if (picture) canvas.getContext('2d').putImageData(new ImageData(picture.rgba, picture.width, picture.height), 0, 0);
  layoutPicture();
}

function describeView(state) {
  const {item, picture, failure} = viewer;
  page('picture-title').textContent = item.name;
  const facts = [];
  if (picture) {
    facts.push(picture.kind ? picture.kind.toUpperCase() : '', text('size', picture), text('depth', picture));
    if (picture.decodeMs !== undefined) facts.push(text('decodeTime', {ms: picture.decodeMs.toFixed(1)}));
  }
  page('picture-facts').textContent = state || facts.filter(Boolean).join(' · ');
  page('picture-facts').dataset.decodeMs = picture && picture.decodeMs !== undefined ? picture.decodeMs : '';
  const error = page('picture-error');
  error.hidden = failure === null;
  error.textContent = failure === null ? '' : failureText(failure, item.name) + (picture ? ' ' + text('partial') : '');
  page('save-png').disabled = picture === null || failure !== null;
  const all = items();
  const index = all.indexOf(item);
  page('previous').disabled = index <= 0;
  page('next').disabled = index < 0 || index >= all.length - 1;
}

function layoutPicture() {
  const canvas = page('picture');
  const stage = page('stage');
  if (viewer.fit && canvas.width > 0) {
    viewer.scale = Math.min(stage.clientWidth / canvas.width, stage.clientHeight / canvas.height);
  }
  canvas.style.width = canvas.width * viewer.scale + 'px';
  canvas.style.height = canvas.height * viewer.scale + 'px';
  canvas.classList.toggle('pixelated', viewer.scale > 1);
  // No level is shown before there is a picture to scale.
  page('zoom-level').textContent = canvas.width > 0 ? Math.round(viewer.scale * 100) + '%' : '';
}

function zoom(scale, fit = false) {
  viewer.fit = fit;
  viewer.scale = Math.min(32, Math.max(1 / 16, scale));
  layoutPicture();
}

function backToList() {
  ++viewer.request;
  const item = viewer.item;
  viewer.item = null;
  page('picture-view').hidden = true;
  page('list-view').hidden = false;
  page('top-bar').hidden = false;
  if (item && item.card.isConnected) item.card.focus();
}

function step(delta) {
  const all = items();
  const index = all.indexOf(viewer.item) + delta;
  if (index >= 0 && index < all.length) showPicture(all[index]);
}

// ------------------------------------------------------------------ saving

function download(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], {type}));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function withExtension(name, extension) {
  return name.replace(/\.[^.]*$/, '') + extension;
}

async function savePng() {
  const item = viewer.item;
  if (!item) return;
  try {
    const reply = await ask('png', {fileId: item.collection.fileId, member: item.member});
    download(reply.png, withExtension(item.name, '.png'), 'image/png');
  } catch (error) {
    notify(failureText(error.status || 'failed', item.name));
  }
}

async function saveZip(collection) {
  const state = collection.section.querySelector('.zip-state');
  const name = withExtension(collection.name, '.zip');
  try {
    const reply = await ask('zip', {fileId: collection.fileId}, [], (progress) => {
      state.textContent = text('zipProgress', {percent: Math.round(progress * 100)});
    });
    download(reply.zip, name, 'application/zip');
    const parts = [text('zipDone', {count: reply.pictures, name})];
    if (reply.failures.length) parts.push(text('zipFailures', {count: reply.failures.length}));
    state.textContent = parts.join(' · ');
  } catch (error) {
    state.textContent = failureText(error.status || 'failed', collection.name);
  }
}

let noticeTimer = 0;
function notify(message) {
  const notice = page('notice');
  notice.textContent = message;
  notice.hidden = false;
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(() => { notice.hidden = true; }, 5000);
}

// ------------------------------------------------------------------ wiring

page('file-input').addEventListener('change', (event) => {
  openFiles(event.target.files);
  event.target.value = '';
});

let dragDepth = 0;
window.addEventListener('dragenter', (event) => {
  event.preventDefault();
  ++dragDepth;
  page('drop-overlay').hidden = false;
});
window.addEventListener('dragleave', () => {
  if (--dragDepth <= 0) page('drop-overlay').hidden = true;
});
window.addEventListener('dragover', (event) => event.preventDefault());
window.addEventListener('drop', (event) => {
  event.preventDefault();
  dragDepth = 0;
  page('drop-overlay').hidden = true;
  if (event.dataTransfer && event.dataTransfer.files.length) {
    backToList();
    openFiles(event.dataTransfer.files);
  }
});

page('back').addEventListener('click', backToList);
page('previous').addEventListener('click', () => step(-1));
page('next').addEventListener('click', () => step(1));
page('fit').addEventListener('click', () => zoom(viewer.scale, true));
page('actual').addEventListener('click', () => zoom(1));
page('zoom-in').addEventListener('click', () => zoom(viewer.scale * ZOOM_STEP));
page('zoom-out').addEventListener('click', () => zoom(viewer.scale / ZOOM_STEP));
page('save-png').addEventListener('click', savePng);
page('language').addEventListener('change', (event) => {
  try { localStorage.setItem('torva-language', event.target.value); } catch (e) { /* file:// may refuse */ }
  setLanguage(event.target.value);
});
window.addEventListener('resize', () => { if (viewer.item) layoutPicture(); });

document.addEventListener('keydown', (event) => {
  if (event.altKey || event.ctrlKey || event.metaKey) return;
  if (viewer.item) {
    const actions = {ArrowLeft: () => step(-1), ArrowUp: () => step(-1), ArrowRight: () => step(1),
                     ArrowDown: () => step(1), Escape: backToList, '+': () => zoom(viewer.scale * ZOOM_STEP),
                     '-': () => zoom(viewer.scale / ZOOM_STEP), '1': () => zoom(1), 'f': () => zoom(1, true)};
    if (event.key in actions) {
      event.preventDefault();
      actions[event.key]();
    }
    return;
  }
  // In the list, arrows move between the cards.
  const card = document.activeElement && document.activeElement.torvaItem ? document.activeElement : null;
  if (card && (event.key === 'ArrowLeft' || event.key === 'ArrowRight')) {
    const all = items();
    const next = all[all.indexOf(card.torvaItem) + (event.key === 'ArrowLeft' ? -1 : 1)];
    if (next) next.card.focus();
    event.preventDefault();
  }
});

setLanguage(chooseLanguage());
