// "./op_scope.csv" (and the single-channel op_scope1.csv / op_scope2.csv): the
// settings listing, "Label,value," header lines, "Waveform Data,", one line per
// sample (pair), and a closing line of "=" signs.
(function (V) {
  'use strict';

  V.parseCsv = function (text, label) {
    var capture = V.newCapture(label);
    capture.kind = 'csv';
    var lines = text.split(/\r\n|\n|\r/);
    if (lines.length && lines[lines.length - 1] === '') lines.pop();

    // the listing names channel 2's probe, which no header line carries
    var k = 0, header = {}, listingProbe2 = null, group = '';
    for (; k < lines.length && !/^Memory Length,/.test(lines[k]); k++) {
      var item = lines[k];
      if (item.charAt(0) === ':') group = item;
      var probe = /^\s+PROBe\s+(\S+)/.exec(item);
      if (probe && /^:CHAN\w*2/i.test(group)) listingProbe2 = V.parseNumber(probe[1]);
    }
    if (k === lines.length) {
      capture.problems.push(label + ' is not a capture: it has no "Memory Length," line.');
      return failed(capture);
    }
    for (; k < lines.length && !/^Waveform Data,/.test(lines[k]); k++) {
      var comma = lines[k].indexOf(',');
      if (comma < 0) {
        V.noteDamaged(capture, k + 1, lines[k], 'not a "label,value," header line');
        continue;
      }
      header[lines[k].slice(0, comma)] = { value: lines[k].slice(comma + 1).replace(/,\s*$/, '').trim(), line: k + 1 };
    }
    if (k === lines.length) {
      // the sample lines went by as header lines: whatever else would be said follows from this
      capture.problems.push(label + ' has no "Waveform Data," line: no samples could be read.');
      return failed(capture);
    }
    k++;

    function headerNumber(name) {
      var h = header[name];
      if (!h) return NaN;
      var v = V.parseNumber(h.value);
      if (isNaN(v)) V.noteDamaged(capture, h.line, name + ',' + h.value + ',', 'the value is not a number');
      return v;
    }

    var memory = headerNumber('Memory Length');
    if (Number.isInteger(memory) && memory > 0 && memory <= 1000000) capture.memoryLength = memory;
    else capture.problems.push('The memory length is not a usable number; 4000 samples span the screen.');

    var dual = 'Vertical2 Scale' in header || 'Vertical2 Position' in header || 'Vertical2 Units' in header;
    var source = header.Source ? header.Source.value : '';
    var single = dual ? 0 : (source === 'CH2' ? 2 : 1);
    var first = V.newChannel(dual ? 1 : single, capture.memoryLength);
    first.scale = headerNumber('Vertical Scale');
    first.position = headerNumber('Vertical Position');
    if (header['Vertical Units']) first.units = header['Vertical Units'].value;
    if (header.Probe) first.probe = header.Probe.value;
    capture.channels.push(first);
    if (dual) {
      var second = V.newChannel(2, capture.memoryLength);
      second.scale = headerNumber('Vertical2 Scale');
      second.position = headerNumber('Vertical2 Position');
      if (header['Vertical2 Units']) second.units = header['Vertical2 Units'].value;
      if (Number.isInteger(listingProbe2) && V.PROBE_NAMES[listingProbe2]) second.probe = V.PROBE_NAMES[listingProbe2];
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
        V.noteDamaged(capture, k + 1, line, dual ? 'not a sample pair "s1,s2"' : 'not a sample line "s,"');
      }
      index++;
    }
    if (extra) capture.problems.push(extra + ' sample lines beyond the memory length of ' + capture.memoryLength + ' are left out.');
    if (!ended) capture.problems.push(label + ' ends without its closing line of "=" signs: it may be cut short.');
    return V.finish(capture);
  };

  function failed(capture) {
    capture.channels = [];
    return capture;
  }

  // A file opened with the button or dropped on the page, read as text: a capture
  // script by its name or its gbF lines, else a CSV file.
  V.parseText = function (text, name) {
    var label = name || 'the file';
    var looksCsv = /\.csv$/i.test(label) || /^Memory Length,/m.test(text);
    var looksScript = /\.js$/i.test(label) || /^gbF\(/m.test(text);
    if (looksScript && !looksCsv) return V.parseScriptText(text, label);
    return V.parseCsv(text, label);
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
