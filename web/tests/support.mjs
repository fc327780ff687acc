// What the browser tests share: the site and native tools they use, sample
// files and their native decodes, a static server, headless chromium, and
// readers of BMP, PNG and canvas pixels that are independent of the page.
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

const repository = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const site = process.env.TORVA_WEB_SITE || path.join(repository, 'build/web');
const nativeBin = process.env.TORVA_NATIVE_BIN || path.join(repository, 'build/native/bin');
export const work = process.env.TORVA_WEB_TEST_DIR || path.join(repository, 'build/web-test');
export const samples = path.join(work, 'samples');
export const pictures = path.join(samples, 'pictures');

export const nativeTool = (name) => path.join(nativeBin, name);

// The samples, made once a run with the project's writers, and the native
// tool's bitmap of every loose picture in both modes: `full` (full colour,
// as the page shows them; mode -1) and `mode0` (16-bit PMS in 5-5-5).
export function makeSamples() {
  fs.rmSync(work, {recursive: true, force: true});
  fs.mkdirSync(work, {recursive: true});
  execFileSync(nativeTool('torva_samples'), [samples], {stdio: 'ignore'});
  execFileSync(nativeTool('torva_web_samples'), [samples], {stdio: 'ignore'});
  const names = fs.readdirSync(pictures);
  const references = {};
  for (const [mode, depth] of [['full', '24'], ['mode0', '16']]) {
    const bitmaps = path.join(work, 'native-' + mode);
    execFileSync(nativeTool('torva'), ['convert', '--format', 'bmp', '--depth', depth, '-o', bitmaps,
                                       ...names.map((name) => path.join(pictures, name))], {stdio: 'ignore'});
    references[mode] = Object.fromEntries(names.map((name) =>
      [name, readBmp(fs.readFileSync(path.join(bitmaps, name.replace(/\.[^.]*$/, '.bmp'))))]));
  }
  return references;
}

export function nativeDecodeTimes(files, repeat) {
  const output = execFileSync(nativeTool('torva_decode_time'), ['--repeat', String(repeat), ...files]);
  return Object.fromEntries(output.toString().trim().split('\n').map((line) => {
    const [name, median, fastest] = line.split(' ');
    return [name, {median: Number(median), fastest: Number(fastest)}];
  }));
}

// A Windows bitmap file image as top-down RGBA, alpha 255 below 32 bits.
export function readBmp(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const pixelsAt = view.getUint32(10, true);
  const headerSize = view.getUint32(14, true);
  const width = view.getInt32(18, true);
  const storedHeight = view.getInt32(22, true);
  const bits = view.getUint16(28, true);
  const height = Math.abs(storedHeight);
  const stride = Math.floor((width * bits + 31) / 32) * 4;
  const paletteAt = 14 + headerSize;
  const rgba = new Uint8ClampedArray(width * height * 4);
  for (let y = 0; y < height; ++y) {
    const row = pixelsAt + (storedHeight > 0 ? height - 1 - y : y) * stride;
    for (let x = 0; x < width; ++x) {
      const out = (y * width + x) * 4;
      let b, g, r, a = 255;
      if (bits <= 8) {
        const index = bits === 8 ? bytes[row + x] : (bytes[row + (x >> 1)] >> (x & 1 ? 0 : 4)) & 15;
        [b, g, r] = bytes.subarray(paletteAt + index * 4, paletteAt + index * 4 + 3);
      } else if (bits === 16) {
        const v = view.getUint16(row + x * 2, true);
        [r, g, b] = [v >> 10, v >> 5, v].map((c) => ((c & 31) << 3) | ((c & 31) >> 2));
      } else {
        const at = row + x * (bits / 8);
        [b, g, r] = bytes.subarray(at, at + 3);
        if (bits === 32) a = bytes[at + 3];
      }
      rgba.set([r, g, b, a], out);
    }
  }
  return {width, height, rgba};
}

