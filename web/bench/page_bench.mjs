// Measures the browser viewer in Debian's chromium beside the native build:
//
// 1. Decode time of a 1024x768 QNT and a 16-bit PMS in the page's worker
//    (torva.decode, pixels out as RGBA) beside torva_decode_time, the same
//    work natively; REPEAT runs each, native and page taking turns.
// 2. The longest task on the page's main thread while an archive of 200
//    pictures makes its thumbnails, the page scrolled through it a step at
//    a time; beside it the same scroll once the thumbnails exist (the page's
//    own cost, without any decoding).
//
//   node web/bench/page_bench.mjs [REPEAT]      (after the native and web builds)
import path from 'node:path';
import {launch, makeSamples, nativeDecodeTimes, openPage, samples, serve, site} from '../tests/support.mjs';

const repeat = Number(process.argv[2] || 30);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

makeSamples();
const server = await serve(site);
const browser = await launch();
try {
  const files = ['large.qnt', 'large16.pms'].map((name) => path.join(samples, name));
  const page = await openPage(browser, server.url + 'index.html');
  await (await page.$('#file-input')).uploadFile(...files);
  await page.waitForFunction(() => document.querySelectorAll('.card[data-state="decoded"]').length === 2, {timeout: 60000});
  // Native and page runs take turns, a few at a time, so that both meet the
  // same load on a shared machine.
  const rounds = 5;
  const native = {}, inPage = {};
  for (let round = 0; round < rounds; ++round) {
    const nativeRound = nativeDecodeTimes(files, Math.ceil(repeat / rounds));
    const pageRound = await page.evaluate(async (runs) => {
      const times = {};
      for (const collection of collections) {
        times[collection.name] = [];
        for (let run = 0; run <= runs; ++run) {
          const reply = await ask('decode', {fileId: collection.fileId, member: -1, mode: -1});
          if (run > 0) times[collection.name].push(reply.decodeMs);
        }
      }
      return times;
    }, Math.ceil(repeat / rounds));
    for (const name of Object.keys(nativeRound)) {
      (native[name] ||= {medians: [], fastest: Infinity}).medians.push(nativeRound[name].median);
      native[name].fastest = Math.min(native[name].fastest, nativeRound[name].fastest);
      (inPage[name] ||= []).push(...pageRound[name]);
    }
  }
  await page.close();

  console.log(`Decode time in ms, ${rounds} rounds of ${Math.ceil(repeat / rounds)} runs (median of the rounds' medians; fastest):`);
  console.log('  picture          native median / fastest    in the page median / fastest    page / native');
  for (const name of Object.keys(native)) {
    const nativeMedian = median(native[name].medians);
    const pageMedian = median(inPage[name]);
    const pageFastest = Math.min(...inPage[name]);
    console.log(`  ${name.padEnd(15)} ${nativeMedian.toFixed(2).padStart(13)} / ${native[name].fastest.toFixed(2).padStart(7)}` +
                `    ${pageMedian.toFixed(2).padStart(18)} / ${pageFastest.toFixed(2).padStart(7)}` +
                `    ${(pageMedian / nativeMedian).toFixed(2)} / ${(pageFastest / native[name].fastest).toFixed(2)}`);
  }

  // Three runs on fresh pages: the machine is shared, and a task can be long
  // because the browser was not given a core. Beside the browser's long tasks,
  // the longest single step of the page's own code on the main thread: adding
  // the archive's cards, or drawing one thumbnail.
  console.log('\nMain thread while 200 thumbnails are made (tasks over 50 ms are reported by the browser):');
  console.log('  run                                    longest task    tasks over 50 ms    longest own step    seconds');
  for (let run = 1; run <= 3; ++run) {
    const list = await openPage(browser, server.url + 'index.html');
    await list.evaluate(() => {
      window.longTasks = [];
      new PerformanceObserver((entries) => {
        for (const entry of entries.getEntries()) window.longTasks.push(entry.duration);
      }).observe({type: 'longtask'});
      window.ownSteps = [];
      for (const name of ['fillCollection', 'finishThumbnail']) {
        const original = window[name];
        window[name] = (...args) => {
          const start = performance.now();
          original(...args);
          window.ownSteps.push(performance.now() - start);
        };
      }
    });
    const scrollThrough = async () => {
      const start = Date.now();
      // A step down, then a wait until the cards in view have their thumbnails.
      await list.evaluate(async () => {
        window.scrollTo(0, 0);
        const inView = () => [...document.querySelectorAll('.card')].filter((c) => {
          const box = c.getBoundingClientRect();
          return box.bottom > 0 && box.top < innerHeight;
        });
        for (;;) {
          while (!inView().every((c) => c.dataset.state)) await new Promise((r) => setTimeout(r, 10));
          if (window.scrollY + innerHeight >= document.documentElement.scrollHeight - 1) break;
          window.scrollBy(0, 300);
          await new Promise((r) => requestAnimationFrame(r));
        }
      });
      await new Promise((r) => setTimeout(r, 200));  // long-task reports arrive late
      const {tasks, steps} = await list.evaluate(() => {
        const taken = {tasks: window.longTasks.slice(), steps: window.ownSteps.slice()};
        window.longTasks.length = 0;
        window.ownSteps.length = 0;
        return taken;
      });
      return {seconds: (Date.now() - start) / 1000, longest: Math.max(0, ...tasks), count: tasks.length,
              own: Math.max(0, ...steps)};
    };
    await (await list.$('#file-input')).uploadFile(path.join(samples, 'many.ald'));
    await list.waitForFunction(() => document.querySelectorAll('.card').length === 200, {timeout: 60000});
    const making = await scrollThrough();
    const made = await scrollThrough();
    for (const [label, result] of [[`${run}: making the thumbnails`, making], [`${run}: baseline, thumbnails already made`, made]]) {
      console.log(`  ${label.padEnd(38)} ${(result.longest.toFixed(0) + ' ms').padStart(12)}    ${String(result.count).padStart(16)}` +
                  `    ${(result.own.toFixed(1) + ' ms').padStart(16)}    ${result.seconds.toFixed(1).padStart(7)}`);
    }
    await list.close();
  }
} finally {
  await browser.close();
  await server.close();
}
