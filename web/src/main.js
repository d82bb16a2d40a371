// The bench page: every virtual module and axis live, the machine's inputs and
// switches to click, jog and handwheel, the clock, the logs and the scope. It
// talks to the velkor tool that served it: /api/events (server-sent events,
// batches of monitor lines), /api/request (one monitor command), /api/info,
// and /api/session for a recorded session.
import './style.css';
import { apply, errorNames, ModuleState, DRIVING, HOMING, DRIVE_ALARM } from './model.js';
import { PathView } from './path.js';
import { Scope } from './scope.js';

const $ = (id) => document.getElementById(id);
const token = new URLSearchParams(location.search).get('token') || '';
const modules = new Map(); // slot -> ModuleState
let selected = null;
let live = true;
let cursorTime = null;     // session: the time shown
let session = null;        // session: {t0, t1, cut}
// A cut session at its last sample: what came after it is unknown, so what
// is shown there is the last state known, not the one the machine ended in.
const lastKnown = () => !!session?.cut && cursorTime != null && cursorTime >= session.t1 - 1e-9;

// Figures for the tests and for anyone curious (window.velkorBench).
const stats = { ages: [], batches: 0, lines: 0, dropped: 0, errors: [], frames: 0, frameMs: 0, messageMs: 0 };
window.velkorBench = { stats, modules, get selected() { return selected; }, get path() { return pathScene; } };

// ---- talking to the tool ----------------------------------------------------------

async function request(body) {
  const r = await fetch('api/request', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', 'X-Velkor-Token': token },
    body: JSON.stringify(body),
  });
  const reply = await r.json().catch(() => ({}));
  if (!r.ok || reply.ok === false) {
    const why = reply.error?.message || reply.error || `HTTP ${r.status}`;
    say(`${body.cmd}: ${why}`);
    throw new Error(why);
  }
  say('');
  return reply.result;
}

function act(body) { request(body).catch(() => {}); }

function say(text) { $('message').textContent = text; }

function setLink(text, cls) {
  const el = $('link');
  el.textContent = text;
  el.className = `badge ${cls}`;
}

function connect() {
  const events = new EventSource(`api/events?token=${encodeURIComponent(token)}`);
  events.onopen = () => setLink('live', 'live');
  events.onmessage = (e) => {
    const began = performance.now();
    const batch = JSON.parse(e.data);
    // A sample's time in this page's clock: the batch says when it left the
    // tool, in wall-clock ms and in the monotonic seconds the samples carry.
    const wallOf = (mono) => batch.t - (batch.mono - mono) * 1000;
    stats.batches++;
    stats.dropped += batch.dropped;
    for (const msg of batch.lines) {
      stats.lines++;
      if (msg.type === 'link' && msg.connected === false) {
        ended('the application ended');
        continue;
      }
      const prev = msg.type === 'sample' ? modules.get(msg.slot)?.sample : null;
      const m = apply(modules, msg, batch.mono != null ? wallOf : null);
      if (m && msg.type === 'sample' && scope.module === m) scope.onSample(prev, msg);
    }
    dirty = true;
    stats.messageMs += performance.now() - began;
  };
  events.onerror = () => {
    // The tool ends with the application (velkor run) or the monitor (velkor web).
    events.close();
    if (!$('link').textContent.includes('ended')) ended('velkor has ended');
  };
}

function ended(why) {
  setLink(why, 'ended');
  for (const b of document.querySelectorAll('#clock button')) b.disabled = true;
}

// ---- building the panels ---------------------------------------------------------

const SWITCHES = [
  // [label, input bit, how it is clicked, lamp colour]
  ['+ limit', 0, 'plus_limit', 'red'], ['− limit', 1, 'minus_limit', 'red'], ['home', 2, 'home', ''],
  ['near home', 3, 'near_home', ''], ['index', 4, 'input', ''], ['alarm in', 5, 'input', 'red'],
  ['in pos', 6, 'input', 'green'],
];

