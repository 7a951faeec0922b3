// Numbers read from the capture files and numbers shown on the page.
//
// The viewer's files are classic scripts that share the one namespace object
// ScopeViewer (see README.md): each file adds its names to it, in the order
// index.html loads them.
(function (V) {
  'use strict';

  // Numbers as C's %e, %G and %E print them; three-digit exponents come from
  // Windows builds. glibc writes non-finite values as inf/nan.
  var NUMBER = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;

  V.parseNumber = function (text) {
    var t = String(text).trim();
    if (NUMBER.test(t)) return parseFloat(t);
    if (/^[+-]?inf(inity)?$/i.test(t)) return t.charAt(0) === '-' ? -Infinity : Infinity;
    return NaN;
  };

  var PREFIXES = { '-12': 'p', '-9': 'n', '-6': '\u00b5', '-3': 'm', '0': '', '3': 'k', '6': 'M', '9': 'G' };

  // The prefix's power of ten and the mantissa's text for a value shown with
  // `digits` significant digits: 0.0005 -> [-6, "500"] for 3 digits.
  function scaled(value, digits) {
    var exp = Math.max(-12, Math.min(9, Math.floor(Math.log10(Math.abs(value)) / 3) * 3));
    var text = (value / Math.pow(10, exp)).toPrecision(digits);
    if (Math.abs(parseFloat(text)) >= 1000 && exp < 9) {
      exp += 3;
      text = (value / Math.pow(10, exp)).toPrecision(digits);
    }
    return [exp, text];
  }

  // 4 significant digits with an SI prefix, trailing zeros dropped: 0.0005 -> "500 µs"
  V.si = function (value, unit) {
    if (typeof value !== 'number' || !isFinite(value)) return '? ' + unit;
    if (value === 0) return '0 ' + unit;
    var s = scaled(value, 4);
    return Number(s[1]) + ' ' + PREFIXES[s[0]] + unit;
  };

  // 3 significant digits with an SI prefix, trailing zeros kept: "2.00 V", "200 µs";
  // a share as a percentage: 0.3 -> "30.0 %"
  V.si3 = function (value, unit) {
    if (unit === '%') return (value * 100).toFixed(1) + ' %';
    if (value === 0) return '0.00 ' + unit;
    var s = scaled(value, 3);
    return s[1] + ' ' + PREFIXES[s[0]] + unit;
  };

  V.quoteLine = function (text) {
    var t = text.length > 40 ? text.slice(0, 40) + '…' : text;
    return '"' + t + '"';
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