// A PNG (any filters) of 8-bit grey, RGB or RGBA, or of a palette at 1, 2, 4
// or 8 bits with its tRNS, as RGBA.
export function readPng(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let width = 0, height = 0, depth = 0, colourType = 0, palette = null, alpha = new Uint8Array(0);
  const streams = [];
  for (let at = 8; at < bytes.length;) {
    const length = view.getUint32(at);
    const type = String.fromCharCode(...bytes.subarray(at + 4, at + 8));
    const data = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') [width, height, depth, colourType] = [view.getUint32(at + 8), view.getUint32(at + 12), data[8], data[9]];
    if (type === 'PLTE') palette = data;
    if (type === 'tRNS') alpha = data;
    if (type === 'IDAT') streams.push(data);
    at += 12 + length;
  }
  const channels = {0: 1, 2: 3, 3: 1, 6: 4}[colourType];
  if (channels === undefined || (colourType !== 3 && depth !== 8) || (colourType === 3 && palette === null)) {
    throw new Error(`unexpected PNG colour type ${colourType} at ${depth} bits`);
  }
  const raw = zlib.inflateSync(Buffer.concat(streams));
  const step = Math.max(1, (channels * depth) >> 3);
  const rowLength = Math.ceil((width * channels * depth) / 8);
  const rows = new Uint8Array(rowLength * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (rowLength + 1)];
    const line = raw.subarray(y * (rowLength + 1) + 1, (y + 1) * (rowLength + 1));
    for (let i = 0; i < rowLength; ++i) {
      const left = i >= step ? rows[y * rowLength + i - step] : 0;
      const up = y > 0 ? rows[(y - 1) * rowLength + i] : 0;
      const corner = y > 0 && i >= step ? rows[(y - 1) * rowLength + i - step] : 0;
      const p = left + up - corner;
      const paeth = Math.abs(p - left) <= Math.abs(p - up) && Math.abs(p - left) <= Math.abs(p - corner) ? left
        : Math.abs(p - up) <= Math.abs(p - corner) ? up : corner;
      const predictor = [0, left, up, (left + up) >> 1, paeth][filter];
      rows[y * rowLength + i] = line[i] + predictor;
    }
  }
  const rgba = new Uint8ClampedArray(width * height * 4).fill(255);
  for (let y = 0; y < height; ++y) {
    const row = rows.subarray(y * rowLength, (y + 1) * rowLength);
    for (let x = 0; x < width; ++x) {
      const out = (y * width + x) * 4;
      if (colourType === 3) {
        const bit = x * depth;
        const index = (row[bit >> 3] >> (8 - depth - (bit & 7))) & ((1 << depth) - 1);
        if (3 * index + 3 > palette.length) throw new Error(`index ${index} past the palette`);
        rgba.set(palette.subarray(3 * index, 3 * index + 3), out);
        if (index < alpha.length) rgba[out + 3] = alpha[index];
      } else if (colourType === 0) {
        rgba.fill(row[x], out, out + 3);
      } else {
        rgba.set(row.subarray(x * channels, (x + 1) * channels), out);
      }
    }
  }
  return {width, height, rgba};
}

// torva convert's PNG of every picture in `dir` (the loose samples unless
// told), by picture name.
export function nativePngs(dir = pictures) {
  const names = fs.readdirSync(dir);
  const out = path.join(work, 'native-png');
  fs.rmSync(out, {recursive: true, force: true});
  execFileSync(nativeTool('torva'), ['convert', '--format', 'png', '-o', out,
                                     ...names.map((name) => path.join(dir, name))], {stdio: 'ignore'});
  return Object.fromEntries(names.map((name) =>
    [name, fs.readFileSync(path.join(out, name.replace(/\.[^.]*$/, '.png')))]));
}

