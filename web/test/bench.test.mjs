// The bench page in Debian's Chromium, headless, against `velkor run --web`
// of an application (web_bench_app scenario) and `velkor web` of the session
// it recorded. Each state is saved as a screenshot in VELKOR_WEB_ARTIFACTS.
// Environment: VELKOR (the tool), VELKOR_BENCH_APP, VELKOR_WEB_ARTIFACTS.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, readFileSync, writeFileSync, existsSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launch } from './browser.mjs';
import { startTool, waitFor } from './tool.mjs';

const VELKOR = process.env.VELKOR;
const APP = process.env.VELKOR_BENCH_APP;
const OUT = process.env.VELKOR_WEB_ARTIFACTS || 'web-artifacts';
mkdirSync(OUT, { recursive: true });
const SESSION = join(OUT, 'session.jsonl');

const axis = (page, n) => page.locator(`.axis[data-axis="${n}"]`);
const field = async (page, n, name) => (await axis(page, n).locator(`[data-field="${name}"]`).textContent()).trim();
const number = (text) => Number(text.replace(/[\s ]/g, ''));
const lp = async (page, n) => number(await field(page, n, 'lp'));
const moduleTime = async (page) => Number((await page.locator('#module-head [data-field="time"]').textContent()).match(/[-\d.]+/)[0]);
const shot = (page, name) => page.screenshot({ path: join(OUT, `${name}.png`) });
const state = async (page, n) => (await axis(page, n).locator('.state').textContent()).trim();
const forcedInSample = (page, n, bit) => page.evaluate(([a, b]) => ((window.velkorBench.modules.get(3)?.sample?.axes?.[a]?.forced ?? 0) & (1 << b)) !== 0, [n - 1, bit]);
// One monitor command from the page, as its buttons send them: the reply.
const ask = (page, body) => page.evaluate(async (b) => {
  const token = new URLSearchParams(location.search).get('token');
  const r = await fetch('api/request', { method: 'POST', headers: { 'Content-Type': 'application/json', 'X-Velkor-Token': token }, body: JSON.stringify(b) });
  return r.json();
}, body);
// The page's final state once the application ended: its last sample and
// STATUS agree, the head shows that time, and every axis is at rest.
async function endsOnFinalState(page, what) {
  await page.locator('#link', { hasText: 'the application ended' }).waitFor({ timeout: 15000 });
  const m = await page.evaluate(() => { const x = window.velkorBench.modules.get(3); return { sample: x.sample.time, status: x.status.time, driving: x.sample.axes.map((a) => a.driving) }; });
  assert.ok(Math.abs(m.sample - m.status) < 1e-5, `${what}: the last sample (${m.sample} s) is the final STATUS's time (${m.status} s)`);
  assert.deepEqual(m.driving, [false, false, false, false], `${what}: every axis at rest at the end`);
  assert.equal(await moduleTime(page), Math.round(m.status * 1000) / 1000, `${what}: the page shows the final time`);
  for (const n of [1, 2, 3, 4]) assert.notEqual(await state(page, n), 'driving', `${what}: axis ${n} not shown driving`);
}

// Opens the page and records what the console says.
async function open(context, url) {
  const page = await context.newPage();
  const problems = [];
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') problems.push(`${m.type()}: ${m.text()}`); });
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  await page.goto(url);
  return { page, problems };
}