function el(tag, attrs = {}, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k === 'class') e.className = v;
    else if (k.startsWith('on')) e.addEventListener(k.slice(2), v);
    else if (v !== undefined && v !== null) e.setAttribute(k, v);
  }
  for (const c of children) e.append(c);
  return e;
}

// What the chosen module's axis a shows now: a click acts on what it sees.
function shownNow(a) {
  const m = modules.get(selected);
  return m ? axisNow(m, a) : { forced: 0, alarm: false };
}

// One axis panel; returns the elements the render fills.
function axisPanel(a) {
  const slot = () => selected;
  const ax = a + 1;
  const v = {};
  const dd = (name) => (v[name] = el('dd', { 'data-field': name }, '—'));
  v.state = el('span', { class: 'state' }, 'idle');
  v.errors = el('div', { class: 'errors', 'data-field': 'errors' });
  v.lamps = SWITCHES.map(([label, bit, how, colour]) => {
    const b = el('button', { class: `lamp ${colour}`, 'data-lamp': how === 'input' ? `in${bit}` : how, title: `input bit ${bit}: click to force or release` }, label);
    b.addEventListener('click', () => {
      if (!live) return;
      const forced = shownNow(a).forced & (1 << bit);
      if (how === 'input') act({ cmd: 'set_inputs', slot: slot(), axis: ax, [forced ? 'clear' : 'set']: 1 << bit });
      else act({ cmd: 'switch', slot: slot(), axis: ax, name: how, on: !forced });
    });
    return [b, bit];
  });
  v.alarm = el('button', { class: 'lamp red', 'data-lamp': 'drive_alarm', title: "the drive's alarm: click to raise or clear" }, 'drive alarm');
  v.alarm.addEventListener('click', () => {
    if (!live) return;
    const on = shownNow(a).alarm;
    act({ cmd: 'drive_alarm', slot: slot(), axis: ax, on: !on });
  });
  v.inputs = [];
  for (let bit = 8; bit < 16; ++bit) {
    const b = el('button', { class: 'lamp', 'data-lamp': `in${bit}`, title: `general input ${bit}: click to force or release` }, `${bit}`);
    b.addEventListener('click', () => {
      if (!live) return;
      const forced = shownNow(a).forced & (1 << bit);
      act({ cmd: 'set_inputs', slot: slot(), axis: ax, [forced ? 'clear' : 'set']: 1 << bit });
    });
    v.inputs.push([b, bit]);
  }
  v.outputs = [];
  for (let bit = 0; bit < 8; ++bit) {
    const o = el('span', { class: 'lamp green', 'data-lamp': `out${bit}` }, `${bit}`);
    v.outputs.push([o, bit]);
  }
  const jog = (dir, label) => {
    const b = el('button', { 'data-jog': dir > 0 ? 'plus' : 'minus', title: 'hold to jog' }, label);
    v.jogs.push(b);
    const stop = () => { if (b.classList.contains('on')) { b.classList.remove('on'); act({ cmd: 'jog', slot: slot(), axis: ax, direction: 0 }); } };
    b.addEventListener('pointerdown', () => { if (!live) return; b.classList.add('on'); act({ cmd: 'jog', slot: slot(), axis: ax, direction: dir }); });
    b.addEventListener('pointerup', stop);
    b.addEventListener('pointerleave', stop);
    return b;
  };
  const wheel = (n) => {
    const b = el('button', { 'data-wheel': n, onclick: () => live && act({ cmd: 'handwheel', slot: slot(), axis: ax, counts: n }) }, n > 0 ? `+${n}` : `${n}`);
    v.wheels.push(b);
    return b;
  };
  v.jogs = [];
  v.wheels = [];
  v.external = el('div', { class: 'external', 'data-field': 'external' });
  v.root = el('section', { class: 'axis', 'data-axis': ax },
    el('header', {}, el('b', {}, `Axis ${ax}`), v.state),
    el('dl', { class: 'values' },
      el('dt', {}, 'LP'), dd('lp'), el('dt', {}, 'EP'), dd('ep'),
      el('dt', {}, 'speed'), dd('speed'), el('dt', {}, 'following error'), dd('fe')),
    v.errors,
    el('div', { class: 'lamps' }, ...v.lamps.map(([b]) => b), v.alarm),
    el('div', { class: 'row' }, el('span', { class: 'label' }, 'in 8–15'), el('div', { class: 'lamps small' }, ...v.inputs.map(([b]) => b))),
    el('div', { class: 'row' }, el('span', { class: 'label' }, 'out 0–7'), el('div', { class: 'lamps small' }, ...v.outputs.map(([o]) => o))),
    el('div', { class: 'row' }, jog(-1, '◀ jog'), jog(1, 'jog ▶'), el('span', { class: 'gap' }),
      el('span', { class: 'label short', title: 'handwheel counts' }, 'wheel'), wheel(-10), wheel(-1), wheel(1), wheel(10)),
    v.external,
  );
  return v;
}

