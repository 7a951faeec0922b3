// The capture viewer: draws what the oscilloscope screen showed, from the files
// scopecap writes ("./gbookFtemp.js", "./op_scope.csv", "./op_scope1.csv",
// "./op_scope2.csv").
//
// Screen mapping, the same for both files and both channels:
// - 10 x 8 divisions of 60 px; the plot's top-left corner is at (20, 20).
// - Vertical: raw converter counts, 25 counts per division, so the 8 divisions
//   hold 200 of the 256 counts. A channel's count 0 sits Position / Scale
//   divisions above the centre line, as a positive position lifts the trace on
//   the scope. The script's displayOffset1/2 say the same in fiftieths of a
//   division, but with opposite signs for the two channels, and the CSV file has
//   no such line, so both channels are placed from Position and Scale.
// - A voltage is counts / 25 * Scale: the position moves the trace, not the signal.
// - Horizontal: the whole sample memory (4000 samples) spans the 10 divisions,
//   so a division is 400 sample intervals.
(function () {
  'use strict';

  var DIVS_X = 10, DIVS_Y = 8, PX_PER_DIV = 60;
  var LEFT = 20, TOP = 20;
  var W = DIVS_X * PX_PER_DIV, H = DIVS_Y * PX_PER_DIV;
  var CANVAS_W = 640, CANVAS_H = 520;
  var COUNTS_PER_DIV = 25;
  var MEMORY_LENGTH = 4000;
  var MAX_LISTED = 5;            // damaged lines named one by one before summing up
  var PROBE_NAMES = ['1X', '10X', '100X'];

  var COLOURS = {
    background: '#11161b',
    grid: '#3a444e',
    axis: '#6b7885',
    border: '#8c98a4'
  };

  var canvas = document.getElementById('screen');
  var ctx = canvas.getContext('2d');
  var cursorLine = document.getElementById('cursor');
  var readout = document.getElementById('readout');
  var statusLine = document.getElementById('status');
  var messageBox = document.getElementById('message');
  var legend = document.getElementById('legend');
  var fileInput = document.getElementById('file-input');
  var dropVeil = document.getElementById('drop-veil');
  var measurePanel = document.getElementById('measure');
  var measureTable = document.getElementById('measurements');
  var measureNotes = document.getElementById('measure-notes');
  var saveButton = document.getElementById('save-png');

  var shown = null;              // the capture on screen
  var READOUT_HINT = readout.textContent;

  function channelColour(n) {
    var v = getComputedStyle(document.documentElement).getPropertyValue('--ch' + n).trim();
    return v || (n === 1 ? '#ffdd00' : '#00c8ff');
  }

  // ---- numbers and text ----

  // Numbers as C's %e, %G and %E print them; three-digit exponents come from
  // Windows builds. glibc writes non-finite values as inf/nan.
  var NUMBER = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;

  function parseNumber(text) {
    var t = String(text).trim();
    if (NUMBER.test(t)) return parseFloat(t);
    if (/^[+-]?inf(inity)?$/i.test(t)) return t.charAt(0) === '-' ? -Infinity : Infinity;
    return NaN;
  }

  var PREFIXES = { '-12': 'p', '-9': 'n', '-6': '\u00b5', '-3': 'm', '0': '', '3': 'k', '6': 'M', '9': 'G' };

  // 4 significant digits with an SI prefix: 0.0005 -> "500 µs"
  function si(value, unit) {
    if (typeof value !== 'number' || !isFinite(value)) return '? ' + unit;
    if (value === 0) return '0 ' + unit;
    var exp = Math.floor(Math.log10(Math.abs(value)) / 3) * 3;
    exp = Math.max(-12, Math.min(9, exp));
    var mantissa = Number((value / Math.pow(10, exp)).toPrecision(4));
    if (Math.abs(mantissa) >= 1000 && exp < 9) {
      exp += 3;
      mantissa = Number((value / Math.pow(10, exp)).toPrecision(4));
    }
    return mantissa + ' ' + PREFIXES[exp] + unit;
  }

  function quoteLine(text) {
    var t = text.length > 40 ? text.slice(0, 40) + '…' : text;
    return '"' + t + '"';
  }

  // ---- the capture model, shared by both file formats ----

  function newCapture(source) {
    return {
      source: source,
      memoryLength: MEMORY_LENGTH,
      interval: NaN,
      channels: [],
      settings: {},          // what the CSV header adds: trigger, time base, mode
      problems: [],          // shown in the message box
      notes: [],             // shown under the legend
      damaged: [],           // { line, text, why }
      damagedCount: 0
    };
  }

  function newChannel(number, memoryLength) {
    var samples = new Array(memoryLength);
    for (var i = 0; i < memoryLength; i++) samples[i] = null;
    return { number: number, scale: NaN, position: NaN, units: 'V', probe: '', samples: samples, offsetCounts: 0 };
  }

  function noteDamaged(capture, lineNo, text, why) {
    capture.damagedCount++;
    if (capture.damaged.length < MAX_LISTED) capture.damaged.push({ line: lineNo, text: text, why: why });
  }

  function sampleCount(ch) {
    var n = 0;
    for (var i = 0; i < ch.samples.length; i++) if (ch.samples[i] !== null) n++;
    return n;
  }

  // Checks what both loaders leave behind and works out each channel's placement.
  function finish(capture) {
    var p = capture.problems;
    if (capture.damagedCount > 0) {
      var parts = capture.damaged.map(function (d) {
        return (typeof d.line === 'number' ? 'line ' + d.line : d.line) + ' ' + quoteLine(d.text) + ': ' + d.why;
      });
      var more = capture.damagedCount - capture.damaged.length;
      p.push(capture.damagedCount + (capture.damagedCount === 1 ? ' damaged line' : ' damaged lines') +
             ' skipped: ' + parts.join('; ') + (more > 0 ? '; and ' + more + ' more' : '') + '.');
    }
    if (!(capture.interval > 0) || !isFinite(capture.interval)) {
      p.push('The sample interval is missing or not a positive number: times are unknown.');
    }
    capture.channels.forEach(function (ch) {
      var name = 'CH' + ch.number;
      var scaleOk = isFinite(ch.scale) && ch.scale !== 0;
      if (!scaleOk) {
        p.push(name + ' scale is ' + (isNaN(ch.scale) ? 'missing or unreadable' : String(ch.scale)) +
               ': its voltages are unknown and its trace is drawn unshifted.');
      } else if (!isFinite(ch.position)) {
        p.push(name + ' position is missing or unreadable: its trace is drawn unshifted.');
      }
      ch.offsetCounts = scaleOk && isFinite(ch.position) ? ch.position / ch.scale * COUNTS_PER_DIV : 0;

      var outside = 0, beyond = 0;
      ch.samples.forEach(function (v) {
        if (v === null) return;
        if (v < -128 || v > 127) outside++;
        var d = (v + ch.offsetCounts) / COUNTS_PER_DIV;
        if (d > DIVS_Y / 2 || d < -DIVS_Y / 2) beyond++;
      });
      if (outside) capture.notes.push(name + ': ' + outside + ' samples lie outside the converter\'s range -128..127.');
      if (beyond) capture.notes.push(name + ': ' + beyond + ' samples lie beyond the top or bottom of the screen.');
    });
    var counts = capture.channels.map(sampleCount);
    var have = Math.max.apply(null, counts.concat([0]));
    capture.sampleCount = have;
    if (capture.channels.length && have < capture.memoryLength) {
      p.push('The file holds ' + have + ' of ' + capture.memoryLength + ' samples' +
             (capture.channels.length > 1 ? ' per channel' : '') + '; where samples are missing the screen stays empty.');
    }
    return capture;
  }

  // ---- "./gbookFtemp.js" run as a script: the page defines gbF, the file calls it ----

  var scriptCapture = null;      // what the running script feeds
  var scriptErrors = [];

  function storePair(capture, index, s1, s2, where) {
    var ch1 = capture.channels[0], ch2 = capture.channels[1];
    if (!(index >= 0 && index < capture.memoryLength)) {
      capture.extraPairs = (capture.extraPairs || 0) + 1;
      return;
    }
    if (ch1.samples[index] !== null || ch2.samples[index] !== null) capture.duplicates = (capture.duplicates || 0) + 1;
    var a = Number(s1), b = Number(s2);
    if (Number.isInteger(a) && Number.isInteger(b)) {
      ch1.samples[index] = a;
      ch2.samples[index] = b;
    } else {
      noteDamaged(capture, where, String(s1) + ',' + String(s2), 'the samples are not whole numbers');
    }
  }

  function pairIndex(number, fallback) {
    var t = String(number);
    return /^\d+$/.test(t) ? parseInt(t, 10) : fallback;
  }

  window.gbF = function (name, user, date, ip, s1, s2, z1, z2, number) {
    if (!scriptCapture) return;
    var index = pairIndex(number, scriptCapture.calls);
    scriptCapture.calls++;
    storePair(scriptCapture, index, s1, s2, 'gbF call ' + scriptCapture.calls);
  };

  // a build whose printf wrote inf or nan still leaves a runnable script
  window.inf = Infinity;
  window.nan = NaN;

  window.addEventListener('error', function (e) {
    // a damaged capture script stops here; the count of gbF calls so far tells how far it got
    if (scriptCapture) {
      scriptErrors.push(e.message + (e.lineno ? ' (line ' + e.lineno + ')' : ''));
    }
  });

  function scriptGlobal(name) {
    var v = window[name];
    if (typeof v === 'number') return v;
    if (typeof v === 'string') return parseNumber(v);
    return NaN;
  }

  function newScriptCapture(source) {
    var capture = newCapture(source);
    capture.kind = 'script';
    capture.calls = 0;
    capture.channels = [newChannel(1, capture.memoryLength), newChannel(2, capture.memoryLength)];
    return capture;
  }

  function extraScriptProblems(capture) {
    if (capture.extraPairs) {
      capture.problems.push(capture.extraPairs + ' sample pairs carry numbers beyond ' +
                            (capture.memoryLength - 1) + ' and are left out.');
    }
    if (capture.duplicates) {
      capture.problems.push(capture.duplicates + ' sample numbers appear more than once; the last one is shown.');
    }
  }

  function loadScript(url, label) {
    var capture = newScriptCapture(label);
    var el = document.createElement('script');
    el.src = url;
    capture.url = el.src;
    scriptCapture = capture;
    scriptErrors = [];
    setStatus('loading', 'Loading ' + label + '…');

    el.onload = function () {
      scriptCapture = null;
      capture.channels[0].scale = scriptGlobal('Vertical1Scale');
      capture.channels[0].position = scriptGlobal('Vertical1Position');
      capture.channels[1].scale = scriptGlobal('Vertical2Scale');
      capture.channels[1].position = scriptGlobal('Vertical2Position');
      if (typeof window.Vertical1Units === 'string') capture.channels[0].units = window.Vertical1Units;
      if (typeof window.Vertical2Units === 'string') capture.channels[1].units = window.Vertical2Units;
      capture.interval = scriptGlobal('timeInterval');

      // a page opened from disk gets only "Script error." for a file beside it
      var error = scriptErrors.length ? scriptErrors[0].replace(/\.$/, '') : '';
      var detail = /^Script error/.test(error) ? 'the browser gives no details' : error;
      if (capture.calls === 0) {
        // with no sample there is nothing to check further: one message says it all
        capture.problems.push(error
          ? label + ' could not be run (' + detail + '). The file is damaged, perhaps cut in the middle ' +
            'of a line. Open it with the file button above to see its intact lines, or open op_scope.csv ' +
            'from the same capture.'
          : label + ' ran but called gbF for no sample: it is not a capture, or it is empty.');
        capture.channels = [];
        show(capture);
        return;
      }
      if (error) {
        capture.problems.push(label + ' stopped at an error after ' + capture.calls + ' sample pairs (' + detail + ').');
      }
      extraScriptProblems(capture);
      show(finish(capture));
    };
    el.onerror = function () {
      scriptCapture = null;
      if (label === './gbookFtemp.js') {
        showNothing('No ./gbookFtemp.js next to this page.',
          'Open a capture with the button above or drop op_scope.csv or gbookFtemp.js on the page; ' +
          'or open this page as index.html?js=PATH/gbookFtemp.js.');
      } else {
        showNothing(label + ' could not be loaded.', 'Check the path, or open the file with the button above.');
      }
    };
    document.head.appendChild(el);
  }

  // ---- "./gbookFtemp.js" read as text (file button or drop): never run, read line by line ----

  var SCRIPT_VAR = /^(?:var\s+)?(Vertical[12](?:Units|Scale|Position)|displayOffset[12]|timeInterval)\s*=\s*(.*?);?\s*$/;
  var GBF_LINE = /^gbF\(\s*'[^']*'\s*,\s*'[^']*'\s*,\s*'[^']*'\s*,\s*'[^']*'\s*,\s*([+-]?\d+)\s*,\s*([+-]?\d+)\s*,[^,]*,[^,]*,\s*'(\d+)'\s*\);\s*$/;

  function parseScriptText(text, label) {
    var capture = newScriptCapture(label);
    var lines = text.split(/\r\n|\n|\r/);
    if (lines.length && lines[lines.length - 1] === '') lines.pop();
    var ch1 = capture.channels[0], ch2 = capture.channels[1];
    var seenVar = {};
    lines.forEach(function (line, k) {
      var lineNo = k + 1, m;
      if ((m = GBF_LINE.exec(line))) {
        storePair(capture, pairIndex(m[3], capture.calls), m[1], m[2], lineNo);
        capture.calls++;
        return;
      }
      if ((m = SCRIPT_VAR.exec(line))) {
        var name = m[1], value = m[2];
        seenVar[name] = true;
        if (/Units$/.test(name)) {
          var u = /^'([^']*)'$/.exec(value);
          if (u) (name.charAt(8) === '1' ? ch1 : ch2).units = u[1];
          else noteDamaged(capture, lineNo, line, 'the units are not a quoted text');
          return;
        }
        if (/^displayOffset/.test(name)) return;   // placement comes from Position and Scale
        var v = parseNumber(value);
        if (isNaN(v)) noteDamaged(capture, lineNo, line, 'the value is not a number');
        if (name === 'timeInterval') capture.interval = v;
        else if (name === 'Vertical1Scale') ch1.scale = v;
        else if (name === 'Vertical1Position') ch1.position = v;
        else if (name === 'Vertical2Scale') ch2.scale = v;
        else if (name === 'Vertical2Position') ch2.position = v;
        return;
      }
      if (line.trim() === '') return;
      noteDamaged(capture, lineNo, line, /^gbF\(/.test(line) ? 'not a complete gbF call' : 'not a line of a capture script');
    });
    if (capture.calls === 0 && !Object.keys(seenVar).length) {
      capture.problems.push(label + ' holds no line of a capture script.');
    }
    extraScriptProblems(capture);
    return finish(capture);
  }

  // ---- "./op_scope.csv" (and the single-channel op_scope1.csv / op_scope2.csv) ----

  function parseCsv(text, label) {
    var capture = newCapture(label);
    capture.kind = 'csv';
    var lines = text.split(/\r\n|\n|\r/);
    if (lines.length && lines[lines.length - 1] === '') lines.pop();

    // settings listing, then "Label,value," header lines, then samples, then the end line
    var k = 0, header = {}, listingProbe2 = null, group = '';
    for (; k < lines.length && !/^Memory Length,/.test(lines[k]); k++) {
      var item = lines[k];
      if (item.charAt(0) === ':') group = item;
      var probe = /^\s+PROBe\s+(\S+)/.exec(item);
      if (probe && /^:CHAN\w*2/i.test(group)) listingProbe2 = parseNumber(probe[1]);
    }
    if (k === lines.length) {
      capture.problems.push(label + ' is not a capture: it has no "Memory Length," line.');
      return finishCsvFailed(capture);
    }
    for (; k < lines.length && !/^Waveform Data,/.test(lines[k]); k++) {
      var comma = lines[k].indexOf(',');
      if (comma < 0) {
        noteDamaged(capture, k + 1, lines[k], 'not a "label,value," header line');
        continue;
      }
      header[lines[k].slice(0, comma)] = { value: lines[k].slice(comma + 1).replace(/,\s*$/, '').trim(), line: k + 1 };
    }
    if (k === lines.length) {
      capture.problems.push(label + ' has no "Waveform Data," line: no samples could be read.');
    }
    k++;

    function headerNumber(name) {
      var h = header[name];
      if (!h) return NaN;
      var v = parseNumber(h.value);
      if (isNaN(v)) noteDamaged(capture, h.line, name + ',' + h.value + ',', 'the value is not a number');
      return v;
    }

    var memory = headerNumber('Memory Length');
    if (Number.isInteger(memory) && memory > 0 && memory <= 1000000) capture.memoryLength = memory;
    else capture.problems.push('The memory length is not a usable number; 4000 samples span the screen.');

    var dual = 'Vertical2 Scale' in header || 'Vertical2 Position' in header || 'Vertical2 Units' in header;
    var source = header.Source ? header.Source.value : '';
    var single = dual ? 0 : (source === 'CH2' ? 2 : 1);
    var first = newChannel(dual ? 1 : single, capture.memoryLength);
    first.scale = headerNumber('Vertical Scale');
    first.position = headerNumber('Vertical Position');
    if (header['Vertical Units']) first.units = header['Vertical Units'].value;
    if (header.Probe) first.probe = header.Probe.value;
    capture.channels.push(first);
    if (dual) {
      var second = newChannel(2, capture.memoryLength);
      second.scale = headerNumber('Vertical2 Scale');
      second.position = headerNumber('Vertical2 Position');
      if (header['Vertical2 Units']) second.units = header['Vertical2 Units'].value;
      if (Number.isInteger(listingProbe2) && PROBE_NAMES[listingProbe2]) second.probe = PROBE_NAMES[listingProbe2];
      capture.channels.push(second);
    }
    capture.interval = headerNumber('Sampling Period');
    capture.settings = {
      dual: dual,
      source: source,
      triggerLevel: headerNumber('Trigger Level'),
      timeBase: headerNumber('Horizontal Scale'),
      delay: headerNumber('Horizontal Position'),
      horizontalMode: header['Horizontal Mode'] ? header['Horizontal Mode'].value : '',
      mode: header.Mode ? header.Mode.value : ''
    };

    var pattern = dual ? /^\s*([+-]?\d+)\s*,\s*([+-]?\d+)\s*$/ : /^\s*([+-]?\d+)\s*,\s*$/;
    var index = 0, ended = false, extra = 0;
    for (; k < lines.length; k++) {
      var line = lines[k];
      if (/^=+\s*$/.test(line)) {
        ended = true;
        break;
      }
      if (index >= capture.memoryLength) {
        extra++;
        continue;
      }
      var m = pattern.exec(line);
      if (m) {
        first.samples[index] = parseInt(m[1], 10);
        if (dual) capture.channels[1].samples[index] = parseInt(m[2], 10);
      } else {
        noteDamaged(capture, k + 1, line, dual ? 'not a sample pair "s1,s2"' : 'not a sample line "s,"');
      }
      index++;
    }
    if (extra) capture.problems.push(extra + ' sample lines beyond the memory length of ' + capture.memoryLength + ' are left out.');
    if (!ended) capture.problems.push(label + ' ends without its closing line of "=" signs: it may be cut short.');
    return finish(capture);
  }

  function finishCsvFailed(capture) {
    capture.channels = [];
    return capture;
  }

  function parseText(text, name) {
    var label = name || 'the file';
    var looksCsv = /\.csv$/i.test(label) || /^Memory Length,/m.test(text);
    var looksScript = /\.js$/i.test(label) || /^gbF\(/m.test(text);
    if (looksScript && !looksCsv) return parseScriptText(text, label);
    return parseCsv(text, label);
  }

  // ---- measurements, as the scope's Measure menu gives them ----

  var QUANTITIES = [
    { key: 'vmax', label: 'Vmax', unit: 'V' }, { key: 'vmin', label: 'Vmin', unit: 'V' },
    { key: 'vpp', label: 'Vpp', unit: 'V' }, { key: 'vamp', label: 'Vamp', unit: 'V' },
    { key: 'vavg', label: 'Vavg', unit: 'V' }, { key: 'vrms', label: 'Vrms', unit: 'V' },
    { key: 'freq', label: 'Freq', unit: 'Hz' }, { key: 'period', label: 'Period', unit: 's' },
    { key: 'rise', label: 'Rise', unit: 's' }, { key: 'fall', label: 'Fall', unit: 's' },
    { key: 'pduty', label: '+Duty', unit: '%' }, { key: 'nduty', label: '-Duty', unit: '%' }
  ];
  var FLAT_SHARE = 0.05;         // a level held by fewer samples than this is no flat top
  var CONVERTER_MIN = -128, CONVERTER_MAX = 127;

  // 3 significant digits with an SI prefix, trailing zeros kept: "2.00 V", "200 µs"
  function si3(value, unit) {
    if (unit === '%') return (value * 100).toFixed(1) + ' %';
    if (value === 0) return '0.00 ' + unit;
    var exp = Math.max(-12, Math.min(9, Math.floor(Math.log10(Math.abs(value)) / 3) * 3));
    var text = (value / Math.pow(10, exp)).toPrecision(3);
    if (Math.abs(parseFloat(text)) >= 1000 && exp < 9) {
      exp += 3;
      text = (value / Math.pow(10, exp)).toPrecision(3);
    }
    return text + ' ' + PREFIXES[exp] + unit;
  }

  // The most frequent value on one side of the middle; where it holds too few of
  // the samples to be a flat level (a sine, a ramp) the extreme stands in.
  function flatLevel(histogram, n, from, to, extreme) {
    var best = extreme, bestCount = 0;
    Object.keys(histogram).forEach(function (k) {
      var v = Number(k), c = histogram[k];
      if (v < from || v > to) return;
      if (c > bestCount || (c === bestCount && Math.abs(v - extreme) < Math.abs(best - extreme))) {
        best = v;
        bestCount = c;
      }
    });
    return bestCount >= FLAT_SHARE * n ? best : extreme;
  }

  // Where between samples i-1 and i the trace passes level, in sample intervals.
  function crossingAt(s, i, level) {
    return i - 1 + (level - s[i - 1]) / (s[i] - s[i - 1]);
  }

  // Crossings of the middle level, each counted once the trace has gone a tenth
  // of the amplitude across (mid +- amp/20), so noise on the level makes no edge.
  // Each is placed where the trace last passed the middle on the way.
  function midCrossings(s, mid, band) {
    var out = [], state = 0, candidate = NaN;
    for (var i = 0; i < s.length; i++) {
      var v = s[i];
      if (v === null) {
        state = 0;
        candidate = NaN;
        continue;
      }
      if (i > 0 && s[i - 1] !== null && (s[i - 1] >= mid) !== (v >= mid)) candidate = crossingAt(s, i, mid);
      if (v >= mid + band && state <= 0) {
        if (state < 0 && !isNaN(candidate)) out.push({ at: candidate, rising: true });
        state = 1;
      } else if (v <= mid - band && state >= 0) {
        if (state > 0 && !isNaN(candidate)) out.push({ at: candidate, rising: false });
        state = -1;
      }
    }
    return out;
  }

  // 10 % to 90 % of one edge, searched from its middle crossing out to the
  // crossings either side. NaN for an edge cut by the memory's ends or a gap;
  // Infinity for one that passes both levels between two samples.
  function edgeTime(s, c, from, to, lo, hi) {
    var up = c.rising, start = NaN, end = NaN, i, j;
    var below = function (v, level) { return up ? v < level : v > level; };
    for (i = Math.ceil(c.at); i > from && s[i - 1] !== null; i--) {
      if (below(s[i - 1], up ? lo : hi) && !below(s[i], up ? lo : hi)) {
        start = crossingAt(s, i, up ? lo : hi);
        break;
      }
    }
    for (j = Math.max(Math.ceil(c.at), 1); j < to && s[j] !== null; j++) {
      if (below(s[j - 1], up ? hi : lo) && !below(s[j], up ? hi : lo)) {
        end = crossingAt(s, j, up ? hi : lo);
        break;
      }
    }
    if (isNaN(start) || isNaN(end)) return NaN;
    return i === j ? Infinity : end - start;
  }

  // The mean of the edges' times; Infinity when an edge is faster than one sample.
  function meanEdge(s, crossings, rising, lo, hi) {
    var sum = 0, n = 0;
    for (var k = 0; k < crossings.length; k++) {
      var c = crossings[k];
      if (c.rising !== rising) continue;
      var from = k > 0 ? Math.floor(crossings[k - 1].at) : 0;
      var to = k + 1 < crossings.length ? Math.ceil(crossings[k + 1].at) + 1 : s.length;
      var t = edgeTime(s, c, from, to, lo, hi);
      if (isNaN(t)) continue;
      sum += t;
      n++;
    }
    return n ? sum / n : NaN;
  }

  // One channel's values in volts, seconds, hertz and fractions of a period;
  // NaN where the capture cannot give the quantity.
  function measureChannel(ch, interval) {
    var s = ch.samples, n = 0, sum = 0, squares = 0, max = -Infinity, min = Infinity, histogram = {};
    s.forEach(function (v) {
      if (v === null) return;
      n++;
      sum += v;
      squares += v * v;
      if (v > max) max = v;
      if (v < min) min = v;
      histogram[v] = (histogram[v] || 0) + 1;
    });
    var volts = isFinite(ch.scale) && ch.scale !== 0 ? ch.scale / COUNTS_PER_DIV : NaN;
    var dt = interval > 0 && isFinite(interval) ? interval : NaN;
    var r = {
      clipped: min <= CONVERTER_MIN || max >= CONVERTER_MAX,
      vmax: max * volts, vmin: min * volts, vpp: (max - min) * volts,
      vavg: sum / n * volts, vrms: Math.sqrt(squares / n) * Math.abs(volts),
      vamp: NaN, freq: NaN, period: NaN, rise: NaN, fall: NaN, pduty: NaN, nduty: NaN
    };
    if (max === min) return r;
    var centre = (max + min) / 2;
    var top = flatLevel(histogram, n, centre, max, max), base = flatLevel(histogram, n, min, centre, min);
    var amp = top - base;
    r.vamp = amp * volts;
    if (!(amp > 0)) return r;

    var crossings = midCrossings(s, (top + base) / 2, amp / 20);
    var rising = crossings.filter(function (c) { return c.rising; });
    var falling = crossings.filter(function (c) { return !c.rising; });
    var edges = rising.length >= falling.length ? rising : falling;
    if (edges.length < 2) return r;
    var period = (edges[edges.length - 1].at - edges[0].at) / (edges.length - 1);
    r.period = period * dt;
    r.freq = 1 / r.period;

    var high = [], low = [];
    for (var k = 1; k < crossings.length; k++) {
      if (crossings[k].rising === crossings[k - 1].rising) continue;   // a gap between them
      (crossings[k - 1].rising ? high : low).push(crossings[k].at - crossings[k - 1].at);
    }
    var mean = function (a) { return a.length ? a.reduce(function (x, y) { return x + y; }, 0) / a.length : NaN; };
    r.pduty = mean(high) / period;
    r.nduty = mean(low) / period;

    var lo = base + 0.1 * amp, hi = base + 0.9 * amp;
    r.rise = meanEdge(s, crossings, true, lo, hi) * dt;
    r.fall = meanEdge(s, crossings, false, lo, hi) * dt;
    return r;
  }

  function measure(capture) {
    return capture.channels.filter(function (ch) { return sampleCount(ch) > 0; }).map(function (ch) {
      return { channel: ch, values: measureChannel(ch, capture.interval) };
    });
  }

  // What a cell shows: the value, or "-" with the reason as a tooltip.
  function shownValue(q, value, units) {
    if (value === Infinity) return { text: '-', why: 'the edge is faster than one sample interval' };
    if (!isFinite(value)) return { text: '-', why: 'this capture cannot give it' };
    return { text: si3(value, q.unit === 'V' ? units : q.unit) };
  }

  // ---- drawing ----

  function setupCanvas() {
    var ratio = window.devicePixelRatio || 1;
    canvas.width = Math.round(CANVAS_W * ratio);
    canvas.height = Math.round(CANVAS_H * ratio);
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  }

  function drawGraticule() {
    ctx.fillStyle = COLOURS.background;
    ctx.fillRect(0, 0, CANVAS_W, CANVAS_H);
    ctx.fillStyle = COLOURS.grid;
    for (var i = 1; i < DIVS_X; i++) ctx.fillRect(LEFT + i * PX_PER_DIV, TOP, 1, H + 1);
    for (var j = 1; j < DIVS_Y; j++) ctx.fillRect(LEFT, TOP + j * PX_PER_DIV, W + 1, 1);
    // the centre lines carry five ticks per division, as on the scope
    var cx = LEFT + W / 2, cy = TOP + H / 2, step = PX_PER_DIV / 5;
    ctx.fillStyle = COLOURS.axis;
    ctx.fillRect(cx, TOP, 1, H + 1);
    ctx.fillRect(LEFT, cy, W + 1, 1);
    for (var x = LEFT; x <= LEFT + W; x += step) ctx.fillRect(x, cy - 2, 1, 5);
    for (var y = TOP; y <= TOP + H; y += step) ctx.fillRect(cx - 2, y, 5, 1);
    ctx.fillStyle = COLOURS.border;
    ctx.fillRect(LEFT, TOP, W + 1, 1);
    ctx.fillRect(LEFT, TOP + H, W + 1, 1);
    ctx.fillRect(LEFT, TOP, 1, H + 1);
    ctx.fillRect(LEFT + W, TOP, 1, H + 1);
  }

  function rowOf(ch, count) {
    return Math.round(TOP + H / 2 - (count + ch.offsetCounts) * PX_PER_DIV / COUNTS_PER_DIV);
  }

  // One pixel column holds several samples: it is filled from the highest to the
  // lowest of them, joined to the last sample of the column before, so steps stay
  // connected. Rows beyond the screen are cut off.
  function drawTrace(ch, memoryLength, colour) {
    var s = ch.samples;
    ctx.fillStyle = colour;
    for (var c = 0; c < W; c++) {
      var from = Math.ceil(c * memoryLength / W), to = Math.ceil((c + 1) * memoryLength / W) - 1;
      var hi = Infinity, lo = -Infinity, any = false;
      for (var i = from; i <= to; i++) {
        if (s[i] === null || s[i] === undefined) continue;
        var r = rowOf(ch, s[i]);
        hi = Math.min(hi, r);
        lo = Math.max(lo, r);
        any = true;
      }
      if (!any) continue;
      if (from > 0 && s[from - 1] !== null && s[from - 1] !== undefined) {
        var rp = rowOf(ch, s[from - 1]);
        hi = Math.min(hi, rp);
        lo = Math.max(lo, rp);
      }
      var top = Math.max(hi, TOP), bottom = Math.min(lo, TOP + H);
      if (top <= bottom) ctx.fillRect(LEFT + c, top, 1, bottom - top + 1);
    }
  }

  // the channel's 0 V level, marked in the left margin like the scope's ground marker
  function drawMarker(ch, colour) {
    var row = rowOf(ch, 0) + 0.5;
    var y = Math.max(TOP, Math.min(TOP + H, row));
    ctx.fillStyle = colour;
    ctx.beginPath();
    if (row < TOP) {
      ctx.moveTo(4, TOP + 10); ctx.lineTo(16, TOP + 10); ctx.lineTo(10, TOP);
    } else if (row > TOP + H) {
      ctx.moveTo(4, TOP + H - 10); ctx.lineTo(16, TOP + H - 10); ctx.lineTo(10, TOP + H);
    } else {
      ctx.moveTo(3, y - 7); ctx.lineTo(3, y + 7); ctx.lineTo(17, y);
    }
    ctx.closePath();
    ctx.fill();
    ctx.fillStyle = COLOURS.background;
    ctx.font = 'bold 9px sans-serif';
    ctx.textAlign = 'center';
    ctx.textBaseline = 'middle';
    if (row >= TOP && row <= TOP + H) ctx.fillText(String(ch.number), 8, y + 0.5);
  }

  function draw(capture) {
    setupCanvas();
    drawGraticule();
    if (!capture) return;
    capture.channels.forEach(function (ch) {
      if (sampleCount(ch)) drawTrace(ch, capture.memoryLength, channelColour(ch.number));
    });
    capture.channels.forEach(function (ch) {
      if (isFinite(ch.offsetCounts)) drawMarker(ch, channelColour(ch.number));
    });
  }

  // ---- the page around the screen ----

  function el(tag, className, text) {
    var e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function setStatus(state, text) {
    document.body.setAttribute('data-state', state);
    statusLine.textContent = text;
  }

  function showProblems(list, heading) {
    messageBox.textContent = '';
    if (!list.length) {
      messageBox.hidden = true;
      return;
    }
    messageBox.appendChild(el('strong', '', heading));
    var ul = el('ul');
    list.forEach(function (t) { ul.appendChild(el('li', '', t)); });
    messageBox.appendChild(ul);
    messageBox.hidden = false;
  }

  function legendRow(table, swatchClass, label, text) {
    var tr = el('tr');
    var td = el('td');
    if (swatchClass) td.appendChild(el('span', 'swatch ' + swatchClass));
    td.appendChild(document.createTextNode(' ' + label));
    tr.appendChild(td);
    tr.appendChild(el('td', '', text));
    table.appendChild(tr);
  }

  function buildLegend(capture) {
    legend.textContent = '';
    var table = el('table');
    capture.channels.forEach(function (ch) {
      var units = ch.units || 'V';
      var text = si(ch.scale, units) + '/div, position ' + si(ch.position, units);
      if (ch.probe) text += ', probe ' + ch.probe;
      legendRow(table, 'ch' + ch.number, 'CH' + ch.number, text);
    });
    var perDiv = capture.interval * capture.memoryLength / DIVS_X;
    legendRow(table, '', 'Time', si(perDiv, 's') + '/div (' + capture.memoryLength + ' samples of ' +
              si(capture.interval, 's') + ' across 10 div)');
    var st = capture.settings;
    if (st.timeBase !== undefined) {
      var tb = 'time base ' + si(st.timeBase, 's') + '/div, delay ' + si(st.delay, 's');
      if (st.horizontalMode) tb += ', ' + st.horizontalMode;
      legendRow(table, '', 'Scope', tb);
      legendRow(table, '', 'Trigger', (st.source || '?') + ' at ' + si(st.triggerLevel, 'V') +
                (st.mode ? ', acquisition ' + st.mode : ''));
    }
    legend.appendChild(table);
    legend.appendChild(el('p', 'note', 'Vertical: 25 counts/div (8 div hold 200 of the converter\'s 256 counts); ' +
      'each channel\'s count 0 (0 V) sits Position \u00f7 Scale div above the centre line, at its marker on the left.'));
    capture.notes.forEach(function (t) { legend.appendChild(el('p', 'note', t)); });
  }

  function buildMeasurements(capture) {
    measureTable.textContent = '';
    measureNotes.textContent = '';
    var results = measure(capture);
    var body = el('tbody');
    results.forEach(function (m) {
      var ch = m.channel, units = ch.units || 'V';
      var tr = el('tr');
      tr.setAttribute('data-channel', String(ch.number));
      if (m.values.clipped) tr.setAttribute('data-clipped', '');
      var th = el('th');
      th.scope = 'row';
      th.appendChild(el('span', 'swatch ch' + ch.number));
      th.appendChild(document.createTextNode(' CH' + ch.number));
      tr.appendChild(th);
      QUANTITIES.forEach(function (q) {
        var value = m.values[q.key], shownAs = shownValue(q, value, units);
        var td = el('td');
        td.setAttribute('data-quantity', q.key);
        td.setAttribute('data-value', isFinite(value) ? String(value) : '');
        if (shownAs.why) td.title = shownAs.why;
        td.appendChild(el('span', 'q', q.label));
        td.appendChild(el('span', 'v', shownAs.text));
        tr.appendChild(td);
      });
      body.appendChild(tr);
      if (m.values.clipped) {
        measureNotes.appendChild(el('p', 'note', 'CH' + ch.number + ' reaches the converter\'s limits (' +
          CONVERTER_MIN + '/' + CONVERTER_MAX + ' counts or beyond): the signal may be clipped, and then ' +
          'Vmax, Vmin and the values from them are the limits, not the signal.'));
      }
    });
    measureTable.appendChild(body);
    measurePanel.hidden = !results.length;
  }

  function clearMeasurements() {
    measureTable.textContent = '';
    measureNotes.textContent = '';
    measurePanel.hidden = true;
  }

  // ---- the screen as a picture: the canvas, then the legend and measurements below it ----

  function captureName(capture) {
    var base = capture.source.replace(/[?#].*$/, '').split(/[\\/]/).pop().replace(/\.[^.]*$/, '');
    return (base || 'capture') + '.png';
  }

  function pictureLines() {
    var ops = [], y = CANVAS_H + 8, line = 16;
    var text = function (x, t, style) { ops.push({ x: x, y: y, text: t, style: style || {} }); };
    text(LEFT, statusLine.textContent, { bold: true });
    y += line + 4;
    legend.querySelectorAll('tr').forEach(function (tr) {
      text(LEFT, tr.cells[0].textContent.trim(), { bold: true });
      text(LEFT + 70, tr.cells[1].textContent);
      y += line;
    });
    measureTable.querySelectorAll('tr').forEach(function (tr) {
      y += 6;
      text(LEFT, 'CH' + tr.getAttribute('data-channel'), { bold: true, colour: channelColour(Number(tr.getAttribute('data-channel'))), swatch: true });
      y += line;
      var cells = tr.querySelectorAll('td');
      for (var i = 0; i < cells.length; i++) {
        var col = i % 4;
        text(LEFT + col * 150, cells[i].querySelector('.q').textContent, { dim: true });
        text(LEFT + col * 150 + 48, cells[i].querySelector('.v').textContent);
        if (col === 3) y += line;
      }
    });
    var notes = [];
    legend.querySelectorAll('.note').forEach(function (p) { notes.push(p.textContent); });
    measureNotes.querySelectorAll('.note').forEach(function (p) { notes.push(p.textContent); });
    return { ops: ops, notes: notes, y: y + 4, line: line };
  }

  function wrap(c, t, width) {
    var words = t.split(' '), lines = [], cur = '';
    words.forEach(function (w) {
      var next = cur ? cur + ' ' + w : w;
      if (cur && c.measureText(next).width > width) {
        lines.push(cur);
        cur = w;
      } else {
        cur = next;
      }
    });
    if (cur) lines.push(cur);
    return lines;
  }

  function picture() {
    var ratio = canvas.width / CANVAS_W;
    var laid = pictureLines();
    var out = document.createElement('canvas');
    var c = out.getContext('2d');
    var font = function (st) { return (st.bold ? 'bold ' : '') + '12px system-ui, sans-serif'; };
    c.font = font({});
    var noteLines = [];
    laid.notes.forEach(function (t) { noteLines = noteLines.concat(wrap(c, t, W)); });
    var height = laid.y + noteLines.length * laid.line + 8;
    out.width = canvas.width;
    out.height = Math.round(height * ratio);
    c.setTransform(ratio, 0, 0, ratio, 0, 0);
    c.fillStyle = '#ffffff';
    c.fillRect(0, 0, CANVAS_W, height);
    c.setTransform(1, 0, 0, 1, 0, 0);
    c.drawImage(canvas, 0, 0);
    c.setTransform(ratio, 0, 0, ratio, 0, 0);
    c.textBaseline = 'top';
    laid.ops.forEach(function (op) {
      var st = op.style, x = op.x;
      if (st.swatch) {
        c.fillStyle = st.colour;
        c.fillRect(x, op.y + 2, 22, 10);
        c.strokeStyle = '#333';
        c.strokeRect(x + 0.5, op.y + 2.5, 21, 9);
        x += 28;
      }
      c.font = font(st);
      c.fillStyle = st.dim ? '#666666' : '#1d2126';
      c.fillText(op.text, x, op.y);
    });
    c.font = font({});
    c.fillStyle = '#555555';
    noteLines.forEach(function (t, k) { c.fillText(t, LEFT, laid.y + k * laid.line); });
    return out;
  }

  function savePicture() {
    if (!shown) return;
    var name = captureName(shown);
    picture().toBlob(function (blob) {
      var a = document.createElement('a');
      a.href = URL.createObjectURL(blob);
      a.download = name;
      document.body.appendChild(a);
      a.click();
      a.remove();
      setTimeout(function () { URL.revokeObjectURL(a.href); }, 10000);
    }, 'image/png');
  }

  saveButton.addEventListener('click', savePicture);

  function show(capture) {
    shown = capture.channels.length ? capture : null;
    draw(shown);
    var drawn = shown && capture.sampleCount > 0;
    saveButton.disabled = !drawn;
    if (drawn) {
      buildLegend(capture);
      buildMeasurements(capture);
      var what = capture.channels.length > 1 ? 'sample pairs' : 'samples of CH' + capture.channels[0].number;
      setStatus('ready', capture.source + ': ' + capture.sampleCount + ' of ' + capture.memoryLength + ' ' + what +
                (capture.problems.length ? ' (see the problems below)' : ''));
    } else {
      legend.textContent = '';
      clearMeasurements();
      setStatus('failed', capture.source + ': nothing to draw.');
      if (!capture.problems.length) capture.problems.push('No samples could be read from ' + capture.source + '.');
    }
    showProblems(capture.problems, drawn ? 'Shown as far as the file allows:' : 'Nothing could be drawn:');
    clearReadout();
  }

  function showNothing(status, hint) {
    shown = null;
    draw(null);
    legend.textContent = '';
    clearMeasurements();
    saveButton.disabled = true;
    setStatus('empty', status);
    showProblems([hint], status);
    clearReadout();
  }

  // ---- cursor readout ----

  function clearReadout() {
    readout.textContent = READOUT_HINT;
    cursorLine.hidden = true;
  }

  function readAt(clientX) {
    if (!shown) return;
    var box = canvas.getBoundingClientRect();
    var x = (clientX - box.left) * CANVAS_W / box.width - LEFT;
    if (x < 0 || x >= W) {
      clearReadout();
      return;
    }
    var i = Math.floor(x * shown.memoryLength / W);
    var lines = ['sample ' + i + '   t = ' + si(i * shown.interval, 's')];
    shown.channels.forEach(function (ch) {
      var v = ch.samples[i];
      var volts = isFinite(ch.scale) && ch.scale !== 0 ? v / COUNTS_PER_DIV * ch.scale : NaN;
      var text = v === null || v === undefined ? 'no sample' : si(volts, ch.units || 'V') + '  (' + v + ' counts)';
      lines.push('CH' + ch.number + '  ' + text);
    });
    readout.textContent = lines.join('\n');
    cursorLine.style.left = (LEFT + Math.floor(x)) * box.width / CANVAS_W + 'px';
    cursorLine.hidden = false;
  }

  canvas.addEventListener('pointermove', function (e) { readAt(e.clientX); });
  canvas.addEventListener('pointerleave', clearReadout);

  // ---- opening files ----

  function openFile(file) {
    if (!file) return;
    setStatus('loading', 'Reading ' + file.name + '…');
    var reader = new FileReader();
    reader.onload = function () { show(parseText(String(reader.result), file.name)); };
    reader.onerror = function () { showNothing(file.name + ' could not be read.', 'The browser could not read the file.'); };
    reader.readAsText(file);
  }

  fileInput.addEventListener('change', function () {
    openFile(fileInput.files[0]);
    fileInput.value = '';
  });

  var dragDepth = 0;
  document.addEventListener('dragenter', function (e) {
    e.preventDefault();
    dragDepth++;
    dropVeil.hidden = false;
  });
  document.addEventListener('dragleave', function () {
    if (--dragDepth <= 0) {
      dragDepth = 0;
      dropVeil.hidden = true;
    }
  });
  document.addEventListener('dragover', function (e) { e.preventDefault(); });
  document.addEventListener('drop', function (e) {
    e.preventDefault();
    dragDepth = 0;
    dropVeil.hidden = true;
    if (e.dataTransfer && e.dataTransfer.files.length) openFile(e.dataTransfer.files[0]);
  });

  // "C:\capture\gbookFtemp.js" or "/tmp/capture/gbookFtemp.js" as well as a URL
  function pathToUrl(path) {
    if (/^[A-Za-z]:[\\/]/.test(path)) return 'file:///' + path.replace(/\\/g, '/');
    return path;
  }

  function loadCsvUrl(path) {
    setStatus('loading', 'Loading ' + path + '…');
    fetch(pathToUrl(path)).then(function (response) {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      return response.text();
    }).then(function (text) {
      show(parseCsv(text, path));
    }).catch(function (err) {
      var fromDisk = location.protocol === 'file:';
      showNothing(path + ' could not be loaded.', fromDisk
        ? 'The browser does not let a page opened from disk read other files (' + err.message + '). ' +
          'Open op_scope.csv with the button above or drop it on the page.'
        : 'Loading it failed: ' + err.message + '.');
    });
  }

  // a browser zoom changes the device pixel ratio: redraw at the new one
  window.addEventListener('resize', function () { draw(shown); });

  draw(null);
  var params = new URLSearchParams(location.search);
  if (params.get('csv')) loadCsvUrl(params.get('csv'));
  else if (params.get('js')) loadScript(pathToUrl(params.get('js')), params.get('js'));
  else loadScript('./gbookFtemp.js', './gbookFtemp.js');
})();
