// The Measure panel's values and texts, without a browser, each checked against one
// worked out from the bench's samples, the scope's settings and the waveforms made.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { FULL_RANGE, WAVE1, WAVE2, captureFile, loadExpected } from '../support/capture.mjs';
import { loadViewer, measuredCells } from '../support/modules.mjs';
import { parseSI } from '../support/screen.mjs';

const V = loadViewer();
const expected = loadExpected();
const { ch1, ch2 } = expected.settings;
const dt = expected.interval;
const LEVELS = 0.005, TIMES = 0.01;
const periodOf = (wave) => Number(wave.split(':')[2]);

// Levels from the samples: top and base are the most frequent value above and
// below the middle when it is a flat level (5 % of the samples), else the extreme.
function levels(samples, setting) {
  const v = setting.scale / 25, n = samples.length;
  const max = Math.max(...samples), min = Math.min(...samples), centre = (max + min) / 2;
  const flat = (side, extreme) => {
    const count = new Map();
    for (const s of samples) if (side(s)) count.set(s, (count.get(s) || 0) + 1);
    const [value, c] = [...count].sort((a, b) => b[1] - a[1] || Math.abs(a[0] - extreme) - Math.abs(b[0] - extreme))[0];
    return c >= 0.05 * n ? value : extreme;
  };
  const top = flat((s) => s >= centre, max), base = flat((s) => s <= centre, min);
  const values = { vmax: max * v, vmin: min * v, vpp: (max - min) * v, vamp: (top - base) * v,
    vavg: (samples.reduce((a, b) => a + b, 0) / n) * v, vrms: Math.sqrt(samples.reduce((a, b) => a + b * b, 0) / n) * v };
  return { top, base, values };
}

// Frequency, period and duty of a wave of P samples a period: the duty is the
// share of samples above the middle over the whole periods in the memory.
function timing(samples, P, mid) {
  const whole = samples.slice(0, Math.floor(samples.length / P) * P);
  const share = (keep) => whole.filter(keep).length / whole.length;
  return { period: P * dt, freq: 1 / (P * dt), pduty: share((s) => s > mid), nduty: share((s) => s < mid) };
}

function assertValues(cells, want, name) {
  for (const [q, value] of Object.entries(want)) {
    const cell = cells[q];
    if (value === null) {
      assert.ok(cell.value === null && cell.text === '-', `${name} ${q} must show "-", not ${cell.value} ("${cell.text}")`);
      continue;
    }
    const got = cell.value, tolerance = /^v/.test(q) ? LEVELS : TIMES;
    assert.ok(Math.abs(got - value) <= tolerance * Math.abs(value) + 1e-12,
      `${name} ${q}: the viewer gives ${got} ("${cell.text}"), the samples ${value}`);
    if (/duty/.test(q)) {
      assert.equal(cell.text, `${(got * 100).toFixed(1)} %`, `${name} ${q}`);
    } else {
      assert.match(cell.text, /^-?(\d\.\d\d|\d\d\.\d|\d{3}) [pnµmkMG]?(V|Hz|s)$/, `${name} ${q}: three digits and a prefix`);
      assert.ok(Math.abs(parseSI(cell.text) - got) <= 0.005 * Math.abs(got) + 1e-12, `${name} ${q}: "${cell.text}" is not ${got}`);
    }
  }
}

const csvCapture = (csv) => V.parseCsv(csv, 'op_scope.csv');

describe('the capture from scopecap: a sine and a square with a 30 % duty cycle', () => {
  const cells = measuredCells(V.parseScriptText(captureFile('gbookFtemp.js'), 'gbookFtemp.js'));

  test('the sine: levels from its samples, period, 10 %-90 % edges of a sine, equal halves', () => {
    const P = periodOf(WAVE1), { values, top, base } = levels(expected.samples1, ch1);
    // a sine passes from 10 % to 90 % of its swing in asin(0.8) / pi of a period
    const edge = (P * Math.asin(0.8)) / Math.PI * dt;
    assertValues(cells['1'], { ...values, ...timing(expected.samples1, P, (top + base) / 2), rise: edge, fall: edge }, 'CH1');
  });

  test('the square: its two levels, period and duty cycle; edges within one sample are "-"', () => {
    const { values, top, base } = levels(expected.samples2, ch2);
    assert.deepEqual([top, base], [20, -20]);
    const want = { ...values, ...timing(expected.samples2, periodOf(WAVE2), 0), rise: null, fall: null };
    assert.ok(Math.abs(want.pduty - 0.3) < 1e-9);
    assertValues(cells['2'], want, 'CH2');
  });
});

describe('CSV files', () => {
  test('the ramp reaches the converter\'s limits and says so; the flat line has no amplitude, edge or period', () => {
    // the capture's own op_scope.csv with the two other channels in place of its samples
    const lines = captureFile('op_scope.csv').split('\n');
    lines.splice(lines.indexOf('Waveform Data,') + 1, 4000, ...expected.fullRange.map((s, i) => `${s},${expected.flat[i]}`));
    const capture = csvCapture(lines.join('\n')), cells = measuredCells(capture);

    const P = periodOf(FULL_RANGE), ramp = expected.fullRange, { values, top, base } = levels(ramp, ch1);
    // the ramp climbs (top - base) counts in P - 1 samples, then drops within one
    const rise = 0.8 * (P - 1) * dt;
    assertValues(cells['1'], { ...values, ...timing(ramp, P, (top + base) / 2), rise, fall: null }, 'CH1');
    const notes = V.measureNotes(V.measure(capture));
    assert.equal(notes.length, 1, notes.join('\n'));
    assert.match(notes[0], /^CH1 reaches the converter's limits \(-128\/127 counts or beyond\)/);

    const none = { vamp: null, freq: null, period: null, rise: null, fall: null, pduty: null, nduty: null };
    assertValues(cells['2'], { vmax: 0, vmin: 0, vpp: 0, vavg: 0, vrms: 0, ...none }, 'CH2');
  });

  test('without a scale there are no voltages, without a sample interval no times', () => {
    const csv = captureFile('op_scope.csv').replace(/^Vertical Scale,.*$/m, 'Vertical Scale,?,')
      .replace(/^Sampling Period,.*$/m, 'Sampling Period,0,');
    const cells = measuredCells(csvCapture(csv));
    const volts = ['vmax', 'vmin', 'vpp', 'vamp', 'vavg', 'vrms'], times = ['freq', 'period', 'rise', 'fall'];
    assertValues(cells['1'], { ...Object.fromEntries([...volts, ...times].map((q) => [q, null])), pduty: 0.5, nduty: 0.5 }, 'CH1');
    assertValues(cells['2'], { vpp: levels(expected.samples2, ch2).values.vpp, freq: null, pduty: 0.3 }, 'CH2');
  });
});