const axisViews = [0, 1, 2, 3].map(axisPanel);
$('axes').append(...axisViews.map((v) => v.root));
const cards = new Map(); // slot -> {root, cells}

function moduleCard(slot) {
  const rows = [0, 1, 2, 3].map((a) => {
    const dot = el('span', { class: 'dot' });
    const lp = el('td'); const sp = el('td');
    return { tr: el('tr', {}, el('td', {}, dot, ` ${a + 1}`), lp, sp), dot, lp, sp };
  });
  const small = el('small');
  const root = el('button', { class: 'mod-card', 'data-slot': slot, onclick: () => select(slot) },
    el('div', { class: 'title' }, `Slot ${slot}`, small),
    el('table', {}, ...rows.map((r) => r.tr)));
  $('modules').append(root);
  return { root, rows, small };
}

function select(slot) {
  selected = slot;
  scope.setModule(modules.get(slot));
  for (const [s, c] of cards) c.root.classList.toggle('selected', s === slot);
  lastShown = -1;
  headShown = '';
  pathDirty = true;
}

// ---- rendering ------------------------------------------------------------------

const fmt = (n) => (n == null ? '—' : Math.round(n).toLocaleString('en-US').replace(/,/g, ' '));
const set = (e, text) => { if (e.textContent !== text) e.textContent = text; };
const toggle = (e, cls, on) => { if (e.classList.contains(cls) !== on) e.classList.toggle(cls, on); };

// What an axis shows: at the cursor's time in a session, else the newest
// sample over the status (samples carry the forced inputs, the drive alarm
// and homing: a session shows them as they were at the cursor's time).
function axisNow(m, a) {
  const st = m.status?.axes?.[a] || {};
  const s = cursorTime != null ? sampleAt(m, cursorTime)?.axes?.[a] : m.sample?.axes?.[a];
  // Samples give the time to the microsecond, STATUS as it is.
  const fresh = s && (cursorTime != null || !m.status || (m.sample?.time ?? 0) >= (m.status.time ?? 0) - 1e-6);
  const pick = (k) => (fresh && s[k] != null ? s[k] : st[k]);
  const code = pick('error_code') ?? 0;
  return {
    lp: pick('lp'), ep: pick('ep'), speed: pick('speed'),
    fe: pick('following_error'),
    state: fresh ? (s.homing ? 'homing' : s.driving ? 'driving' : 'idle') : st.state || 'idle',
    errors: errorNames(code), inputs: pick('inputs') ?? 0, outputs: pick('outputs') ?? 0,
    forced: fresh ? s.forced ?? 0 : st.forced ?? 0,
    alarm: fresh ? !!s.drive_alarm : !!st.drive?.alarm,
    external: cursorTime == null ? st.external_drive : null,
  };
}

