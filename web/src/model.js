// What the page knows of each module: the latest sample and status, the logs,
// and a ring of recent samples for the scope. Message shapes: docs/monitor.md.

export const ERROR_BITS = [
  [0x0001, 'soft_limit_plus'], [0x0002, 'soft_limit_minus'], [0x0004, 'axis_busy'], [0x0008, 'bad_command'],
  [0x0010, 'hard_limit_plus'], [0x0020, 'hard_limit_minus'], [0x0040, 'servo_alarm'], [0x0080, 'servo_off'],
  [0x0200, 'homing_failed'], [0x0400, 'program_malformed'], [0x0800, 'not_simulated'],
  [0x1000, 'packet_missing'], [0x2000, 'program_too_long'], [0x4000, 'program_missing'],
  [0x8000, 'program_runaway'],
];

// The error word's bits by name (bit 0x100 is the library's own stop flag, never the module's).
export function errorNames(code) {
  const names = [];
  let rest = code & ~0x100;
  for (const [bit, name] of ERROR_BITS) {
    if (rest & bit) { names.push(name); rest &= ~bit; }
  }
  for (let b = 0; b < 16; ++b) if (rest & (1 << b)) names.push(`bit_${b}`);
  return names;
}

// Error bits that stop a motion: soft and hard limits, the servo alarm.
export const STOP_BITS = 0x0001 | 0x0002 | 0x0010 | 0x0020 | 0x0040;
// Flags of an axis in a sample, as the ring keeps them.
export const DRIVING = 1; export const HOMING = 2; export const DRIVE_ALARM = 4;

const RING = 32768; // samples per module: 32 s at 1000 samples per second

export class Ring {
  constructor(size = RING) {
    this.size = size;
    this.t = new Float64Array(size);
    this.lp = [0, 1, 2, 3].map(() => new Float64Array(size));
    this.ep = [0, 1, 2, 3].map(() => new Float64Array(size));
    this.speed = [0, 1, 2, 3].map(() => new Float64Array(size));
    this.fe = [0, 1, 2, 3].map(() => new Float64Array(size));
    this.inputs = [0, 1, 2, 3].map(() => new Uint16Array(size));
    this.forced = [0, 1, 2, 3].map(() => new Uint16Array(size));
    this.err = [0, 1, 2, 3].map(() => new Uint16Array(size));
    this.outputs = [0, 1, 2, 3].map(() => new Uint8Array(size));
    this.flags = [0, 1, 2, 3].map(() => new Uint8Array(size));
    this.end = [0, 1, 2, 3].map(() => new Float64Array(size)); // NaN: no commanded end
    this.buffer = new Uint32Array(size); // command buffer segments
    this.count = 0; // samples held
    this.head = 0;  // where the next goes
  }
  push(sample) {
    const i = this.head;
    this.t[i] = sample.time;
    this.buffer[i] = sample.buffer ?? 0;
    for (let a = 0; a < 4; ++a) {
      const x = sample.axes[a] || {};
      this.lp[a][i] = x.lp ?? 0;
      this.ep[a][i] = x.ep ?? 0;
      this.speed[a][i] = x.speed ?? 0;
      // Samples carry LP − motor; sessions recorded before they did fall back to LP − EP.
      this.fe[a][i] = x.following_error ?? ((x.lp ?? 0) - (x.ep ?? 0));
      this.inputs[a][i] = x.inputs ?? 0;
      this.forced[a][i] = x.forced ?? 0;
      this.err[a][i] = x.error_code ?? 0;
      this.outputs[a][i] = x.outputs ?? 0;
      this.flags[a][i] = (x.driving ? DRIVING : 0) | (x.homing ? HOMING : 0) | (x.drive_alarm ? DRIVE_ALARM : 0);
      this.end[a][i] = x.end ?? NaN;
    }
    this.head = (i + 1) % this.size;
    if (this.count < this.size) this.count++;
  }
  // Index of the k-th oldest sample held.
  at(k) { return (this.head - this.count + k + this.size) % this.size; }
  newestTime() { return this.count ? this.t[this.at(this.count - 1)] : 0; }
  oldestTime() { return this.count ? this.t[this.at(0)] : 0; }
  // First k whose time is >= t.
  lowerBound(t) {
    let lo = 0; let hi = this.count;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (this.t[this.at(mid)] < t) lo = mid + 1; else hi = mid;
    }
    return lo;
  }
  // Columns [t, series...] of the samples in [from, to]; with more than
  // most samples, the first and the extreme ones of each stretch of them
  // (enough to draw, with every peak kept).
  slice(from, to, what, axes, most = Infinity) {
    const k0 = this.lowerBound(from);
    const k1 = this.lowerBound(to + 1e-12);
    const n = Math.max(0, k1 - k0);
    if (n > most && axes.length) return this.decimate(k0, n, what, axes, Math.max(1, Math.floor(most / (1 + 2 * axes.length))));
    const cols = [new Float64Array(n)];
    for (let j = 0; j < axes.length; ++j) cols.push(new Float64Array(n));
    for (let k = 0; k < n; ++k) {
      const i = this.at(k0 + k);
      cols[0][k] = this.t[i];
      for (let j = 0; j < axes.length; ++j) cols[j + 1][k] = this[what][axes[j]][i];
    }
    return cols;
  }

  decimate(k0, n, what, axes, buckets) {
    const per = Math.ceil(n / buckets);
    const picks = [];
    for (let b = k0; b < k0 + n; b += per) {
      const end = Math.min(k0 + n, b + per);
      const keep = new Set([b]);
      for (const a of axes) {
        const series = this[what][a];
        let lo = b; let hi = b;
        for (let k = b + 1; k < end; ++k) {
          const v = series[this.at(k)];
          if (v < series[this.at(lo)]) lo = k;
          if (v > series[this.at(hi)]) hi = k;
        }
        keep.add(lo).add(hi);
      }
      picks.push(...[...keep].sort((x, y) => x - y));
    }
    const cols = [Float64Array.from(picks, (k) => this.t[this.at(k)])];
    for (const a of axes) cols.push(Float64Array.from(picks, (k) => this[what][a][this.at(k)]));
    return cols;
  }
}

