// The live scope: position, speed or following error of the axes of one
// module against simulated time, drawn with uPlot. It follows the newest
// samples until paused, zoomed (drag across it; double-click zooms out) or
// triggered (position crossing a level, or an input bit's edge).
import uPlot from 'uplot';
import 'uplot/dist/uPlot.min.css';

const COLORS = ['#2563eb', '#dc2626', '#16a34a', '#9333ea'];
const UNITS = { lp: 'pulses', speed: 'pulses/s', fe: 'pulses' };
const LABELS = { lp: 'LP', speed: 'speed', fe: 'following error' };

export class Scope {
  constructor(host, bar) {
    this.host = host;
    this.what = 'lp';
    this.axes = [true, true, true, true];
    this.window = 5;
    this.following = true; // false: paused, zoomed or triggered
    this.module = null;
    this.trigger = null;   // {kind, axis, level|bit, edge, state, time}
    this.lastDraw = 0;
    this.range = null;     // the x range shown while not following
    this.bar = bar;
    this.build();
    new ResizeObserver(() => this.plot.setSize(this.size())).observe(host);
  }

  // The legend goes below the plot, inside the host.
  size() { return { width: Math.max(300, this.host.clientWidth), height: Math.max(120, (this.host.clientHeight || 230) - 26) }; }

  shown() { return [0, 1, 2, 3].filter((a) => this.axes[a]); }

  build() {
    if (this.plot) this.plot.destroy();
    const series = [{ label: 'time (s)', value: (u, v) => (v == null ? '' : v.toFixed(3)) }];
    for (const a of this.shown()) {
      series.push({ label: `axis ${a + 1} ${LABELS[this.what]}`, stroke: COLORS[a], width: 1.5, points: { show: false } });
    }
    const opts = {
      ...this.size(),
      series,
      scales: { x: { time: false } },
      axes: [
        { label: 'time (s, simulated)', labelSize: 18, size: 34 },
        { label: `${LABELS[this.what]} (${UNITS[this.what]})`, labelSize: 18, size: 86 },
      ],
      cursor: { drag: { x: true, y: false } },
      legend: { live: true },
      hooks: {
        setSelect: [(u) => {
          if (u.select.width > 4) {
            this.range = [u.posToVal(u.select.left, 'x'), u.posToVal(u.select.left + u.select.width, 'x')];
            this.following = false;
            this.updateBar();
          }
        }],
      },
    };
    this.plot = new uPlot(opts, [[], ...this.shown().map(() => [])], this.host);
    this.plot.over.addEventListener('dblclick', () => this.live());
    this.lastDraw = 0;
  }

  setWhat(what) { this.what = what; this.build(); this.draw(true); }
  setAxis(a, on) { this.axes[a] = on; this.build(); this.draw(true); }
  setWindow(s) { this.window = s; this.draw(true); }
  setModule(m) { if (m !== this.module) { this.module = m; this.trigger = null; this.live(); } }

  pause() {
    if (!this.module) return;
    if (this.following) {
      const t1 = this.module.ring.newestTime();
      this.range = [t1 - this.window, t1];
      this.following = false;
    } else {
      this.live();
      return;
    }
    this.updateBar();
  }

  live() {
    this.following = true;
    this.range = null;
    if (this.trigger && this.trigger.state === 'triggered') this.trigger = null;
    this.updateBar();
    this.draw(true);
  }

  arm(kind, axis, value, edge) {
    this.trigger = { kind, axis: axis - 1, value, edge, state: 'armed', time: null };
    this.following = true;
    this.range = null;
    this.updateBar();
  }

  // Called for every sample of the scope's module: watches the trigger.
  onSample(prev, cur) {
    const tr = this.trigger;
    if (!tr || !prev || tr.state === 'triggered') return;
    if (tr.state === 'armed') {
      const a = tr.axis;
      let before; let after;
      if (tr.kind === 'position') {
        before = (prev.axes[a]?.lp ?? 0) >= tr.value;
        after = (cur.axes[a]?.lp ?? 0) >= tr.value;
      } else {
        const bit = 1 << (tr.value & 15);
        before = ((prev.axes[a]?.inputs ?? 0) & bit) !== 0;
        after = ((cur.axes[a]?.inputs ?? 0) & bit) !== 0;
      }
      if ((tr.edge === 'rising' && !before && after) || (tr.edge === 'falling' && before && !after)) {
        tr.state = 'capturing';
        tr.time = cur.time;
      }
    }
    if (tr.state === 'capturing' && cur.time >= tr.time + this.window * 0.9) {
      tr.state = 'triggered';
      this.range = [tr.time - this.window * 0.1, tr.time + this.window * 0.9];
      this.following = false;
      this.draw(true);
    }
    this.updateBar();
  }

  updateBar() {
    const tr = this.trigger;
    let text = '';
    if (tr) {
      text = tr.state === 'armed' ? 'armed' : `${tr.state} at ${tr.time.toFixed(3)} s`;
    }
    this.bar.triggerState.textContent = text;
    this.bar.pause.classList.toggle('on', !this.following);
  }

  // The x range to show now.
  xRange() {
    const ring = this.module.ring;
    if (!this.following && this.range) return this.range;
    const t1 = ring.newestTime();
    return [t1 - this.window, t1];
  }

  // Redraws at most 15 times a second while following.
  draw(force = false) {
    if (!this.module) return;
    const now = performance.now();
    if (!force && (now - this.lastDraw < 66 || (!this.following && this.drawnRange === this.range))) return;
    this.lastDraw = now;
    const [from, to] = this.xRange();
    // At most two points per pixel column: what the plot can show, every peak kept.
    const data = this.module.ring.slice(from, to, this.what, this.shown(), 2 * this.plot.width);
    this.plot.batch(() => {
      this.plot.setData(data, false);
      this.plot.setScale('x', { min: from, max: to });
    });
    this.drawnRange = this.range;
  }

  // The samples of the visible window as CSV: time, then LP, speed and
  // following error of each axis shown.
  csv() {
    if (!this.module) return '';
    const from = this.plot.scales.x.min;
    const to = this.plot.scales.x.max;
    const axes = this.shown();
    const ring = this.module.ring;
    const cols = { lp: ring.slice(from, to, 'lp', axes), speed: ring.slice(from, to, 'speed', axes), fe: ring.slice(from, to, 'fe', axes) };
    const head = ['time'];
    for (const a of axes) head.push(`axis${a + 1}_lp`, `axis${a + 1}_speed`, `axis${a + 1}_following_error`);
    const rows = [head.join(',')];
    const n = cols.lp[0].length;
    for (let k = 0; k < n; ++k) {
      const row = [cols.lp[0][k].toFixed(6)];
      for (let j = 0; j < axes.length; ++j) row.push(cols.lp[j + 1][k], cols.speed[j + 1][k], cols.fe[j + 1][k]);
      rows.push(row.join(','));
    }
    return rows.join('\n') + '\n';
  }
}