// The sample the ring holds at time t (the last one not after it).
function sampleAt(m, t) {
  const ring = m.ring;
  if (!ring.count) return null;
  let k = ring.lowerBound(t);
  if (k >= ring.count || (k > 0 && ring.t[ring.at(k)] > t)) k = Math.max(0, k - 1);
  const i = ring.at(k);
  const axes = [0, 1, 2, 3].map((a) => {
    const f = ring.flags[a][i];
    const end = ring.end[a][i];
    return {
      lp: ring.lp[a][i], speed: ring.speed[a][i], following_error: ring.fe[a][i], inputs: ring.inputs[a][i], ep: ring.ep[a][i],
      error_code: ring.err[a][i], outputs: ring.outputs[a][i], forced: ring.forced[a][i],
      driving: (f & DRIVING) !== 0, homing: (f & HOMING) !== 0, drive_alarm: (f & DRIVE_ALARM) !== 0,
      end: Number.isNaN(end) ? null : end,
    };
  });
  return { time: ring.t[i], axes, buffer: ring.buffer[i] };
}

// What jog buttons and the handwheel do to an axis now, as the program set
// its external drive (STATUS external_drive): [jog takes, wheel takes, note].
function externalNote(mode) {
  const none = 'the program has not enabled the external drive: jog buttons act after EXD_FP or EXD_CP, the handwheel after EXD_MP';
  switch (mode) {
    case 'fixed_pulse': return [true, false, 'jog: a step per press (EXD_FP) · no wheel', 'no handwheel: the program set EXD_FP (the handwheel acts after EXD_MP)'];
    case 'continuous': return [true, false, 'jog: runs while held (EXD_CP) · no wheel', 'no handwheel: the program set EXD_CP (the handwheel acts after EXD_MP)'];
    case 'handwheel': return [false, true, 'wheel on (EXD_MP) · no jog', 'no jog: the program set EXD_MP (jog buttons act after EXD_FP or EXD_CP)'];
    case 'off': return [false, false, 'no jog or wheel: no EXD set', none];
    default: return [true, true, '', ''];
  }
}

let lastShown = -1;
let headShown = '';
let headTime = null;

