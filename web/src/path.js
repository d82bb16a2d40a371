// The path view: the positions driven by one module's axes, as traces in the
// XY plane (axes 1 and 2) and, where axis 3 moves, in XZ and YZ, with the
// current point, the commanded end of the motion running and the stretches
// that a limit or an alarm stopped. Each view keeps the two axes at one
// scale. The wheel zooms about the pointer, dragging pans, Fit shows it all.

const VIEWS = [
  { name: 'XY', h: 0, v: 1 },
  { name: 'XZ', h: 0, v: 2 },
  { name: 'YZ', h: 1, v: 2 },
];
const MOST = 6000; // points drawn per trace; more are thinned evenly

export class PathView {
  constructor(host) {
    this.host = host;
    this.canvases = VIEWS.map((view) => {
      const canvas = document.createElement('canvas');
      canvas.dataset.view = view.name;
      canvas.title = `${view.name}: wheel zooms, drag pans, Fit shows the whole path`;
      this.dragging(canvas, view);
      return canvas;
    });
    this.zoom = 1;
    this.centre = null;     // [h, v] per view name while zoomed or panned; null: fit
    this.offsets = {};      // view name -> [dh, dv] of a pan
    this.scene = null;
    host.append(...this.canvases);
  }

  // The scene: {points: [[t, lp1..lp4], ...], now: [lp1..lp4] | null,
  // end: [end1..end4 | null] | null, stops: [{from, to}]}.
  show(scene) { this.scene = scene; this.draw(); }

  fit() { this.zoom = 1; this.offsets = {}; this.draw(); }
  zoomBy(factor) { this.zoom = Math.min(1e4, Math.max(1, this.zoom * factor)); if (this.zoom === 1) this.offsets = {}; this.draw(); }

  // The views the scene needs: XY always, XZ and YZ when axis 3 moves.
  views() {
    const pts = this.scene?.points || [];
    let lo = Infinity; let hi = -Infinity;
    for (const p of pts) { lo = Math.min(lo, p[3]); hi = Math.max(hi, p[3]); }
    return VIEWS.filter((v) => v.v !== 2 || hi > lo);
  }

  // The box of everything drawn in a view, in pulses.
  bounds(view) {
    const b = [Infinity, Infinity, -Infinity, -Infinity];
    const add = (h, v) => { if (h == null || v == null) return; b[0] = Math.min(b[0], h); b[1] = Math.min(b[1], v); b[2] = Math.max(b[2], h); b[3] = Math.max(b[3], v); };
    const s = this.scene || {};
    for (const p of s.points || []) add(p[1 + view.h], p[1 + view.v]);
    if (s.now) add(s.now[view.h], s.now[view.v]);
    if (s.end) add(s.end[view.h] ?? s.now?.[view.h], s.end[view.v] ?? s.now?.[view.v]);
    for (const st of s.stops || []) { add(st.from[view.h], st.from[view.v]); add(st.to[view.h], st.to[view.v]); }
    if (!Number.isFinite(b[0])) return [-1000, -1000, 1000, 1000];
    return b;
  }

  // Pulses to pixels for a view on a canvas of w x h.
  transform(view, w, h) {
    const [h0, v0, h1, v1] = this.bounds(view);
    const pad = 24;
    const scale = Math.min((w - 2 * pad) / Math.max(h1 - h0, 10), (h - 16 - 2 * pad) / Math.max(v1 - v0, 10)) * this.zoom;
    const off = this.offsets[view.name] || [0, 0];
    const ch = (h0 + h1) / 2 + off[0];
    const cv = (v0 + v1) / 2 + off[1];
    return {
      scale,
      x: (p) => w / 2 + (p - ch) * scale,
      y: (p) => (h + 16) / 2 - (p - cv) * scale,
    };
  }

  dragging(canvas, view) {
    let from = null;
    canvas.addEventListener('wheel', (e) => {
      e.preventDefault();
      this.zoomBy(e.deltaY < 0 ? 1.25 : 0.8);
    }, { passive: false });
    canvas.addEventListener('pointerdown', (e) => { from = [e.clientX, e.clientY]; canvas.setPointerCapture(e.pointerId); });
    canvas.addEventListener('pointermove', (e) => {
      if (!from) return;
      const t = this.transform(view, canvas.clientWidth, canvas.clientHeight);
      const off = this.offsets[view.name] || [0, 0];
      this.offsets[view.name] = [off[0] - (e.clientX - from[0]) / t.scale, off[1] + (e.clientY - from[1]) / t.scale];
      from = [e.clientX, e.clientY];
      this.draw();
    });
    canvas.addEventListener('pointerup', () => { from = null; });
    canvas.addEventListener('dblclick', () => this.fit());
  }

