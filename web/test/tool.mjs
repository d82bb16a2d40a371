// The velkor tool as the tests run it: the page's address from what it
// prints, its exit code, and an end when the test is over.
import { spawn } from 'node:child_process';

export function startTool(velkor, args, env = {}) {
  // A process group of its own, so that its end takes the application with it.
  const child = spawn(velkor, args, { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, ...env }, detached: true });
  let output = '';
  let resolveUrl; let rejectUrl;
  const url = new Promise((resolve, reject) => { resolveUrl = resolve; rejectUrl = reject; });
  const timer = setTimeout(() => rejectUrl(new Error(`velkor printed no address in 30 s:\n${output}`)), 30000);
  const take = (chunk) => {
    output += chunk;
    const m = output.match(/the bench page is at (http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]{32})/);
    if (m) { clearTimeout(timer); resolveUrl(m[1]); }
  };
  child.stdout.on('data', take);
  child.stderr.on('data', take);
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => {
    clearTimeout(timer);
    rejectUrl(new Error(`velkor ended (${code ?? signal}) before it printed an address:\n${output}`));
    resolve(code ?? 128);
  }));
  url.catch(() => {});
  return {
    child, url, exited,
    get output() { return output; },
    kill() {
      try { process.kill(-child.pid, 'SIGTERM'); } catch { /* already gone */ }
    },
  };
}

// Polls a condition every 50 ms for at most ms; fails naming what it waited for.
export async function waitFor(condition, ms, what) {
  const until = Date.now() + ms;
  let last;
  for (;;) {
    try {
      if (await condition()) return;
    } catch (e) {
      last = e;
    }
    if (Date.now() > until) throw new Error(`timed out after ${ms} ms waiting until ${what}${last ? ` (${last.message})` : ''}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}
