// The browser viewer in Debian's chromium, headless: torva.js's scripting
// interface against the native build, then the page as a person uses it.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, beforeEach, describe, it} from 'node:test';
import {unzipSync} from 'fflate';
import {
  canvasPixels, decodeOnPage, firstDifference, followDownloads, inspectOnPage, launch, makePhotographs, makeSamples,
  nativePngs, nativeTool, nextFrame, openPage, pictureDone, pictures, readPng, samples, serve, showList, site,
  thumbnailsSettled, waitFor, work,
} from './support.mjs';

let bothModes, references, server, browser;

before(async () => {
  bothModes = makeSamples();
  references = bothModes.full;
  // The test files too, for pages to fetch those too large to pass as arguments.
  server = await serve(site, {'/work/': work});
  browser = await launch();
});

after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
});

// Damaged copies of the samples, each expected to throw with one of `statuses`.
function damagedFiles() {
  const dir = path.join(work, 'damaged');
  fs.mkdirSync(dir, {recursive: true});
  const sunset = fs.readFileSync(path.join(pictures, 'sunset.qnt'));
  const garbled = Buffer.from(sunset);
  for (let i = 60; i < garbled.length; i += 7) garbled[i] ^= 0x5a;
  const cut = (name, size) => fs.readFileSync(path.join(pictures, name)).subarray(0, size);
  const cases = [
    {name: 'garbled.qnt', bytes: garbled, statuses: ['corrupt']},
    {name: 'cut16.pms', bytes: cut('gradient16.pms', 2000), statuses: ['truncated']},
    {name: 'cut8.pms', bytes: cut('checker.pms', 1200), statuses: ['truncated']},
    {name: 'readme.txt', bytes: Buffer.from('not a picture\n'), statuses: ['not-recognised']},
  ];
  for (const c of cases) {
    c.file = path.join(dir, c.name);
    fs.writeFileSync(c.file, c.bytes);
  }
  return cases;
}

