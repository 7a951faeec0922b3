// Where the viewer's screen puts things, worked out from the scope's rules (not
// from the page's code), and checks of a screenshot against them.
//
// The screen: 10 x 8 divisions of 60 px with the top-left corner at (20, 20);
// 25 counts per division; count 0 of a channel at Position / Scale divisions
// above the centre line; the 4000 samples spread over the 600 columns.
import assert from 'node:assert/strict';

export const LEFT = 20, TOP = 20, WIDTH = 600, HEIGHT = 480, PER_DIV = 60, COUNTS_PER_DIV = 25, MEMORY = 4000;

export function rowFor(count, setting) {
  const divisions = count / COUNTS_PER_DIV + setting.position / setting.scale;
  return TOP + HEIGHT / 2 - divisions * PER_DIV;
}

export function columnOf(index) {
  return Math.floor((index * WIDTH) / MEMORY);
}

const same = (a, b) => a[0] === b[0] && a[1] === b[1] && a[2] === b[2];

export function rowsOfColour(img, x, colour, from = TOP, to = TOP + HEIGHT) {
  const rows = [];
  for (let y = from; y <= to; y++) if (same(img.at(x, y), colour)) rows.push(y);
  return rows;
}

export function columnHasColour(img, x, colour) {
  return rowsOfColour(img, x, colour, 0, img.height - 1).length > 0;
}

// Checks one channel's trace column by column. `samples` holds null where the
// file has no sample. In each column the trace must reach every sample's row
// (within a pixel, unless another trace covers that spot or it lies off the
// screen) and must not stray beyond the rows of that column's samples and of the
// sample just before the column, which the trace joins. Fails with the first faults found.
export function assertTrace(img, samples, setting, colour, name, covering = []) {
  const faults = [];
  const byColumn = Array.from({ length: WIDTH }, () => []);
  samples.forEach((_, i) => byColumn[columnOf(i)].push(i));
  for (let c = 0; c < WIDTH && faults.length < 8; c++) {
    const x = LEFT + c;
    const have = rowsOfColour(img, x, colour);
    const idx = byColumn[c].filter((i) => samples[i] !== null);
    if (!idx.length) {
      if (have.length) faults.push(`column ${c}: no sample there, but the trace colour at rows ${have.slice(0, 5)}`);
      continue;
    }
    const rows = idx.map((i) => rowFor(samples[i], setting));
    const before = byColumn[c][0] - 1;
    const joined = before >= 0 && samples[before] !== null ? [rowFor(samples[before], setting)] : [];
    const lo = Math.min(...rows, ...joined) - 1, hi = Math.max(...rows, ...joined) + 1;
    const stray = have.filter((y) => y < lo || y > hi);
    if (stray.length) {
      faults.push(`column ${c} (samples ${idx[0]}..${idx[idx.length - 1]}): trace colour at rows ${stray.slice(0, 5)}, ` +
                  `the samples put it within ${lo.toFixed(1)}..${hi.toFixed(1)}`);
    }
    for (const r of rows) {
      if (r < TOP - 0.5 || r > TOP + HEIGHT + 0.5) continue;
      const near = have.some((y) => Math.abs(y - r) <= 1);
      const covered = covering.some((other) => [-1, 0, 1].some((d) => {
        const y = Math.round(r) + d;
        return y >= 0 && y < img.height && same(img.at(x, y), other);
      }));
      if (!near && !covered) {
        faults.push(`column ${c}: a sample belongs at row ${r.toFixed(1)}, but the trace colour is at rows ${have.slice(0, 8)}`);
        break;
      }
    }
  }
  assert.deepEqual(faults, [], `${name} is not where its samples and scale put it`);
}

// Both traces of a screen(), each allowed to lie under the other.
export function assertTraces({ img, c1, c2 }, { ch1, ch2 }, samples1, samples2, label = '') {
  assertTrace(img, samples1, ch1, c1, `CH1${label}`, [c2]);
  assertTrace(img, samples2, ch2, c2, `CH2${label}`, [c1]);
}

// Nothing of a trace's colour above or below the screen.
export function assertOnScreen(img, colour, name) {
  for (let x = LEFT; x <= LEFT + WIDTH; x++) {
    assert.deepEqual(rowsOfColour(img, x, colour, 0, TOP - 1), [], `${name} above the screen at x=${x}`);
    assert.deepEqual(rowsOfColour(img, x, colour, TOP + HEIGHT + 1, img.height - 1), [],
      `${name} below the screen at x=${x}`);
  }
}

// The highest and the lowest sample of a channel: each one's column holds the trace
// colour at the row the sample maps to and nowhere else but the rows right next to it.
// For a flat top (a square wave) the sample in the middle of the longest run is taken.
export function assertExtremes(img, samples, setting, colour, name) {
  const present = samples.filter((s) => s !== null);
  for (const [which, value] of [['max', Math.max(...present)], ['min', Math.min(...present)]]) {
    let best = -1;
    for (let i = 0, run = 0, longest = 0; i < samples.length; i++) {
      run = samples[i] === value ? run + 1 : 0;
      // the middle of the first longest run so far
      if (run > longest) [longest, best] = [run, i - (run >> 1)];
    }
    const x = LEFT + columnOf(best), r = rowFor(samples[best], setting);
    const rows = rowsOfColour(img, x, colour, 0, img.height - 1);
    assert.ok(rows.some((y) => Math.abs(y - r) <= 1), `${name} ${which} (sample ${best}, ${samples[best]} counts) ` +
      `belongs at row ${r.toFixed(1)} of column ${x}; colour found at rows ${rows}`);
    assert.ok(rows.every((y) => Math.abs(y - r) <= 4),
      `${name} ${which}: colour at rows ${rows} of column ${x}, away from row ${r.toFixed(1)}`);
  }
}

// The graticule: 11 vertical and 9 horizontal lines at 60 px, nothing between.
export function assertGraticule(img) {
  const bg = img.at(LEFT + 30, TOP + 30);
  const lit = (x, y) => !same(img.at(x, y), bg);
  for (let k = 0; k <= 10; k++) {
    for (let y = TOP + 7; y < TOP + HEIGHT; y += PER_DIV) {
      assert.ok(lit(LEFT + k * PER_DIV, y), `no vertical grid line at x=${LEFT + k * PER_DIV}`);
    }
  }
  for (let j = 0; j <= 8; j++) {
    for (let x = LEFT + 7; x < LEFT + WIDTH; x += PER_DIV) {
      assert.ok(lit(x, TOP + j * PER_DIV), `no horizontal grid line at y=${TOP + j * PER_DIV}`);
    }
  }
  assert.ok(!lit(LEFT + 30, TOP + 90) && !lit(LEFT + 570, TOP + 450), 'the screen between grid lines is not plain');
}

// Parses "1.543 ms" or "-520 mV" into a number.
export function parseSI(text) {
  const m = /^(-?[\d.]+(?:e[+-]?\d+)?)\s*([pnµumkMG]?)[A-Za-z]+$/.exec(text.trim());
  if (!m) throw new Error(`not a value with units: "${text}"`);
  const scale = { p: 1e-12, n: 1e-9, µ: 1e-6, u: 1e-6, m: 1e-3, '': 1, k: 1e3, M: 1e6, G: 1e9 }[m[2]];
  return Number(m[1]) * scale;
}