test('the bench page drives a running application', { timeout: 150000 }, async (t) => {
  const tool = startTool(VELKOR, ['run', '--web', '--record', SESSION, '--', APP, 'scenario', '3']);
  const { context, close } = await launch();
  try {
    const url = await tool.url;
    const { page, problems } = await open(context, url);

    await t.test('loads and shows the module live', async () => {
      await page.locator('.mod-card[data-slot="3"]').waitFor({ timeout: 15000 });
      await waitFor(async () => (await field(page, 2, 'lp')) !== '—', 15000, 'axis 2 shows its position');
      assert.equal(await page.locator('#link').textContent(), 'live');
    });

    await t.test('jog and handwheel say where the program has not enabled them, and the monitor refuses them', async () => {
      // Axis 3 has EXD_CP (jog), axis 4 EXD_MP (handwheel), axis 1 neither.
      await axis(page, 1).locator('[data-field="external"]', { hasText: 'no jog or wheel' }).waitFor({ timeout: 5000 });
      assert.match(await axis(page, 1).locator('[data-jog="plus"]').getAttribute('title'), /has not enabled the external drive/);
      assert.match(await axis(page, 4).locator('[data-field="external"]').textContent(), /wheel on \(EXD_MP\)/);
      assert.ok(await axis(page, 1).locator('[data-jog="plus"]').isDisabled(), 'axis 1 takes no jog');
      assert.ok(await axis(page, 1).locator('[data-wheel="1"]').isDisabled(), 'axis 1 takes no handwheel');
      assert.ok(await axis(page, 3).locator('[data-jog="plus"]').isEnabled(), 'axis 3 jogs');
      assert.ok(await axis(page, 3).locator('[data-wheel="1"]').isDisabled(), 'axis 3 has no handwheel');
      assert.ok(await axis(page, 4).locator('[data-wheel="1"]').isEnabled(), 'axis 4 takes the handwheel');
      assert.ok(await axis(page, 4).locator('[data-jog="minus"]').isDisabled(), 'axis 4 takes no jog');
      const rows = [
        [{ cmd: 'jog', slot: 3, axis: 1, direction: 1 }, 'no_external_drive', /axis 1 takes no jog.*EXD_FP or EXD_CP/],
        [{ cmd: 'handwheel', slot: 3, axis: 3, counts: 5 }, 'no_external_drive', /axis 3 takes no handwheel.*continuous.*EXD_MP/],
        [{ cmd: 'jog', slot: 3, axis: 1, direction: 0 }, null, null], // releasing is never refused
        [{ cmd: 'handwheel', slot: 3, axis: 2, counts: 0 }, null, null],
      ];
      for (const [body, code, message] of rows) {
        const reply = await ask(page, body);
        assert.equal(reply.ok, code == null, JSON.stringify([body, reply]));
        if (code) { assert.equal(reply.error.code, code); assert.match(reply.error.message, message); }
      }
    });

    await t.test('positions change while the application runs', async () => {
      const first = await lp(page, 2);
      await waitFor(async () => (await lp(page, 2)) > first, 10000, 'axis 2 moves on');
      assert.equal(await axis(page, 2).locator('.state').textContent(), 'driving');
      await shot(page, '01-live');
    });

    await t.test('the scope shows the trapezoid of a move, triggered on a position crossing', async () => {
      await page.selectOption('#scope-what', 'speed');
      for (const n of [2, 3, 4]) await page.uncheck(`[data-scope-axis="${n}"]`);
      await page.selectOption('#scope-window', '2');
      await page.selectOption('#trigger-kind', 'position');
      await page.selectOption('#trigger-axis', '1');
      await page.fill('#trigger-level', '50');
      await page.click('#trigger-arm');
      await page.locator('#trigger-state', { hasText: 'armed' }).waitFor({ timeout: 5000 });
      // The application starts the move when it sees general input 8 of axis 1.
      await axis(page, 1).locator('[data-lamp="in8"]').click();
      await axis(page, 1).locator('[data-lamp="in8"].forced').waitFor({ timeout: 5000 });
      await page.locator('#trigger-state', { hasText: 'triggered' }).waitFor({ timeout: 20000 });
      await waitFor(async () => (await lp(page, 1)) === 10000, 10000, 'axis 1 reaches 10 000');
      const [download] = await Promise.all([page.waitForEvent('download', { timeout: 10000 }), page.click('#scope-csv')]);
      const file = join(OUT, 'scope.csv');
      await download.saveAs(file);
      const rows = readFileSync(file, 'utf8').trim().split('\n');
      assert.deepEqual(rows[0].split(','), ['time', 'axis1_lp', 'axis1_speed', 'axis1_following_error']);
      const speed = rows.slice(1).map((r) => Number(r.split(',')[2]));
      const peak = Math.max(...speed);
      assert.ok(Math.abs(peak - 10000) <= 100, `the peak ${peak} is within 1% of 10000 pulses/s`);
      // A trapezoid: it starts and ends slow, rises to the peak, holds it, falls.
      const top = speed.map((v, i) => [v, i]).filter(([v]) => v >= peak * 0.99).map(([, i]) => i);
      assert.ok(top.length >= 20, `the peak is held (${top.length} samples)`);
      const before = speed.slice(0, top[0]);
      const after = speed.slice(top[top.length - 1] + 1);
      assert.ok(before.length > 20 && after.length > 20, 'it ramps up and down');
      assert.ok(Math.min(...before) < 1000 && Math.min(...after) < 1000, 'it starts and ends slow');
      const rising = before.filter((v) => v > 0);
      for (let i = 1; i < rising.length; ++i) assert.ok(rising[i] >= rising[i - 1] - 1, 'the ramp up never falls');
      await shot(page, '02-scope');
    });

    await t.test('pause freezes the values and step advances one step', async () => {
      await page.keyboard.press('Space');
      await page.locator('#link', { hasText: 'paused' }).waitFor({ timeout: 5000 });
      const frozen = await lp(page, 2);
      const time = await moduleTime(page);
      const batches = await page.evaluate(() => window.velkorBench.stats.batches);
      // A second of the stream (status replies keep coming while paused).
      await page.waitForFunction((b) => window.velkorBench.stats.batches >= b + 4, batches, { timeout: 10000 });
      assert.equal(await lp(page, 2), frozen, 'LP stands still while paused');
      assert.equal(await moduleTime(page), time, 'the module time stands still while paused');
      await shot(page, '03-paused');
      await page.keyboard.press('s');
      await waitFor(async () => (await moduleTime(page)) > time, 5000, 'step advances the time');
      assert.equal(Math.round(((await moduleTime(page)) - time) * 1000), 1, 'one motion step of 1 ms');
      assert.equal(await lp(page, 2), frozen + 3, 'axis 2 moved one step at 3000 pulses/s');
      // An input forced while paused comes in a sample of its own, at once.
      await axis(page, 4).locator('[data-lamp="in9"]').click();
      await waitFor(() => forcedInSample(page, 4, 9), 2000, 'a sample brings input 9 forced while paused');
      await axis(page, 4).locator('[data-lamp="in9"].forced.lit').waitFor({ timeout: 2000 });
      await axis(page, 4).locator('[data-lamp="in9"]').click();
      await waitFor(async () => !(await forcedInSample(page, 4, 9)), 2000, 'and its release');
      await page.keyboard.press('Space');
      await page.locator('#link', { hasText: 'live' }).waitFor({ timeout: 5000 });
      await waitFor(async () => (await lp(page, 2)) > frozen + 3, 5000, 'it runs again after resume');
    });

    await t.test('the + limit lamp stops a running move and the page names the error bit', async () => {
      await axis(page, 2).locator('[data-lamp="plus_limit"]').click();
      await axis(page, 2).locator('.chip', { hasText: 'hard_limit_plus' }).waitFor({ timeout: 5000 });
      await waitFor(async () => (await axis(page, 2).locator('.state').textContent()) === 'idle', 5000, 'axis 2 stops');
      const stopped = await lp(page, 2);
      await page.locator('#interrupts li', { hasText: 'hard_limit_plus' }).waitFor({ timeout: 5000 });
      assert.equal(await lp(page, 2), stopped);
      await shot(page, '04-limit');
    });

    await t.test('jog moves the axis', async () => {
      const start = await lp(page, 3);
      const button = axis(page, 3).locator('[data-jog="plus"]');
      await button.hover();
      await page.mouse.down();
      try {
        await waitFor(async () => (await lp(page, 3)) > start, 10000, 'axis 3 jogs forward');
        await shot(page, '05-jog');
      } finally {
        await page.mouse.up();
      }
      await waitFor(async () => (await axis(page, 3).locator('.state').textContent()) === 'idle', 10000, 'the jog ends');
    });

    await t.test('the handwheel moves the axis by its counts', async () => {
      const start = await lp(page, 4);
      await axis(page, 4).locator('[data-wheel="10"]').click();
      await waitFor(async () => (await lp(page, 4)) === start + 100, 10000, 'axis 4 moves 10 counts of 10 pulses');
    });

    await t.test('with every axis at rest an input forced comes in a sample at once', async () => {
      await waitFor(async () => (await page.evaluate(() => window.velkorBench.modules.get(3).sample.axes.every((a) => !a.driving))), 10000, 'every axis at rest');
      const began = Date.now();
      await axis(page, 4).locator('[data-lamp="in10"]').click();
      await waitFor(() => forcedInSample(page, 4, 10), 2000, 'a sample brings input 10 forced at rest');
      console.log(`input forced at rest: on the page after ${Date.now() - began} ms (click to sample)`);
      await axis(page, 4).locator('[data-lamp="in10"].forced').waitFor({ timeout: 2000 });
      await axis(page, 4).locator('[data-lamp="in10"]').click();
      await waitFor(async () => !(await forcedInSample(page, 4, 10)), 2000, 'the lamp releases what it shows forced');
    });

    await t.test('the application sees an input the page sets, and ends', async () => {
      await axis(page, 4).locator('[data-lamp="in15"]').click();
      const code = await Promise.race([tool.exited, new Promise((r) => setTimeout(() => r('still running after 20 s'), 20000))]);
      assert.equal(code, 0, tool.output);
      await endsOnFinalState(page, 'velkor run --web');
      assert.deepEqual(problems, [], 'no console errors');
    });
  } finally {
    await close();
    tool.kill();
  }
});