// Photographs, which the PNG writer codes otherwise than the samples' flat
// art: smooth gradients with noise of a few levels, written by torva encode
// as QNT and 16-bit PMS into a fresh `dir`. Returns `dir`.
export function makePhotographs(dir) {
  fs.rmSync(dir, {recursive: true, force: true});
  fs.mkdirSync(dir, {recursive: true});
  const [width, height] = [160, 120];
  const stride = Math.ceil((width * 3) / 4) * 4;
  const bmp = Buffer.alloc(54 + stride * height);
  bmp.write('BM', 0, 'latin1');
  for (const [at, value] of [[2, bmp.length], [10, 54], [14, 40], [18, width], [22, height], [34, stride * height]]) {
    bmp.writeUInt32LE(value, at);
  }
  bmp.writeUInt16LE(1, 26);
  bmp.writeUInt16LE(24, 28);
  let seed = 12345;
  const noise = (range) => {
    seed = (seed * 1103515245 + 12345) >>> 0;
    return ((seed >>> 16) % range) - (range >> 1);
  };
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const at = 54 + (height - 1 - y) * stride + 3 * x;
      const clamp = (v) => Math.max(0, Math.min(255, Math.round(v)));
      bmp[at] = clamp(60 + x + noise(13));
      bmp[at + 1] = clamp(200 - y + noise(9));
      bmp[at + 2] = clamp(40 + (x + y) / 2 + noise(11));
    }
  }
  const source = path.join(dir, 'photo.bmp');
  fs.writeFileSync(source, bmp);
  for (const [name, format] of [['photo.qnt', 'qnt'], ['photo16.pms', 'pms16']]) {
    execFileSync(nativeTool('torva'), ['encode', '--format', format, '-o', path.join(dir, name), source],
                 {stdio: 'ignore'});
  }
  fs.rmSync(source);
  return dir;
}

// The first pixel where `actual` differs from `expected`, or null. Where
// alpha is below 255 the colours went through a canvas's premultiplied
// store, which rounds them; `premultiplied` allows for that.
export function firstDifference(actual, expected, {premultiplied = false} = {}) {
  if (actual.width !== expected.width || actual.height !== expected.height) {
    return `size ${actual.width}x${actual.height}, expected ${expected.width}x${expected.height}`;
  }
  const a = actual.rgba, e = expected.rgba;
  for (let i = 0; i < e.length; i += 4) {
    const alpha = e[i + 3];
    const slack = premultiplied && alpha < 255 ? (alpha === 0 ? 255 : Math.ceil(255 / alpha)) : 0;
    for (let c = 0; c < 4; ++c) {
      if (Math.abs(a[i + c] - e[i + c]) > (c === 3 ? 0 : slack)) {
        const pixel = i / 4;
        return `pixel (${pixel % e.width}, ${Math.floor(pixel / e.width)}) channel ${c}: ${a[i + c]}, expected ${e[i + c]}`;
      }
    }
  }
  return null;
}

// Serves `root` on the loopback address, and each folder of `mounts` under
// its URL prefix ({'/work/': work}); resolves with {url, close}.
export function serve(root, mounts = {}) {
  const types = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.png': 'image/png'};
  const server = http.createServer((request, response) => {
    let where = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    let folder = root;
    for (const [prefix, mounted] of Object.entries(mounts)) {
      if (where.startsWith(prefix)) [folder, where] = [mounted, where.slice(prefix.length)];
    }
    const file = path.join(folder, where);
    if (!file.startsWith(folder) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((done) => server.close(done)),
  })));
}

// Debian's chromium, headless, with a profile of its own.
export async function launch(extraArgs = []) {
  return puppeteer.launch({
    executablePath: process.env.TORVA_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(work, 'profile-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', ...extraArgs],
  });
}

// A page that fails the test on any script error.
export async function openPage(browser, url, {language} = {}) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  if (language) {
    await page.evaluateOnNewDocument((tag) => {
      Object.defineProperty(navigator, 'languages', {get: () => [tag]});
      Object.defineProperty(navigator, 'language', {get: () => tag});
    }, language);
  }
  await page.setViewport({width: 1000, height: 700});
  await page.goto(url);
  await page.evaluate(() => torva.ready);
  page.scriptErrors = errors;
  return page;
}

// The pixels of a canvas on the page.
export async function canvasPixels(page, selector) {
  const {width, height, data} = await page.$eval(selector, (canvas) => {
    const image = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    let text = '';
    for (let i = 0; i < image.data.length; i += 0x8000) text += String.fromCharCode(...image.data.subarray(i, i + 0x8000));
    return {width: canvas.width, height: canvas.height, data: btoa(text)};
  });
  return {width, height, rgba: new Uint8ClampedArray(Buffer.from(data, 'base64'))};
}

