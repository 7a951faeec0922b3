// The viewer's scripts run in this node process as the page runs them: every
// script index.html loads but page.js (the page's start, which needs the page),
// in the page's order. They share one namespace, which this returns.
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { VIEWER_DIR, pageFiles } from './capture.mjs';

export function loadViewer() {
  if (!globalThis.ScopeViewer) {
    for (const f of pageFiles().filter((name) => name.endsWith('.js') && name !== 'page.js')) {
      const file = path.join(VIEWER_DIR, f);
      vm.runInThisContext(fs.readFileSync(file, 'utf8'), { filename: file });
    }
  }
  return globalThis.ScopeViewer;
}

// The Measure panel's cells as the viewer makes them for a capture:
// { channel: { quantity: { value, text, why } } }, the value null where it shows "-".
export function measuredCells(capture) {
  const V = loadViewer();
  return Object.fromEntries(V.measureRows(V.measure(capture)).map((row) => [String(row.channel.number),
    Object.fromEntries(row.cells.map((c) => [c.key,
      { value: Number.isFinite(c.value) ? c.value : null, text: c.text, why: c.why || '' }]))]));
}