function renderModule(m) {
  const clock = m.clock();
  const time = cursorTime ?? m.sample?.time ?? m.status?.time ?? 0;
  const head = [`Slot ${m.slot}`, m.meta ? `id ${m.meta.id} · firmware ${m.meta.firmware}` : '',
    clock ? `${clock.kind} clock ×${clock.scale}${clock.paused ? ' · paused' : ''}` : '',
    m.lost ? `${m.lost} samples lost` : '',
    m.failure && (cursorTime == null || m.failure.time <= cursorTime + 1e-9) ? m.failure.message || m.failure.reason : ''];
  const headKey = head.join('|');
  if (headKey !== headShown) {
    headShown = headKey;
    headTime = el('span', { 'data-field': 'time' });
    $('module-head').replaceChildren(el('b', {}, head[0]), el('span', {}, head[1]), headTime, el('span', {}, head[2]),
      el('span', {}, head[3]), ...(head[4] ? [el('span', { class: 'chip' }, head[4])] : []));
  }
  set(headTime, `t = ${time.toFixed(3)} s${lastKnown() ? ' · last known' : ''}`);
  for (let a = 0; a < 4; ++a) {
    const v = axisViews[a];
    const x = axisNow(m, a);
    set(v.lp, fmt(x.lp)); set(v.ep, fmt(x.ep)); set(v.speed, fmt(x.speed)); set(v.fe, x.fe == null ? '—' : (Math.round(x.fe * 10) / 10).toString());
    set(v.state, x.state); v.state.className = `state ${x.state}`;
    const names = x.errors.join(' ');
    if (v.errors.dataset.names !== names) {
      v.errors.dataset.names = names;
      v.errors.replaceChildren(...x.errors.map((n) => el('span', { class: 'chip', title: 'error bit' }, n)));
    }
    for (const [b, bit] of [...v.lamps, ...v.inputs]) {
      toggle(b, 'lit', (x.inputs & (1 << bit)) !== 0);
      toggle(b, 'forced', (x.forced & (1 << bit)) !== 0);
    }
    toggle(v.alarm, 'lit', x.alarm);
    for (const [o, bit] of v.outputs) toggle(o, 'lit', (x.outputs & (1 << bit)) !== 0);
    if (live) {
      const [jogs, wheels, note, why] = externalNote(x.external);
      for (const b of v.jogs) { if (b.disabled === jogs) { b.disabled = !jogs; b.title = jogs ? 'hold to jog' : why; } }
      for (const b of v.wheels) { if (b.disabled === wheels) { b.disabled = !wheels; b.title = wheels ? 'turn the handwheel' : why; } }
      set(v.external, note);
      if (v.external.title !== why) v.external.title = why;
    }
  }
  if (m.version === lastShown) return;
  lastShown = m.version;
  // A session holds the module's STATUS at its end only: before that, what
  // the samples carry (the command buffer) and '—' for the rest.
  const atEnd = cursorTime == null || !m.status || cursorTime >= m.status.time - 1e-6;
  const st = atEnd ? m.status : null;
  const then = atEnd ? null : sampleAt(m, cursorTime);
  const buf = st?.buffer ?? (then && m.status?.buffer ? { segments: then.buffer, capacity: m.status.buffer.capacity } : null);
  const fill = buf ? buf.segments / Math.max(1, buf.capacity) : 0;
  const irq = st?.interrupt;
  const c = st?.counters || {};
  const note = !atEnd ? 'recorded at the end of the session only' : session?.cut ? 'the last known: the recording was cut' : '';
  const kv = (k, v) => [el('dt', {}, k), el('dd', note ? { title: note } : {}, `${v}`)];
  $('module-info').replaceChildren(
    el('div', {}, `command buffer ${buf ? `${buf.segments} / ${buf.capacity}` : '—'}`),
    el('div', { class: 'fill', title: 'command buffer fill' }, el('div', { style: `width:${(fill * 100).toFixed(1)}%` })),
    el('dl', { class: 'kv' },
      ...kv('interrupts', irq ? `${irq.on ? 'on' : 'off'}: ${(irq.enabled_names || []).join(', ') || 'none'}` : '—'),
      ...kv('interrupt code', irq ? `0x${(irq.code ?? 0).toString(16)}` : '—'),
      ...kv('packets', c.packets ?? '—'), ...kv('exchanges', c.exchanges ?? '—'),
      ...kv('gaps / drops', st ? `${c.gaps ?? 0} / ${c.drops ?? 0}` : '—'),
      ...kv('module errors', st ? (st.module_errors?.names || []).join(', ') || 'none' : '—')),
  );
  const upTo = (list) => (cursorTime == null ? list : list.filter((e) => (e.time ?? 0) <= cursorTime + 1e-9));
  const log = upTo(m.log).slice(-80);
  fillLog($('interrupts'), log.map((e) => el('li', { class: e.kind }, el('span', { class: 't' }, e.time.toFixed(3)), e.text)));
  const prog = cursorTime == null ? m.program : m.programAt?.(cursorTime) ?? null;
  const p = prog || st?.program;
  $('program-state').textContent = p ? `program ${p.program}: ${p.running ? (p.debugging ? 'debugging' : 'running') : 'not running'}${p.paused ? ', paused' : ''}` : 'no program';
  const steps = [...(cursorTime == null ? m.steps : m.stepsAt?.(cursorTime) ?? new Map()).entries()].sort((x, y) => x[0] - y[0]);
  fillLog($('program'), steps.map(([n, text]) => el('li', { class: p && (p.running || p.debugging) && p.step === n ? 'current' : '', 'data-step': n }, el('span', { class: 't' }, `${n}`), text)));
  const packets = cursorTime == null ? m.packets : m.packetsAt?.(cursorTime) ?? m.packets;
  fillLog($('packets'), packets.slice(-60).map((t) => el('li', {}, t)));
}