test('a recorded session opens offline, and one cut says so', { timeout: 90000 }, async () => {
  assert.ok(existsSync(SESSION), 'the live test recorded a session');
  const lines = readFileSync(SESSION, 'utf8').trim().split('\n').map((l) => JSON.parse(l));
  assert.deepEqual(lines[0].modules.map((m) => m.slot), [3], 'the header lists the module');
  const sample = lines.find((l) => l.type === 'sample');
  assert.equal(typeof sample.axes[0].following_error, 'number', 'samples carry the following error');
  const tool = startTool(VELKOR, ['web', SESSION]);
  const { context, close } = await launch();
  try {
    const { page, problems } = await open(context, await tool.url);
    await page.locator('#link', { hasText: 'session' }).waitFor({ timeout: 10000 });
    await page.locator('.mod-card[data-slot="3"]').waitFor({ timeout: 10000 });
    await page.locator('#module-head', { hasText: `id ${lines[0].modules[0].id} · firmware ${lines[0].modules[0].firmware}` })
      .waitFor({ timeout: 5000 });
    await waitFor(async () => (await lp(page, 1)) === 10000, 10000, 'the end of the session shows axis 1 at 10 000');
    // Back to the start of the session: axis 1 had not moved yet.
    await page.locator('#cursor').fill('0');
    await waitFor(async () => (await lp(page, 1)) === 0, 5000, 'the cursor goes back in time');
    // Everything as it was at the cursor's time: axis 2 drives on and input
    // 8 of axis 1 is not forced yet before the page forced it; at the end
    // axis 2 stands at its limit and input 8 is forced.
    const samples = lines.filter((l) => l.type === 'sample');
    const t0 = samples[0].time; const t1 = lines.filter((l) => l.time != null && l.type !== 'status').reduce((x, l) => Math.max(x, l.time), t0);
    const driving = samples.find((l) => l.axes[1].driving).time;
    const forced = samples.find((l) => (l.axes[0].forced ?? 0) & 0x100).time;
    assert.ok(forced > driving, 'the recording has axis 2 driving before input 8 was forced');
    await page.locator('#cursor').fill(String(Math.floor(((driving + forced) / 2 - t0) / (t1 - t0) * 1000)));
    await waitFor(async () => (await state(page, 2)) === 'driving', 5000, 'axis 2 drives at the cursor');
    assert.equal(await axis(page, 1).locator('[data-lamp="in8"].forced').count(), 0, 'input 8 not forced yet at the cursor');
    const packets = () => page.locator('#module-info dt', { hasText: 'packets' }).locator('xpath=following-sibling::dd[1]').textContent();
    assert.equal(await packets(), '—', 'the counters are recorded at the end only');
    await page.click('#tab-path');
    await waitFor(async () => (await page.evaluate(() => window.velkorBench.path?.points.length ?? 0)) > 0, 5000, 'the path up to the cursor');
    const before = await page.evaluate(() => window.velkorBench.path.points.length);
    await page.locator('#cursor').fill('1000');
    await waitFor(async () => (await state(page, 2)) === 'idle', 5000, 'axis 2 at rest at the end');
    await axis(page, 1).locator('[data-lamp="in8"].forced').waitFor({ timeout: 5000 });
    assert.match(await packets(), /^\d+$/, 'the counters at the end');
    await waitFor(async () => (await page.evaluate(() => window.velkorBench.path.points.length)) > before, 5000, 'more of the path at the end');
    assert.deepEqual(await page.evaluate(() => window.velkorBench.path.views), ['XY', 'XZ', 'YZ'], 'axis 3 jogged: its views too');
    await page.click('#tab-scope');
    await shot(page, '06-session');
    assert.equal(await page.locator('.axis button:enabled').count(), 0, 'a session takes no actions');
    assert.ok(await page.locator('#cut').isHidden(), 'a whole session is not said to be cut');
    assert.doesNotMatch(await page.locator('#cursor-time').textContent(), /last known/);
    assert.deepEqual(problems, []);

    // The same session cut while axis 2 drives: by a kill (a line half
    // written, no end line) or a full disk (an end line saying so). The page
    // says it was cut, and its end is the last state known, axis 2 driving.
    const raw = readFileSync(SESSION, 'utf8').split('\n');
    const k = lines.findLastIndex((l) => l.type === 'sample' && l.axes[1].driving);
    const kept = raw.slice(0, k + 1).join('\n');
    const rows = [
      ['killed', `${kept}\n${raw[k + 1].slice(0, 40)}`, /^The recording was cut: the file has no end line/],
      ['full-disk', `${kept}\n{"type":"end","time":${lines[k].time + 1},"incomplete":"No space left on device"}\n`,
        /^The recording was cut: No space left on device\. What came after the last sample, at [\d.]+ s, is unknown/],
    ];
    for (const [name, content, banner] of rows) {
      const file = join(OUT, `session-${name}.jsonl`);
      writeFileSync(file, content);
      const cut = startTool(VELKOR, ['web', file]);
      try {
        const opened = await open(context, await cut.url);
        await opened.page.locator('#cut').waitFor({ timeout: 10000 });
        assert.match(await opened.page.locator('#cut').textContent(), banner, name);
        assert.match(await opened.page.locator('#link').textContent(), /· cut$/, name);
        assert.match(cut.output, /velkor web: .*: the recording was cut/, `${name}: said on stderr too`);
        await waitFor(async () => (await state(opened.page, 2)) === 'driving', 5000, `${name}: axis 2 driving at the cut`);
        assert.match(await opened.page.locator('#cursor-time').textContent(), /last known/, name);
        assert.match(await opened.page.locator('#module-head [data-field="time"]').textContent(), /last known/, name);
        await shot(opened.page, `09-session-${name}`);
        assert.deepEqual(opened.problems, [], name);
        await opened.page.close();
      } finally {
        cut.kill();
      }
    }
  } finally {
    await close();
    tool.kill();
  }
});