describe('torva.js, the scripting interface', () => {
  let page;
  before(async () => { page = await openPage(browser, server.url + 'index.html'); });

  it('decodes every sample exactly as the native build does, in both modes', async () => {
    for (const [mode, expected] of [[-1, bothModes.full], [0, bothModes.mode0]]) {
      for (const name of Object.keys(expected)) {
        const picture = await decodeOnPage(page, path.join(pictures, name), mode);
        assert.equal(picture.error, undefined, name);
        assert.equal(firstDifference(picture, expected[name]), null, `${name}, mode ${mode}`);
      }
    }
  });

  it('writes every sample and photograph as the PNG bytes torva convert writes', async () => {
    for (const dir of [pictures, makePhotographs(path.join(work, 'photographs'))]) {
      for (const [name, expected] of Object.entries(nativePngs(dir))) {
        const png = await page.evaluate((b64, n) => {
          const bytes = torva.png(Uint8Array.from(atob(b64), (c) => c.charCodeAt(0)), n);
          let text = '';
          for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
          return btoa(text);
        }, fs.readFileSync(path.join(dir, name)).toString('base64'), name);
        const bytes = Buffer.from(png, 'base64');
        assert.ok(bytes.equals(expected), `${name}: ${bytes.length} bytes, torva convert wrote ${expected.length}`);
      }
    }
  });

  it('inspects pictures and archives as the native tool reports them', async () => {
    const files = [...fs.readdirSync(pictures).map((n) => path.join(pictures, n)),
                   path.join(samples, 'samples.ald'), path.join(samples, 'samples.alk')];
    const info = execFileSync(nativeTool('torva'), ['info', ...files]).toString();
    for (const file of files) {
      const line = info.split('\n').find((l) => l.startsWith(file + ':'));
      const result = await inspectOnPage(page, file);
      const picture = line.match(/: (\w+) picture, (\d+) x (\d+), (\d+)-bit/);
      const archive = line.match(/: (\w+) archive, (\d+) members/);
      if (picture) {
        assert.deepEqual(result, {kind: picture[1].toLowerCase(), width: +picture[2], height: +picture[3],
                                  depth: +picture[4], members: null}, file);
      } else {
        assert.equal(result.kind, archive[1].toLowerCase(), file);
        assert.equal(result.members.length, +archive[2], file);
        const whole = fs.readFileSync(file);
        for (const member of result.members.filter((m) => m.name in references)) {
          // Each member's bytes are the loose picture of the same name.
          const loose = fs.readFileSync(path.join(pictures, member.name));
          assert.ok(whole.subarray(member.position, member.position + member.size).equals(loose), member.name);
        }
      }
    }
  });

  it('decodes code page 932 member names and keeps their stored bytes', async () => {
    const {members} = await inspectOnPage(page, path.join(samples, 'samples.ald'));
    const cover = members.find((m) => m.rawName === '955c8e862e716e74');
    assert.equal(cover && cover.name, '表紙.qnt');
  });

  it('inspects files above 16 MiB the same, archives read in place', async () => {
    for (const file of [path.join(samples, 'many.ald'), path.join(samples, 'large.qnt')]) {
      const [small, large] = await page.evaluate(async (url, name) => {
        const bytes = new Uint8Array(await (await fetch(url)).arrayBuffer());
        const padded = new Uint8Array(bytes.length + (17 << 20));
        padded.set(bytes);
        return [torva.inspect(bytes, name), torva.inspect(padded, name)];
      }, server.url + 'work/' + path.relative(work, file), path.basename(file));
      assert.notEqual(small.kind, null);
      assert.deepEqual(large, small, file);
    }
  });

  it('throws an Error that says why for damaged and unknown files', async () => {
    for (const c of damagedFiles()) {
      const result = await decodeOnPage(page, c.file);
      assert.ok(result.isError, c.name);
      assert.ok(c.statuses.includes(result.status), `${c.name}: ${result.status}`);
      assert.match(result.error, new RegExp('^' + c.name.replace('.', '\\.') + ': \\w'), c.name);
    }
    const unknown = await page.evaluate(() => torva.inspect(new Uint8Array([1, 2, 3]), 'x.bin'));
    assert.deepEqual(unknown, {kind: null, width: null, height: null, depth: null, members: null});
  });

  it('works with torva.js alone in another folder, opened from disk', async () => {
    const elsewhere = path.join(work, 'elsewhere', 'nested');
    fs.mkdirSync(elsewhere, {recursive: true});
    fs.copyFileSync(path.join(site, 'torva.js'), path.join(elsewhere, 'torva.js'));
    fs.writeFileSync(path.join(elsewhere, 'use.html'), '<!doctype html><script src="torva.js"></script>');
    const other = await openPage(browser, 'file://' + path.join(elsewhere, 'use.html'));
    const picture = await decodeOnPage(other, path.join(pictures, 'ring_alpha.qnt'));
    assert.equal(firstDifference(picture, references['ring_alpha.qnt']), null);
    await other.close();
  });
});