function fillLog(list, items) {
  const atEnd = list.scrollTop + list.clientHeight >= list.scrollHeight - 4;
  list.replaceChildren(...items);
  if (atEnd) list.scrollTop = list.scrollHeight;
}

function renderCards() {
  for (const [slot, m] of [...modules].sort((x, y) => x[0] - y[0])) {
    if (!cards.has(slot)) cards.set(slot, moduleCard(slot));
    const c = cards.get(slot);
    const clock = m.clock();
    set(c.small, `${m.meta?.id ?? ''} ${clock?.paused ? 'paused' : ''} ${(cursorTime ?? m.sample?.time ?? 0).toFixed(2)} s`);
    for (let a = 0; a < 4; ++a) {
      const x = axisNow(m, a);
      set(c.rows[a].lp, fmt(x.lp));
      set(c.rows[a].sp, fmt(x.speed));
      c.rows[a].dot.className = `dot ${x.errors.length ? 'error' : x.state}`;
    }
  }
  if (selected == null && modules.size) select([...modules.keys()].sort((x, y) => x - y)[0]);
}

function renderClock() {
  if (!live) return;
  const clocks = [...modules.values()].map((m) => m.clock()).filter(Boolean);
  const paused = clocks.length > 0 && clocks.some((c) => c.paused);
  if ($('link').textContent === 'live' || $('link').textContent === 'paused') setLink(paused ? 'paused' : 'live', paused ? 'paused' : 'live');
  toggle($('pause'), 'on', paused);
}

let dirty = true;
let lastNewest = 0;
let cardsDrawn = 0;
function frame() {
  const began = performance.now();
  stats.frames++;
  if (dirty) {
    dirty = false;
    // The cards of every module ten times a second; the chosen module's panels every frame.
    if (began - cardsDrawn >= 100 || cards.size !== modules.size) {
      cardsDrawn = began;
      renderCards();
    }
    const m = modules.get(selected);
    if (m) renderModule(m);
    renderClock();
    // How old the newest sample is when it comes on screen.
    let newest = 0;
    for (const mod of modules.values()) newest = Math.max(newest, mod.sampleWall);
    if (newest > lastNewest && live) {
      stats.ages.push(Date.now() - newest);
      if (stats.ages.length > 100000) stats.ages.splice(0, 50000);
    }
    lastNewest = newest;
  }
  scope.draw();
  if (!$('path-pane').hidden && (pathDirty || began - pathDrawn > 100)) {
    pathDirty = false;
    pathDrawn = began;
    drawPath();
  }
  stats.frameMs += performance.now() - began;
  requestAnimationFrame(frame);
}

// ---- the path view -----------------------------------------------------------------

const pathView = new PathView($('path-plot'));
let pathScene = null;
let pathDirty = true;
let pathDrawn = 0;

// The chosen module's path: the monitor's trail with the samples newer than
// it (live), or the samples up to the cursor (a session).
function drawPath() {
  const m = modules.get(selected);
  if (!m) return;
  const ring = m.ring;
  const upTo = cursorTime ?? Infinity;
  const from = cursorTime == null ? m.trailSince : -Infinity;
  const points = cursorTime == null ? m.trail.slice() : [];
  for (let k = ring.lowerBound(from + 1e-9); k < ring.count; ++k) {
    const i = ring.at(k);
    if (ring.t[i] > upTo + 1e-9) break;
    points.push([ring.t[i], ring.lp[0][i], ring.lp[1][i], ring.lp[2][i], ring.lp[3][i]]);
  }
  const s = cursorTime != null ? sampleAt(m, cursorTime) : m.sample;
  const now = s ? s.axes.map((x) => x.lp) : null;
  const ends = s ? s.axes.map((x) => (x.end ?? null)) : null;
  const end = ends && ends.some((e) => e != null) ? ends : null;
  const stops = m.stops.filter((st) => st.time <= upTo + 1e-9);
  pathScene = { slot: m.slot, points, now, end, stops };
  pathView.show(pathScene);
  pathScene.views = pathView.views().map((v) => v.name);
  const n = points.length;
  set($('path-info'), `slot ${m.slot} · ${n.toLocaleString('en-US')} points${end ? ` · to (${end.map((e, a) => e ?? now[a]).slice(0, 3).join(', ')})` : ''}${stops.length ? ` · ${stops.length} stopped` : ''}`);
}

