// The values the scope's Measure menu gives, worked out from every sample in the
// memory (not only what the screen shows). Levels are found in counts and turned
// into volts by V.volts, the one conversion the exports use too.
(function (V) {
  'use strict';

  V.QUANTITIES = [
    { key: 'vmax', label: 'Vmax', unit: 'V' }, { key: 'vmin', label: 'Vmin', unit: 'V' },
    { key: 'vpp', label: 'Vpp', unit: 'V' }, { key: 'vamp', label: 'Vamp', unit: 'V' },
    { key: 'vavg', label: 'Vavg', unit: 'V' }, { key: 'vrms', label: 'Vrms', unit: 'V' },
    { key: 'freq', label: 'Freq', unit: 'Hz' }, { key: 'period', label: 'Period', unit: 's' },
    { key: 'rise', label: 'Rise', unit: 's' }, { key: 'fall', label: 'Fall', unit: 's' },
    { key: 'pduty', label: '+Duty', unit: '%' }, { key: 'nduty', label: '-Duty', unit: '%' }
  ];
  var FLAT_SHARE = 0.05;         // a level held by fewer samples than this is no flat top

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
    var dt = interval > 0 && isFinite(interval) ? interval : NaN;
    var r = {
      clipped: min <= V.CONVERTER_MIN || max >= V.CONVERTER_MAX,
      vmax: V.volts(ch, max), vmin: V.volts(ch, min), vpp: V.volts(ch, max - min),
      vavg: V.volts(ch, sum / n), vrms: Math.abs(V.volts(ch, Math.sqrt(squares / n))),
      vamp: NaN, freq: NaN, period: NaN, rise: NaN, fall: NaN, pduty: NaN, nduty: NaN
    };
    if (max === min) return r;
    var centre = (max + min) / 2;
    var top = flatLevel(histogram, n, centre, max, max), base = flatLevel(histogram, n, min, centre, min);
    var amp = top - base;
    r.vamp = V.volts(ch, amp);
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

  // [{ channel, values }] for each channel that has samples.
  V.measure = function (capture) {
    return capture.channels.filter(function (ch) { return V.sampleCount(ch) > 0; }).map(function (ch) {
      return { channel: ch, values: measureChannel(ch, capture.interval) };
    });
  };

  // What a cell shows: the value, or "-" with the reason as a tooltip.
  V.shownValue = function (q, value, units) {
    if (value === Infinity) return { text: '-', why: 'the edge is faster than one sample interval' };
    if (!isFinite(value)) return { text: '-', why: 'this capture cannot give it' };
    return { text: V.si3(value, q.unit === 'V' ? units : q.unit) };
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