// The page, opened from disk (file://) and from a static server.
for (const origin of ['file', 'http']) {
  describe(`the page, from ${origin === 'file' ? 'disk' : 'a static server'}`, () => {
    let page, downloads;
    before(async () => {
      const url = origin === 'file' ? 'file://' + path.join(site, 'index.html') : server.url + 'index.html';
      page = await openPage(browser, url);
      downloads = await followDownloads(browser, fs.mkdtempSync(path.join(work, 'downloads-')));
      const input = await page.$('#file-input');
      await input.uploadFile(path.join(samples, 'samples.ald'), ...Object.keys(references).map((n) => path.join(pictures, n)));
      await waitFor(page, (n) => document.querySelectorAll('.card').length === n, 8 + Object.keys(references).length);
    });
    // Each test starts from the list, whatever the one before left open.
    beforeEach(async () => { await showList(page); });

    it('lists the archive and shows a thumbnail of every picture', async () => {
      for (const card of await page.$$('.card')) {
        await card.scrollIntoView();
        await waitFor(page, (c) => c.dataset.state, card);
      }
      const cards = await page.$$eval('.card', (all) => all.map((c) => ({
        name: c.querySelector('.name').textContent, state: c.dataset.state, facts: c.querySelector('.facts').textContent,
        thumb: (() => {
          const canvas = c.querySelector('canvas');
          if (canvas.width === 0) return null;
          const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
          return {width: canvas.width, height: canvas.height, opaque: data.filter((v, i) => i % 4 === 3 && v > 0).length};
        })(),
      })));
      const ald = cards.slice(0, 8);
      assert.deepEqual(ald.map((c) => c.name), ['sunset.qnt', 'ring_alpha.qnt', 'checker.pms', 'gradient16.pms',
                                                'disc16_alpha.pms', 'bars.vsp', '表紙.qnt', 'readme.txt']);
      for (const card of cards) {
        if (card.name === 'readme.txt') {
          assert.equal(card.state, 'other');
          assert.equal(card.thumb, null);
          continue;
        }
        assert.equal(card.state, 'decoded', card.name);
        const reference = references[card.name === '表紙.qnt' ? 'sunset.qnt' : card.name];
        assert.ok(card.facts.includes(`${reference.width} × ${reference.height}`), card.facts);
        // Shrunk to fit 128 pixels, the shape kept, and something drawn.
        const scale = Math.min(1, 128 / Math.max(reference.width, reference.height));
        assert.equal(card.thumb.width, Math.round(reference.width * scale), card.name);
        assert.equal(card.thumb.height, Math.round(reference.height * scale), card.name);
        assert.ok(card.thumb.opaque > card.thumb.width * card.thumb.height / 4, card.name);
      }
    });

    it('shows each picture with the native pixels, its facts, and moves with the keys', async () => {
      await page.click('.card');
      const loose = Object.keys(references);
      // Each card's title and the loose picture it shows (null: no picture).
      const order = [['sunset.qnt', 'sunset.qnt'], ['ring_alpha.qnt', 'ring_alpha.qnt'], ['checker.pms', 'checker.pms'],
                     ['gradient16.pms', 'gradient16.pms'], ['disc16_alpha.pms', 'disc16_alpha.pms'],
                     ['bars.vsp', 'bars.vsp'], ['表紙.qnt', 'sunset.qnt'], ['readme.txt', null],
                     ...loose.map((n) => [n, n])];
      for (let i = 0; i < order.length; ++i) {
        const [title, name] = order[i];
        const state = await pictureDone(page, title);
        if (name === null) {
          assert.equal(state, 'failed', title);
          assert.notEqual(await page.$eval('#picture-error', (e) => e.hidden ? '' : e.textContent), '');
        } else {
          assert.equal(state, 'shown', title);
          const shown = await canvasPixels(page, '#picture');
          assert.equal(firstDifference(shown, references[name], {premultiplied: true}), null, `${i}: ${name}`);
          const facts = await page.$eval('#picture-facts', (e) => e.textContent);
          assert.match(facts, new RegExp(`^${name.slice(-3).toUpperCase()} · ${references[name].width} × ${references[name].height} · \\d+-bit`));
        }
        if (i + 1 < order.length) await page.keyboard.press('ArrowRight');
      }
      await page.keyboard.press('ArrowLeft');
      assert.equal(await pictureDone(page, loose[loose.length - 2]), 'shown');
      await page.keyboard.press('Escape');
      await waitFor(page, () => document.querySelector('#picture-view').hidden && !document.querySelector('#list-view').hidden);
    });

    it('fits, shows 1:1 and zooms', async () => {
      // Until the picture is there, no zoom level is shown (read in the
      // click's own task, before any reply from the worker can be drawn).
      const levelWhileLoading = await page.evaluate(() => {
        document.querySelector('.card').click();
        return document.querySelector('#zoom-level').textContent;
      });
      assert.equal(levelWhileLoading, '');
      assert.equal(await pictureDone(page, 'sunset.qnt'), 'shown');
      const size = () => page.$eval('#picture', (c) => [parseFloat(c.style.width), c.width]);
      const [fitted, width] = await size();
      assert.equal(width, references['sunset.qnt'].width);
      assert.ok(fitted > width, 'a small picture is enlarged to fit');
      await page.click('#actual');
      await waitFor(page, () => document.querySelector('#zoom-level').textContent === '100%');
      assert.deepEqual(await size(), [width, width]);
      await page.click('#zoom-in');
      await waitFor(page, () => document.querySelector('#zoom-level').textContent === '125%');
      assert.equal((await size())[0], width * 1.25);
    });

    it('saves the picture as PNG and the archive as ZIP', async () => {
      await page.click('.card:nth-child(2)');
      assert.equal(await pictureDone(page, 'ring_alpha.qnt'), 'shown');
      const pngSaved = downloads.next();
      await page.click('#save-png');
      const png = await pngSaved;
      assert.equal(png.name, 'ring_alpha.png');
      assert.equal(firstDifference(readPng(png.bytes), references['ring_alpha.qnt']), null);
      await showList(page);

      const zipSaved = downloads.next();
      await page.click('.save-zip');
      const saved = await zipSaved;
      assert.equal(saved.name, 'samples.zip');
      const zip = unzipSync(new Uint8Array(saved.bytes));
      assert.deepEqual(Object.keys(zip).sort(), ['bars.png', 'checker.png', 'disc16_alpha.png', 'gradient16.png',
                                                 'ring_alpha.png', 'sunset.png', '表紙.png']);
      for (const [entry, bytes] of Object.entries(zip)) {
        const reference = Object.keys(references).find((n) => n.startsWith(entry === '表紙.png' ? 'sunset.' : entry.slice(0, -3)));
        assert.equal(firstDifference(readPng(bytes), references[reference]), null, entry);
      }
    });

    it('downloads every loose picture as the PNG bytes torva convert writes', async () => {
      const expected = nativePngs();
      const loose = (await page.$$('.card')).slice(8);
      assert.equal(loose.length, Object.keys(expected).length);
      for (const card of loose) {
        const name = await card.$eval('.name', (e) => e.textContent);
        await card.click();
        assert.equal(await pictureDone(page, name), 'shown');
        const saved = downloads.next();
        await page.click('#save-png');
        const png = await saved;
        assert.equal(png.name, name.replace(/\.[^.]*$/, '.png'));
        assert.ok(png.bytes.equals(expected[name]), `${name}: ${png.bytes.length} bytes, torva convert wrote ${expected[name].length}`);
        await showList(page);
      }
    });

    after(async () => {
      await downloads.close();
      await page.close();
    });
  });
}