// The trail of the chosen module, asked for while the path is shown.
let trailAsking = false;
async function pollTrail() {
  const m = modules.get(selected);
  if (!live || !m || trailAsking || $('path-pane').hidden || $('link').textContent.includes('ended')) return;
  trailAsking = true;
  try {
    for (let more = true; more;) {
      const r = await fetch('api/request', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json', 'X-Velkor-Token': token },
        body: JSON.stringify({ cmd: 'trail_read', slot: m.slot, since: m.trailSince, max: 20000 }),
      });
      const reply = await r.json().catch(() => ({}));
      if (!r.ok || !reply.ok) break;
      m.addTrail(reply.result.points || []);
      more = !!reply.result.more;
      pathDirty = true;
    }
  } finally {
    trailAsking = false;
  }
}
setInterval(pollTrail, 150);

function showPane(which) {
  $('scope-pane').hidden = which !== 'scope';
  $('path-pane').hidden = which !== 'path';
  toggle($('tab-scope'), 'on', which === 'scope');
  toggle($('tab-path'), 'on', which === 'path');
  pathDirty = true;
  if (which === 'path') pollTrail();
}
$('tab-scope').addEventListener('click', () => showPane('scope'));
$('tab-path').addEventListener('click', () => showPane('path'));
$('path-fit').addEventListener('click', () => pathView.fit());
$('path-in').addEventListener('click', () => pathView.zoomBy(2));
$('path-out').addEventListener('click', () => pathView.zoomBy(0.5));

// ---- controls --------------------------------------------------------------------

const scope = new Scope($('scope-plot'), { triggerState: $('trigger-state'), pause: $('scope-pause') });
for (let a = 0; a < 4; ++a) {
  const box = el('input', { type: 'checkbox', checked: '', 'data-scope-axis': a + 1 });
  box.addEventListener('change', () => scope.setAxis(a, box.checked));
  $('scope-axes').append(el('label', {}, box, ` ${a + 1}`));
}
$('scope-what').addEventListener('change', (e) => scope.setWhat(e.target.value));
$('scope-window').addEventListener('change', (e) => scope.setWindow(Number(e.target.value)));
$('scope-pause').addEventListener('click', () => scope.pause());
$('scope-live').addEventListener('click', () => scope.live());
$('trigger-arm').addEventListener('click', () => scope.arm($('trigger-kind').value, Number($('trigger-axis').value), Number($('trigger-level').value), $('trigger-edge').value));
$('scope-csv').addEventListener('click', () => {
  const blob = new Blob([scope.csv()], { type: 'text/csv' });
  const a = el('a', { href: URL.createObjectURL(blob), download: `velkor-scope-slot${selected}.csv` });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
});

const anyPaused = () => [...modules.values()].some((m) => m.clock()?.paused);
function pause() { act({ cmd: 'pause' }); }
function resume() { act({ cmd: 'resume' }); }
function step() {
  const steps = Math.max(1, Math.min(100000, Number($('steps').value) || 1));
  for (const m of modules.values()) if (m.clock()?.paused) act({ cmd: 'step', slot: m.slot, steps });
}
$('pause').addEventListener('click', pause);
$('resume').addEventListener('click', resume);
$('step').addEventListener('click', step);
$('speed').addEventListener('change', (e) => act({ cmd: 'speed', scale: Number(e.target.value) }));
document.addEventListener('keydown', (e) => {
  if (!live || e.target.closest?.('input, select, textarea') || e.ctrlKey || e.metaKey || e.altKey) return;
  if (e.key === ' ') { e.preventDefault(); (anyPaused() ? resume : pause)(); }
  else if (e.key === 's' || e.key === 'S' || e.key === '.') { e.preventDefault(); step(); }
});

