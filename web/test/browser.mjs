// Debian's Chromium, headless, driven by Playwright: never a browser of
// Playwright's own, and no network beyond the page on 127.0.0.1.
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = process.env.VELKOR_CHROMIUM || '/usr/bin/chromium';

export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'velkor-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width: 1280, height: 800 },
    acceptDownloads: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const close = async () => {
    await context.close().catch(() => {});
    rmSync(profile, { recursive: true, force: true });
  };
  return { context, close };
}