// The distance of a point from the contour (0,0) -> (8000,0) -> half circle
// about (8000,2000) -> (0,4000) -> half circle about (0,2000) -> (0,0).
function offContour(x, y) {
  if (x > 8000) return Math.abs(Math.hypot(x - 8000, y - 2000) - 2000);
  if (x < 0) return Math.abs(Math.hypot(x, y - 2000) - 2000);
  return Math.min(Math.abs(y), Math.abs(y - 4000));
}

test('the path view draws a circle and a contour as they are driven; velkor web on the same monitor ends with it', { timeout: 150000 }, async () => {
  const folder = mkdtempSync(join(tmpdir(), 'velkor-web-test-'));
  const socket = join(folder, 'sock');
  // --web with --monitor: the page and other clients on the same monitor.
  const tool = startTool(VELKOR, ['run', '--web', '--monitor', socket, '--', APP, 'paths', '3']);
  const { context, close } = await launch();
  let watcher = null;
  try {
    const { page, problems } = await open(context, await tool.url);
    await page.locator('.mod-card[data-slot="3"]').waitFor({ timeout: 15000 });
    await waitFor(() => existsSync(socket), 10000, 'the monitor at the path given');
    watcher = startTool(VELKOR, ['web', socket]);
    const second = await open(context, await watcher.url);
    await second.page.locator('.mod-card[data-slot="3"]').waitFor({ timeout: 15000 });
    await page.click('#tab-path');
    const path = () => page.evaluate(() => window.velkorBench.path);

    // The circle, drawn as it is driven: the trace grows towards its end.
    await axis(page, 1).locator('[data-lamp="in8"]').click();
    await waitFor(async () => (await state(page, 1)) === 'driving', 10000, 'the circle starts');
    await waitFor(async () => { const p = await path(); return p.points.length > 300 && p.end != null; }, 10000, 'part of the circle drawn, its end marked');
    const part = await path();
    assert.deepEqual(part.end.slice(0, 2), [0, 0], 'the commanded end of the circle is its start');
    await waitFor(async () => (await state(page, 1)) === 'idle', 20000, 'the circle ends');
    await waitFor(async () => (await path()).points.length > part.points.length + 1000, 5000, 'the trace grew with it');
    const circle = (await path()).points;
    for (const [, x, y] of circle) assert.ok(Math.abs(Math.hypot(x, y + 3000) - 3000) <= 3, `(${x}, ${y}) lies on the circle`);
    const ys = circle.map((p) => p[2]);
    assert.ok(Math.min(...ys) <= -5995, 'the trace goes round the whole circle');
    assert.deepEqual((await path()).views, ['XY'], 'only the XY view while axis 3 stands still');

    // The contour of lines and half circles, as it is driven.
    await axis(page, 1).locator('[data-lamp="in9"]').click();
    await waitFor(async () => (await state(page, 1)) === 'driving', 10000, 'the contour starts');
    await waitFor(async () => (await path()).end != null, 5000, 'the contour\'s commanded end');
    assert.deepEqual((await path()).end.slice(0, 2), [0, 0], 'the contour ends where it began');
    await waitFor(async () => (await state(page, 1)) === 'idle' && (await state(page, 2)) === 'idle', 30000, 'the contour ends');
    await waitFor(async () => (await path()).points.length > circle.length + 3000, 5000, 'the contour drawn');
    const contour = (await path()).points.slice(circle.length);
    for (const [, x, y] of contour) assert.ok(offContour(x, y) <= 3, `(${x}, ${y}) lies on the contour`);
    for (const [cx, cy] of [[8000, 0], [10000, 2000], [8000, 4000], [0, 4000], [-2000, 2000]]) {
      assert.ok(contour.some(([, x, y]) => Math.hypot(x - cx, y - cy) < 30), `the trace passes (${cx}, ${cy})`);
    }
    await shot(page, '07-path');

    // Zoom and fit: Fit draws the same picture as before the zoom.
    const picture = () => page.evaluate(() => document.querySelector('#path-plot canvas[data-view="XY"]').toDataURL());
    const fitted = await picture();
    await page.click('#path-in');
    assert.notEqual(await picture(), fitted, 'zoomed in');
    await page.click('#path-fit');
    assert.equal(await picture(), fitted, 'Fit shows the whole path again');

    // A line that the + limit of axis 1 stops: the stretch not driven.
    await axis(page, 1).locator('[data-lamp="in10"]').click();
    await waitFor(async () => (await lp(page, 1)) > 1000, 10000, 'the line is under way');
    assert.deepEqual((await path()).end.slice(0, 2), [20000, 10000], 'the line\'s commanded end');
    await axis(page, 1).locator('[data-lamp="plus_limit"]').click();
    await waitFor(async () => (await path()).stops.length === 1, 5000, 'the stopped stretch is drawn');
    const stop = (await path()).stops[0];
    assert.deepEqual(stop.to.slice(0, 2), [20000, 10000]);
    assert.ok(stop.from[0] > 1000 && stop.from[0] < 20000, `stopped on the way at ${stop.from}`);
    await shot(page, '08-path-stopped');
    await page.locator('#scope').screenshot({ path: join(OUT, 'path-view.png') });

    // The program ends: both pages end on its final state.
    const code = await Promise.race([tool.exited, new Promise((r) => setTimeout(() => r('still running after 20 s'), 20000))]);
    assert.equal(code, 0, tool.output);
    assert.equal(await watcher.exited, 0, watcher.output);
    await endsOnFinalState(page, 'velkor run --web --monitor');
    await endsOnFinalState(second.page, 'velkor web SOCKET');
    assert.equal(await lp(second.page, 1), await lp(page, 1), 'both show the final position');
    assert.deepEqual([...problems, ...second.problems], [], 'no console errors');
  } finally {
    await close();
    tool.kill();
    watcher?.kill();
    rmSync(folder, { recursive: true, force: true });
  }
});

test('velkor demo --web is live and ends on the demo\'s final state', { timeout: 90000 }, async () => {
  const tool = startTool(VELKOR, ['demo', '--web', '--fast']);
  const { context, close } = await launch();
  try {
    const { page, problems } = await open(context, await tool.url);
    await page.locator('.mod-card[data-slot="3"]').waitFor({ timeout: 15000 });
    assert.equal(await tool.exited, 0, tool.output);
    await endsOnFinalState(page, 'velkor demo --web');
    const samples = await page.evaluate(() => window.velkorBench.modules.get(3).samples);
    assert.ok(samples > 3000, `every motion step's sample came (${samples})`);
    // The demo's path in space, from its samples once it has ended.
    await page.click('#tab-path');
    await waitFor(async () => (await page.evaluate(() => window.velkorBench.path?.points.length ?? 0)) > 3000, 5000, 'the demo\'s path');
    assert.deepEqual(await page.evaluate(() => window.velkorBench.path.views), ['XY', 'XZ', 'YZ']);
    await page.locator('#scope').screenshot({ path: join(OUT, 'demo-path.png') });
    assert.deepEqual(problems, []);
  } finally {
    await close();
    tool.kill();
  }
});
