// Makes the capture the viewer tests load: starts the virtual oscilloscope with
// known settings and waveforms, runs scopecap against it in a fresh folder, and
// records what the bench sent (its own sample dump) beside the two files.
//
// Environment: BENCHSIM and SCOPECAP (the programs), VIEWER_OUT (the output folder;
// the capture goes to VIEWER_OUT/capture).
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { once } from 'node:events';
import { setTimeout as sleep } from 'node:timers/promises';
import { CAPTURE_DIR, FLAT, FULL_RANGE, OUT, SETTINGS, WAVE1, WAVE2, settingsLine } from './support/capture.mjs';

function fail(message) {
  console.error(`make_capture: ${message}`);
  process.exit(1);
}

const { BENCHSIM: benchsim, SCOPECAP: scopecap } = process.env;
for (const [name, file] of [['BENCHSIM', benchsim], ['SCOPECAP', scopecap]]) {
  if (!file) fail(`${name} is not set (ctest sets it; by hand: ${name}=build/.../program)`);
  if (!fs.existsSync(file)) fail(`${name} (${file}) does not exist: build it first`);
}

fs.rmSync(CAPTURE_DIR, { recursive: true, force: true });
fs.mkdirSync(CAPTURE_DIR, { recursive: true });
const settingsFile = path.join(OUT, 'settings.txt');
fs.writeFileSync(settingsFile, settingsLine() + '\n');
const benchArgs = ['--settings', settingsFile, '--wave1', WAVE1, '--wave2', WAVE2];
// the bench makes this link to its line and removes it when it ends
const link = path.join(OUT, 'com9');

// the bench prints the link's path once the line is ready
const bench = spawn(benchsim, ['scope', '--link', link, '--once', ...benchArgs], { stdio: ['ignore', 'pipe', 'pipe'] });
let benchErr = '';
bench.stderr.on('data', (d) => { benchErr += d; });
const benchExit = new Promise((resolve) => bench.on('exit', (code, signal) => resolve(code ?? signal)));
const benchOut = readline.createInterface({ input: bench.stdout });
// its first line; none when it ends or stays silent for 15 s
const [firstLine] = await Promise.race(
  [once(benchOut, 'line'), once(benchOut, 'close'), sleep(15000, [], { ref: false })]);
if (firstLine?.trim() !== link) {
  bench.kill('SIGTERM');
  fail(`benchsim did not report the link ${link} ready:\n${benchErr}`);
}

console.log(`capturing with scopecap from ${link} (takes about 10 s)`);
const run = spawnSync(scopecap, [], {
  cwd: CAPTURE_DIR,
  env: { ...process.env, COM9: link },
  timeout: 90000,
  encoding: 'latin1',
  maxBuffer: 16 << 20,
});
fs.writeFileSync(path.join(CAPTURE_DIR, 'scopecap.log'), run.stdout || '');
const stopTimer = setTimeout(() => bench.kill('SIGTERM'), 10000);
const benchEnd = await benchExit;
clearTimeout(stopTimer);
if (run.error) fail(`scopecap did not finish: ${run.error.message}`);
if (run.status !== 0) fail(`scopecap exited with ${run.status}:\n${run.stderr}\n${(run.stdout || '').slice(-2000)}`);
if (benchEnd !== 0) fail(`benchsim --once ended with ${benchEnd}:\n${benchErr}`);
for (const f of ['op_scope.csv', 'gbookFtemp.js']) {
  if (!fs.existsSync(path.join(CAPTURE_DIR, f))) fail(`scopecap wrote no ${f}`);
}

// what the bench sent: 4000 samples, one per line, and a line "interval SECONDS"
function dump(channel, args = benchArgs) {
  const r = spawnSync(benchsim, ['scope', '--dump-samples', String(channel), ...args], { encoding: 'utf8' });
  if (r.status !== 0) fail(`benchsim --dump-samples ${channel} failed: ${r.stderr}`);
  const samples = r.stdout.split('\n').filter((l) => /^-?\d+$/.test(l)).map(Number);
  const interval = Number(/^interval (\S+)$/m.exec(r.stdout)?.[1]);
  if (samples.length !== 4000) fail(`benchsim --dump-samples ${channel} gave ${samples.length} samples, not 4000`);
  if (!(interval > 0)) fail(`benchsim --dump-samples ${channel} gave no sample interval:\n${r.stdout.slice(-300)}`);
  return { samples, interval };
}
const one = dump(1), two = dump(2);

// The viewer tests take the capture files as scopecap wrote them; they only make
// sense if those files carry what the bench sent.
const csvSamples = fs.readFileSync(path.join(CAPTURE_DIR, 'op_scope.csv'), 'latin1')
  .split('\n').filter((l) => /^\s*-?\d+,\s*-?\d+$/.test(l)).map((l) => l.split(',').map(Number));
const mismatch = csvSamples.findIndex(([a, b], i) => a !== one.samples[i] || b !== two.samples[i]);
if (csvSamples.length !== 4000 || mismatch >= 0) {
  fail(`op_scope.csv does not hold the samples the bench sent (${csvSamples.length} lines, first difference at ${mismatch})`);
}

fs.writeFileSync(path.join(CAPTURE_DIR, 'expected.json'), JSON.stringify({
  settings: SETTINGS,
  interval: one.interval,
  samples1: one.samples,
  samples2: two.samples,
  fullRange: dump(1, ['--wave1', FULL_RANGE]).samples,
  flat: dump(1, ['--wave1', FLAT]).samples,
}));
console.log(`capture ready in ${CAPTURE_DIR}`);
