// The capture model, shared by both file formats: what the readers fill in and
// what the screen, the Measure panel and the exports read.
//
// Vertically a channel holds raw converter counts, 25 counts per division; a
// voltage is counts / 25 * Scale (the position moves the trace, not the signal).
// The whole sample memory (4000 samples) spans the screen's 10 divisions.
(function (V) {
  'use strict';

  V.DIVS_X = 10;
  V.DIVS_Y = 8;
  V.COUNTS_PER_DIV = 25;
  V.MEMORY_LENGTH = 4000;
  V.CONVERTER_MIN = -128;
  V.CONVERTER_MAX = 127;
  V.PROBE_NAMES = ['1X', '10X', '100X'];
  var MAX_LISTED = 5;            // damaged lines named one by one before summing up

  V.newCapture = function (source) {
    return {
      source: source,
      memoryLength: V.MEMORY_LENGTH,
      interval: NaN,
      channels: [],
      settings: {},          // what the CSV header adds: trigger, time base, mode
      problems: [],          // shown in the message box
      notes: [],             // shown under the legend
      damaged: [],           // { line, text, why }
      damagedCount: 0,
      sampleCount: 0
    };
  };

  V.newChannel = function (number, memoryLength) {
    var samples = new Array(memoryLength);
    for (var i = 0; i < memoryLength; i++) samples[i] = null;
    return { number: number, scale: NaN, position: NaN, units: 'V', probe: '', samples: samples, offsetCounts: 0 };
  };

  V.noteDamaged = function (capture, lineNo, text, why) {
    capture.damagedCount++;
    if (capture.damaged.length < MAX_LISTED) capture.damaged.push({ line: lineNo, text: text, why: why });
  };

  V.sampleCount = function (ch) {
    var n = 0;
    for (var i = 0; i < ch.samples.length; i++) if (ch.samples[i] !== null) n++;
    return n;
  };

  V.hasScale = function (ch) {
    return isFinite(ch.scale) && ch.scale !== 0;
  };

  V.hasInterval = function (capture) {
    return capture.interval > 0 && isFinite(capture.interval);
  };

  // A count of the channel in its units (volts): NaN without a usable scale. The
  // Measure panel, the pointer readout and the exports all take their volts from here.
  V.volts = function (ch, counts) {
    return V.hasScale(ch) ? counts / V.COUNTS_PER_DIV * ch.scale : NaN;
  };

  // The capture file's name without folder, query or extension: "op_scope".
  V.baseName = function (capture) {
    return capture.source.replace(/[?#].*$/, '').split(/[\\/]/).pop().replace(/\.[^.]*$/, '') || 'capture';
  };

  // Checks what both readers leave behind and works out each channel's placement.
  V.finish = function (capture) {
    var p = capture.problems;
    if (capture.damagedCount > 0) {
      var parts = capture.damaged.map(function (d) {
        return (typeof d.line === 'number' ? 'line ' + d.line : d.line) + ' ' + V.quoteLine(d.text) + ': ' + d.why;
      });
      var more = capture.damagedCount - capture.damaged.length;
      p.push(capture.damagedCount + (capture.damagedCount === 1 ? ' damaged line' : ' damaged lines') +
             ' skipped: ' + parts.join('; ') + (more > 0 ? '; and ' + more + ' more' : '') + '.');
    }
    if (!V.hasInterval(capture)) {
      p.push('The sample interval is missing or not a positive number: times are unknown.');
    }
    capture.channels.forEach(function (ch) {
      var name = 'CH' + ch.number;
      var scaleOk = V.hasScale(ch);
      if (!scaleOk) {
        p.push(name + ' scale is ' + (isNaN(ch.scale) ? 'missing or unreadable' : String(ch.scale)) +
               ': its voltages are unknown and its trace is drawn unshifted.');
      } else if (!isFinite(ch.position)) {
        p.push(name + ' position is missing or unreadable: its trace is drawn unshifted.');
      }
      ch.offsetCounts = scaleOk && isFinite(ch.position) ? ch.position / ch.scale * V.COUNTS_PER_DIV : 0;

      var outside = 0, beyond = 0;
      ch.samples.forEach(function (v) {
        if (v === null) return;
        if (v < V.CONVERTER_MIN || v > V.CONVERTER_MAX) outside++;
        var d = (v + ch.offsetCounts) / V.COUNTS_PER_DIV;
        if (d > V.DIVS_Y / 2 || d < -V.DIVS_Y / 2) beyond++;
      });
      if (outside) capture.notes.push(name + ': ' + outside + ' samples lie outside the converter\'s range -128..127.');
      if (beyond) capture.notes.push(name + ': ' + beyond + ' samples lie beyond the top or bottom of the screen.');
    });
    var have = Math.max.apply(null, capture.channels.map(V.sampleCount).concat([0]));
    capture.sampleCount = have;
    if (capture.channels.length && have < capture.memoryLength) {
      p.push('The file holds ' + have + ' of ' + capture.memoryLength + ' samples' +
             (capture.channels.length > 1 ? ' per channel' : '') + '; where samples are missing the screen stays empty.');
    }
    return capture;
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