describe('the page with damaged files, dropped files, many pictures and Japanese', () => {
  let page;
  before(async () => { page = await openPage(browser, server.url + 'index.html', {language: 'ja-JP'}); });
  after(async () => { await page.close(); });
  beforeEach(async () => { await showList(page); });

  it('is in Japanese for a Japanese browser, and switches to English', async () => {
    assert.equal(await page.$eval('#open-button span', (e) => e.textContent), 'ファイルを開く…');
    await page.select('#language', 'en');
    assert.equal(await page.$eval('#open-button span', (e) => e.textContent), 'Open files…');
    await page.select('#language', 'ja');
  });

  it('takes files dropped on it', async () => {
    const session = await page.createCDPSession();
    const data = {items: [], files: [path.join(pictures, 'checker.pms'), path.join(samples, 'samples.alk')], dragOperationsMask: 1};
    for (const type of ['dragEnter', 'dragOver', 'drop']) {
      await session.send('Input.dispatchDragEvent', {type, x: 300, y: 300, data});
    }
    // Both files opened, each with a card for every picture in it, and every thumbnail made.
    const alk = execFileSync(nativeTool('torva'), ['list', path.join(samples, 'samples.alk')]).toString()
      .trim().split('\n').map((line) => line.trim().split(/\s+/).pop());
    await waitFor(page, (cards) => {
      const sections = [...document.querySelectorAll('.collection')];
      const opened = Object.entries(cards).every(([name, count]) => {
        const section = sections.find((s) => s.querySelector('h2').textContent === name);
        return section && section.querySelectorAll('.card').length === count;
      });
      return opened && sections.length === 2 && [...document.querySelectorAll('.card')].every((c) => c.dataset.state);
    }, {'checker.pms': 1, 'samples.alk': alk.length});
    const collections = await page.$$eval('.collection', (all) => all.map((s) => ({
      name: s.querySelector('h2').textContent,
      cards: [...s.querySelectorAll('.card')].map((c) => [c.querySelector('.name').textContent, c.dataset.state]),
    })));
    assert.deepEqual(collections.sort((a, b) => a.name.localeCompare(b.name)), [
      {name: 'checker.pms', cards: [['checker.pms', 'decoded']]},
      {name: 'samples.alk', cards: alk.map((name) => [name, 'decoded'])},
    ]);
  });

  it('reports damaged files in the page, the picture shown as far as it was read', async () => {
    const input = await page.$('#file-input');
    const cases = damagedFiles();
    await input.uploadFile(...cases.map((c) => c.file));
    // Every damaged picture's card is marked and says why; the unknown file is named as such.
    for (const {name} of cases) {
      await waitFor(page, (n) => {
        const section = [...document.querySelectorAll('.collection')].find((s) => s.querySelector('h2').textContent === n);
        if (!section) return false;
        section.scrollIntoView();
        const card = section.querySelector('.card');
        return n === 'readme.txt' ? section.querySelector('.facts').textContent === 'torva では読めないファイル'
          : card !== null && card.classList.contains('damaged') && card.querySelector('.facts').textContent.startsWith(n + ': ');
      }, name);
    }
    await page.$$eval('.collection', (all) => all.find((s) => s.querySelector('h2').textContent === 'cut16.pms').querySelector('.card').click());
    assert.equal(await pictureDone(page, 'cut16.pms'), 'failed');
    const error = await page.$eval('#picture-error', (e) => e.textContent);
    assert.match(error, /^cut16\.pms: データが途中で終わっています.*読めた部分を表示しています。$/);
    // The top row, read before the data ended, is shown as it is.
    const shown = await canvasPixels(page, '#picture');
    const expected = references['gradient16.pms'];
    const topRow = (picture) => ({width: picture.width, height: 1, rgba: picture.rgba.subarray(0, picture.width * 4)});
    assert.equal(firstDifference(topRow(shown), topRow(expected)), null);
  });

  it('makes thumbnails only as they scroll into view, for an archive of 200 pictures', async () => {
    const input = await page.$('#file-input');
    await input.uploadFile(path.join(samples, 'many.ald'));
    await waitFor(page, () => document.querySelectorAll('.collection:last-child .card').length === 200);
    const many = '.collection:last-child .card';
    await page.$eval(many, (card) => card.scrollIntoView());
    await waitFor(page, (s) => document.querySelector(s).dataset.state === 'decoded', many);
    // Once the page has made every thumbnail it means to at this position,
    // most of the archive still has none.
    const early = await thumbnailsSettled(page, many);
    assert.ok(early < 100, `${early} of 200 made before scrolling`);
    // Scrolled down a frame at a time, as a person would, to the end.
    for (let moved = true; moved;) {
      moved = await page.evaluate(() => {
        const before = window.scrollY;
        window.scrollBy(0, 600);
        return window.scrollY !== before;
      });
      await nextFrame(page);
    }
    await waitFor(page, (s) => [...document.querySelectorAll(s)].slice(-5).every((c) => c.dataset.state === 'decoded'), many);
    const last = await page.$eval(many + ':last-child .name', (e) => e.textContent);
    assert.equal(last, '画像200.vsp');
    await page.screenshot({path: path.join(work, 'screenshot.png')});
    assert.deepEqual(page.scriptErrors, []);
  });
});
