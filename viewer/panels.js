// What the page says beside the screen: the status line, the legend, the Measure
// panel and the pointer readout. The texts are made here from the capture and
// the measurements alone, for the page and for the picture (picture.js) alike.
(function (V) {
  'use strict';

  V.statusText = function (capture) {
    if (!(capture.sampleCount > 0) || !capture.channels.length) return capture.source + ': nothing to draw.';
    var what = capture.channels.length > 1 ? 'sample pairs' : 'samples of CH' + capture.channels[0].number;
    return capture.source + ': ' + capture.sampleCount + ' of ' + capture.memoryLength + ' ' + what +
      (capture.problems.length ? ' (see the problems below)' : '');
  };

  // [{ swatch, label, text }]: the channels, the time axis and the scope's settings.
  V.legendRows = function (capture) {
    var rows = [];
    var row = function (swatch, label, text) { rows.push({ swatch: swatch, label: label, text: text }); };
    capture.channels.forEach(function (ch) {
      var units = ch.units || 'V';
      var text = V.si(ch.scale, units) + '/div, position ' + V.si(ch.position, units);
      if (ch.probe) text += ', probe ' + ch.probe;
      row('ch' + ch.number, 'CH' + ch.number, text);
    });
    var perDiv = capture.interval * capture.memoryLength / V.DIVS_X;
    row('', 'Time', V.si(perDiv, 's') + '/div (' + capture.memoryLength + ' samples of ' +
        V.si(capture.interval, 's') + ' across 10 div)');
    var st = capture.settings;
    if (st.timeBase !== undefined) {
      var tb = 'time base ' + V.si(st.timeBase, 's') + '/div, delay ' + V.si(st.delay, 's');
      if (st.horizontalMode) tb += ', ' + st.horizontalMode;
      row('', 'Scope', tb);
      row('', 'Trigger', (st.source || '?') + ' at ' + V.si(st.triggerLevel, 'V') + (st.mode ? ', acquisition ' + st.mode : ''));
    }
    return rows;
  };

  V.legendNotes = function (capture) {
    return ['Vertical: 25 counts/div (8 div hold 200 of the converter\'s 256 counts); ' +
      'each channel\'s count 0 (0 V) sits Position \u00f7 Scale div above the centre line, at its marker on the left.']
      .concat(capture.notes);
  };

  // One row per measured channel: { channel, clipped, cells: [{ key, label, value, text, why }] }.
  V.measureRows = function (results) {
    return results.map(function (m) {
      var units = m.channel.units || 'V';
      return {
        channel: m.channel,
        clipped: m.values.clipped,
        cells: V.QUANTITIES.map(function (q) {
          var shown = V.shownValue(q, m.values[q.key], units);
          return { key: q.key, label: q.label, value: m.values[q.key], text: shown.text, why: shown.why };
        })
      };
    });
  };

  V.measureNotes = function (results) {
    return results.filter(function (m) { return m.values.clipped; }).map(function (m) {
      return 'CH' + m.channel.number + ' reaches the converter\'s limits (' + V.CONVERTER_MIN + '/' + V.CONVERTER_MAX +
        ' counts or beyond): the signal may be clipped, and then Vmax, Vmin and the values from them are the limits, not the signal.';
    });
  };

  // The readout's lines for sample i: its time, and each channel's volts and counts.
  V.readoutText = function (capture, i) {
    var lines = ['sample ' + i + '   t = ' + V.si(i * capture.interval, 's')];
    capture.channels.forEach(function (ch) {
      var v = ch.samples[i];
      var text = v === null || v === undefined ? 'no sample' : V.si(V.volts(ch, v), ch.units || 'V') + '  (' + v + ' counts)';
      lines.push('CH' + ch.number + '  ' + text);
    });
    return lines.join('\n');
  };

  // ---- the same in the page's elements ----

  var el = function (tag, className, text) {
    var e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  };

  V.showProblems = function (box, list, heading) {
    box.textContent = '';
    box.hidden = !list.length;
    if (!list.length) return;
    box.appendChild(el('strong', '', heading));
    var ul = el('ul');
    list.forEach(function (t) { ul.appendChild(el('li', '', t)); });
    box.appendChild(ul);
  };

  V.buildLegend = function (legend, capture) {
    legend.textContent = '';
    var table = el('table');
    V.legendRows(capture).forEach(function (r) {
      var tr = el('tr'), td = el('td');
      if (r.swatch) td.appendChild(el('span', 'swatch ' + r.swatch));
      td.appendChild(document.createTextNode(' ' + r.label));
      tr.appendChild(td);
      tr.appendChild(el('td', '', r.text));
      table.appendChild(tr);
    });
    legend.appendChild(table);
    V.legendNotes(capture).forEach(function (t) { legend.appendChild(el('p', 'note', t)); });
  };

  // The Measure panel ({ panel, table, notes }) for measure()'s results; hidden for none.
  V.buildMeasurements = function (parts, results) {
    parts.table.textContent = '';
    parts.notes.textContent = '';
    var body = el('tbody');
    V.measureRows(results).forEach(function (row) {
      var tr = el('tr'), th = el('th'), n = row.channel.number;
      tr.setAttribute('data-channel', String(n));
      if (row.clipped) tr.setAttribute('data-clipped', '');
      th.scope = 'row';
      th.appendChild(el('span', 'swatch ch' + n));
      th.appendChild(document.createTextNode(' CH' + n));
      tr.appendChild(th);
      row.cells.forEach(function (cell) {
        var td = el('td');
        td.setAttribute('data-quantity', cell.key);
        td.setAttribute('data-value', isFinite(cell.value) ? String(cell.value) : '');
        if (cell.why) td.title = cell.why;
        td.appendChild(el('span', 'q', cell.label));
        td.appendChild(el('span', 'v', cell.text));
        tr.appendChild(td);
      });
      body.appendChild(tr);
    });
    parts.table.appendChild(body);
    V.measureNotes(results).forEach(function (t) { parts.notes.appendChild(el('p', 'note', t)); });
    parts.panel.hidden = !results.length;
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