// ---- a recorded session ------------------------------------------------------------

async function openSession(info) {
  live = false;
  $('clock').hidden = true;
  $('replay').hidden = false;
  setLink(`session ${info.file.split('/').pop()}${info.cut ? ' · cut' : ''}`, 'session');
  document.body.classList.add('session');
  const r = await fetch(`api/session?token=${encodeURIComponent(token)}`);
  const text = await r.text();
  const events = new Map(); // slot -> {program: [], packets: []}
  let t0 = Infinity; let t1 = -Infinity;
  for (const line of text.split('\n')) {
    if (!line.trim()) continue;
    let msg;
    try { msg = JSON.parse(line); } catch { continue; }
    if (msg.type === 'session') { for (const mod of msg.modules || []) apply(modules, { type: 'modules', modules: [mod] }); continue; }
    if (msg.type === 'end') continue;
    const m = apply(modules, msg, null);
    if (!m) continue;
    if (msg.time != null && msg.type !== 'status') { t0 = Math.min(t0, msg.time); t1 = Math.max(t1, msg.time); }
    if (msg.type === 'event' && (msg.event === 'program' || msg.event === 'packet')) {
      if (!events.has(m.slot)) events.set(m.slot, { program: [], packets: [] });
      const e = events.get(m.slot);
      if (msg.event === 'program') e.program.push(msg); else e.packets.push([msg.time, msg.text]);
    }
  }
  for (const [slot, e] of events) {
    const m = modules.get(slot);
    m.programAt = (t) => { let p = null; for (const x of e.program) { if (x.time <= t) p = x; else break; } return p; };
    m.packetsAt = (t) => e.packets.filter(([time]) => time <= t).map(([, text]) => text);
    m.stepsAt = (t) => {
      const steps = new Map();
      for (const x of e.program) { if (x.time > t) break; if (x.running || x.debugging) steps.set(x.step, x.text || ''); }
      return steps;
    };
  }
  if (!Number.isFinite(t0)) { t0 = 0; t1 = 0; }
  session = { t0, t1, cut: info.cut || '' };
  if (session.cut) {
    // The tool says why ("the recording was cut: ..."): the recording ended
    // without its end line or with one that says it is incomplete.
    $('cut').textContent = `${session.cut[0].toUpperCase()}${session.cut.slice(1)}. What came after the last sample, at `
      + `${t1.toFixed(3)} s, is unknown: the state shown there is the last one known, not where the machine came to rest.`;
    $('cut').hidden = false;
  }
  const slider = $('cursor');
  const show = () => {
    cursorTime = t0 + (t1 - t0) * (Number(slider.value) / 1000);
    $('cursor-time').textContent = `${cursorTime.toFixed(3)} s of ${t1.toFixed(3)} s${lastKnown() ? ' · last known' : ''}`;
    lastShown = -1;
    dirty = true;
    pathDirty = true;
  };
  slider.addEventListener('input', show);
  show();
  scope.window = Math.max(1, t1 - t0);
  for (const b of document.querySelectorAll('.axis button')) b.disabled = true;
  say('');
}

window.addEventListener('error', (e) => stats.errors.push(String(e.message)));

async function start() {
  if (!token) {
    say('open the address velkor printed: it carries the token');
    setLink('no token', 'ended');
    return;
  }
  const r = await fetch(`api/info?token=${encodeURIComponent(token)}`);
  if (!r.ok) {
    setLink('refused', 'ended');
    say(`the tool refused the page (${r.status})`);
    return;
  }
  const info = await r.json();
  if (info.mode === 'session') await openSession(info);
  else {
    for (const slot of info.hello?.slots || []) if (!modules.has(slot)) modules.set(slot, new ModuleState(slot));
    connect();
  }
  requestAnimationFrame(frame);
}

start();