// Runs torva.inspect on the page for a file on disk.
export async function inspectOnPage(page, file) {
  return page.evaluate((b64, name) => torva.inspect(Uint8Array.from(atob(b64), (c) => c.charCodeAt(0)), name),
                       fs.readFileSync(file).toString('base64'), path.basename(file));
}

// Runs torva.decode on the page for a file on disk.
export async function decodeOnPage(page, file, mode = -1) {
  const bytes = fs.readFileSync(file).toString('base64');
  const result = await page.evaluate((b64, name, m) => {
    const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    try {
      const picture = torva.decode(bytes, name, m);
      let text = '';
      for (let i = 0; i < picture.rgba.length; i += 0x8000) text += String.fromCharCode(...picture.rgba.subarray(i, i + 0x8000));
      return {width: picture.width, height: picture.height, rgba: btoa(text)};
    } catch (error) {
      return {error: error.message, status: error.status, isError: error instanceof Error};
    }
  }, bytes, path.basename(file), mode);
  if (result.rgba !== undefined) result.rgba = new Uint8ClampedArray(Buffer.from(result.rgba, 'base64'));
  return result;
}

export async function waitFor(page, predicate, ...args) {
  await page.waitForFunction(predicate, {timeout: 60000, polling: 10}, ...args);
}

// Back to the list of files, from whatever view a test left the page in.
export async function showList(page) {
  if (!await page.$eval('#picture-view', (view) => view.hidden)) await page.click('#back');
  await waitFor(page, () => document.querySelector('#picture-view').hidden && !document.querySelector('#list-view').hidden);
}

// Waits until the picture view has drawn and described the picture titled
// `title` ('shown'), or reported it unreadable ('failed'); returns which.
export async function pictureDone(page, title) {
  await waitFor(page, (t) => {
    const view = document.querySelector('#picture-view');
    return !view.hidden && document.querySelector('#picture-title').textContent === t &&
      (view.dataset.state === 'shown' || view.dataset.state === 'failed');
  }, title);
  return page.$eval('#picture-view', (view) => view.dataset.state);
}

// Waits until the page makes no thumbnail, and returns how many cards
// matching `selector` have one (or a failure) by then. A card waits for its
// thumbnail only while others are being made (marked .loading), so none
// marked means none waiting either.
export async function thumbnailsSettled(page, selector) {
  await waitFor(page, () => document.querySelector('.card.loading') === null);
  return page.$$eval(selector, (all) => all.filter((c) => c.dataset.state).length);
}

// Lets the page render a frame, so that what watches the scroll position
// (the thumbnails' IntersectionObserver) has seen the current one.
export async function nextFrame(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

// The browser's downloads into `folder`, followed by its own events. Call
// `next()` before the action that starts a download: it resolves with the
// file's name and bytes once the browser has finished writing it.
export async function followDownloads(browser, folder) {
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: folder, eventsEnabled: true});
  const begun = new Map();
  let expected = null;
  session.on('Browser.downloadWillBegin', (event) => {
    if (expected && expected.guid === null) expected.guid = event.guid;
    begun.set(event.guid, event.suggestedFilename);
  });
  session.on('Browser.downloadProgress', (event) => {
    if (!expected || event.guid !== expected.guid || event.state === 'inProgress') return;
    const {resolve, reject, timer} = expected;
    expected = null;
    clearTimeout(timer);
    if (event.state !== 'completed') {
      reject(new Error(`the download of ${begun.get(event.guid)} was ${event.state}`));
      return;
    }
    const name = begun.get(event.guid);
    resolve({name, bytes: fs.readFileSync(path.join(folder, name))});
  });
  return {
    next() {
      if (expected) throw new Error('a download is already awaited');
      return new Promise((resolve, reject) => {
        const timer = setTimeout(() => {
          expected = null;
          reject(new Error('no download completed within 60 s'));
        }, 60000);
        expected = {guid: null, resolve, reject, timer};
      });
    },
    close: () => session.detach(),
  };
}
