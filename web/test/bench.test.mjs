// The bench page in Debian's Chromium, headless, against `velkor run --web`
// of an application (web_bench_app scenario) and `velkor web` of the session
// it recorded. Each state is saved as a screenshot in VELKOR_WEB_ARTIFACTS.
// Environment: VELKOR (the tool), VELKOR_BENCH_APP, VELKOR_WEB_ARTIFACTS.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, existsSync } from 'node:fs';
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

    await t.test('the application sees an input the page sets, and ends', async () => {
      await axis(page, 4).locator('[data-lamp="in15"]').click();
      const code = await Promise.race([tool.exited, new Promise((r) => setTimeout(() => r('still running after 20 s'), 20000))]);
      assert.equal(code, 0, tool.output);
      await page.locator('#link', { hasText: 'ended' }).waitFor({ timeout: 10000 });
      assert.deepEqual(problems, [], 'no console errors');
    });
  } finally {
    await close();
    tool.kill();
  }
});

test('a recorded session opens offline', { timeout: 60000 }, async () => {
  assert.ok(existsSync(SESSION), 'the live test recorded a session');
  const tool = startTool(VELKOR, ['web', SESSION]);
  const { context, close } = await launch();
  try {
    const { page, problems } = await open(context, await tool.url);
    await page.locator('#link', { hasText: 'session' }).waitFor({ timeout: 10000 });
    await page.locator('.mod-card[data-slot="3"]').waitFor({ timeout: 10000 });
    await waitFor(async () => (await lp(page, 1)) === 10000, 10000, 'the end of the session shows axis 1 at 10 000');
    // Back to the start of the session: axis 1 had not moved yet.
    await page.locator('#cursor').fill('0');
    await waitFor(async () => (await lp(page, 1)) === 0, 5000, 'the cursor goes back in time');
    await page.locator('#cursor').fill('1000');
    await shot(page, '06-session');
    assert.equal(await page.locator('.axis button:enabled').count(), 0, 'a session takes no actions');
    assert.deepEqual(problems, []);
  } finally {
    await close();
    tool.kill();
  }
});