export class ModuleState {
  constructor(slot) {
    this.slot = slot;
    this.meta = null;     // MODULE of the list
    this.status = null;   // the latest STATUS
    this.sample = null;   // the latest sample
    this.sampleWall = 0;  // when the latest sample was taken, in this page's clock (ms)
    this.lost = 0;
    this.ring = new Ring();
    this.log = [];        // interrupts and error changes: {time, kind, text}
    this.packets = [];    // packet trace lines
    this.program = null;  // the latest program event
    this.steps = new Map(); // step number -> text, as the runner passed them
    this.failure = null;
    this.plugged = true;
    this.version = 0;     // bumped on every change of the logs and status the panels show
    this.samples = 0;     // samples taken
    this.stops = [];      // stretches a limit or an alarm stopped: {time, from, to}
    this.trail = [];      // the monitor's trail: [t, lp1, lp2, lp3, lp4], oldest first
    this.trailSince = -1; // the newest trail time held
  }
  addTrail(points) {
    for (const p of points) if (p[0] > this.trailSince) { this.trail.push(p); this.trailSince = p[0]; }
    if (this.trail.length > 140000) this.trail.splice(0, this.trail.length - 131072);
  }
  addLog(entry) {
    this.log.push(entry);
    if (this.log.length > 300) this.log.splice(0, this.log.length - 300);
  }
  addPacket(text) {
    this.packets.push(text);
    if (this.packets.length > 300) this.packets.splice(0, this.packets.length - 300);
  }
  clock() { return this.status?.clock ?? this.meta?.clock ?? null; }
}

// A stopping error bit came on while axes had a commanded end: the stretch
// from where they stand to that end was not driven.
function noteStop(m, prev, msg) {
  if (!prev) return;
  let gained = 0; let ends = 0;
  for (let a = 0; a < 4; ++a) {
    const before = prev.axes?.[a]; const now = msg.axes?.[a];
    if (!before || !now) return;
    gained |= (now.error_code ?? 0) & ~(before.error_code ?? 0) & STOP_BITS;
    if (before.end != null) ends++;
  }
  if (!gained || !ends) return;
  const from = msg.axes.map((x) => x.lp ?? 0);
  const to = prev.axes.map((x, a) => x.end ?? from[a]);
  m.stops.push({ time: msg.time, from, to });
  if (m.stops.length > 100) m.stops.shift();
}

// Applies one line of the stream (or of a session file) to the modules.
// wallOf(mono) gives a sample's time in the page's clock, or null.
export function apply(modules, msg, wallOf) {
  const get = (slot) => {
    if (!modules.has(slot)) modules.set(slot, new ModuleState(slot));
    return modules.get(slot);
  };
  switch (msg.type) {
    case 'sample': {
      const m = get(msg.slot);
      noteStop(m, m.sample, msg);
      m.sample = msg;
      m.lost += msg.lost || 0;
      m.ring.push(msg);
      if (wallOf && msg.mono != null) m.sampleWall = wallOf(msg.mono);
      m.samples++;
      return m;
    }
    case 'status': {
      const m = get(msg.slot);
      // A STATUS the tool asked for may come after the module's final one.
      if (m.status && msg.time < m.status.time) return m;
      m.status = msg;
      m.version++;
      return m;
    }
    case 'modules':
      for (const mod of msg.modules || []) { const m = get(mod.slot); m.meta = mod; m.version++; }
      return null;
    case 'event': {
      if (msg.slot == null) return null;
      const m = get(msg.slot);
      const t = msg.time ?? 0;
      switch (msg.event) {
        case 'interrupt':
          m.addLog({ time: t, kind: 'interrupt', text: `interrupt ${(msg.names || []).join(', ')} (code 0x${(msg.code ?? 0).toString(16)})` });
          break;
        case 'errors':
          if ((msg.set || []).length) m.addLog({ time: t, kind: 'error', text: `axis ${msg.axis}: ${msg.set.join(', ')}` });
          if ((msg.cleared || []).length) m.addLog({ time: t, kind: 'cleared', text: `axis ${msg.axis} cleared: ${msg.cleared.join(', ')}` });
          break;
        case 'program':
          m.program = msg;
          if (msg.running || msg.debugging) m.steps.set(msg.step, msg.text || '');
          break;
        case 'packet':
          m.addPacket(msg.text || `#${msg.sequence} ${msg.name}`);
          break;
        case 'failure':
          m.failure = msg;
          m.addLog({ time: t, kind: 'failure', text: msg.message || msg.reason });
          break;
        case 'clock':
          if (m.status) m.status.clock = msg.clock;
          else if (m.meta) m.meta.clock = msg.clock;
          break;
        case 'module':
          m.plugged = !!msg.plugged;
          if (msg.plugged) m.status = null; // a new module: its time starts anew
          if (msg.module) m.meta = msg.module; // a module plugged after the session began
          break;
        default:
          break;
      }
      m.version++;
      return m;
    }
    default:
      return null;
  }
}