  draw() {
    const shown = this.views();
    const width = this.host.clientWidth;
    const height = this.host.clientHeight || 260;
    const each = Math.floor((width - 8 * (shown.length - 1)) / shown.length);
    for (let i = 0; i < VIEWS.length; ++i) {
      const canvas = this.canvases[i];
      const on = shown.includes(VIEWS[i]);
      canvas.hidden = !on;
      if (!on) continue;
      const w = Math.max(120, each);
      const dpr = window.devicePixelRatio || 1;
      if (canvas.width !== Math.round(w * dpr) || canvas.height !== Math.round(height * dpr)) {
        canvas.width = Math.round(w * dpr);
        canvas.height = Math.round(height * dpr);
        canvas.style.width = `${w}px`;
        canvas.style.height = `${height}px`;
      }
      const g = canvas.getContext('2d');
      g.setTransform(dpr, 0, 0, dpr, 0, 0);
      this.drawView(g, VIEWS[i], w, height);
    }
  }

  drawView(g, view, w, h) {
    const s = this.scene || { points: [] };
    const t = this.transform(view, w, h);
    const names = ['X', 'Y', 'Z', 'U'];
    g.clearRect(0, 0, w, h);
    g.fillStyle = '#fff';
    g.fillRect(0, 0, w, h);
    // The axes through 0 and the view's name with its scale.
    g.strokeStyle = '#e5e7eb';
    g.lineWidth = 1;
    g.beginPath();
    g.moveTo(t.x(0), 16); g.lineTo(t.x(0), h);
    g.moveTo(0, t.y(0)); g.lineTo(w, t.y(0));
    g.stroke();
    g.fillStyle = '#687385';
    g.font = '11px system-ui, sans-serif';
    const bar = niceLength(80 / t.scale);
    g.fillText(`${view.name}  (${names[view.h]} →, ${names[view.v]} ↑)   ${fmt(bar)} pulses`, 4, 12);
    g.fillRect(w - 4 - bar * t.scale, 8, bar * t.scale, 2);
    // The trace.
    const pts = s.points || [];
    if (pts.length) {
      const step = Math.max(1, Math.floor(pts.length / MOST));
      g.strokeStyle = '#2563eb';
      g.lineWidth = 1.5;
      g.beginPath();
      g.moveTo(t.x(pts[0][1 + view.h]), t.y(pts[0][1 + view.v]));
      for (let k = step; k < pts.length; k += step) g.lineTo(t.x(pts[k][1 + view.h]), t.y(pts[k][1 + view.v]));
      const last = pts[pts.length - 1];
      g.lineTo(t.x(last[1 + view.h]), t.y(last[1 + view.v]));
      g.stroke();
    }
    // What a limit or an alarm stopped: from where the axes stood to where
    // they were sent, dashed red, with a cross where they stopped.
    for (const st of s.stops || []) {
      g.strokeStyle = '#dc2626';
      g.setLineDash([5, 4]);
      g.lineWidth = 1.5;
      g.beginPath();
      g.moveTo(t.x(st.from[view.h]), t.y(st.from[view.v]));
      g.lineTo(t.x(st.to[view.h]), t.y(st.to[view.v]));
      g.stroke();
      g.setLineDash([]);
      cross(g, t.x(st.from[view.h]), t.y(st.from[view.v]), 5);
    }
    // The commanded end of the motion running: a hollow square.
    if (s.end && s.now && (s.end[view.h] != null || s.end[view.v] != null)) {
      const x = t.x(s.end[view.h] ?? s.now[view.h]);
      const y = t.y(s.end[view.v] ?? s.now[view.v]);
      g.strokeStyle = '#16a34a';
      g.lineWidth = 2;
      g.strokeRect(x - 5, y - 5, 10, 10);
    }
    // The current point.
    if (s.now) {
      g.fillStyle = '#111827';
      g.beginPath();
      g.arc(t.x(s.now[view.h]), t.y(s.now[view.v]), 4, 0, 2 * Math.PI);
      g.fill();
    }
  }
}

function cross(g, x, y, r) {
  g.beginPath();
  g.moveTo(x - r, y - r); g.lineTo(x + r, y + r);
  g.moveTo(x + r, y - r); g.lineTo(x - r, y + r);
  g.stroke();
}

// 1, 2 or 5 times a power of ten, about n.
function niceLength(n) {
  const p = 10 ** Math.floor(Math.log10(Math.max(n, 1e-9)));
  return [1, 2, 5, 10].map((k) => k * p).find((k) => k >= n) || 10 * p;
}

function fmt(n) { return n >= 1000 ? `${n / 1000}k` : `${n}`; }
