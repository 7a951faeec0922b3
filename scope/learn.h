// The oscilloscope's settings text ("*LRN?" reply): items separated by ';', a
// ':'-led item opens a group with its header path, others are "KEY value".
// Installed as <scopecap/learn.h> (<scopecap/scope.h> includes it). No port, no state:
// safe to call at any time. Header and key match case-sensitively, as the text spells
// them (":TIM", "SCAL"); a value that is missing reads as 0, like a real 0.
//
//   learnFind   position of the blank before a value: header, then key at or after
//               it, then the first ' ' at or after the key; NULL when any is missing
//   learnValue  that value as a float ("%f"); 0.0 when not found or not a number
//   learnList   prints the text one item per line, group items indented by four spaces,
//               to `file`, or to standard output when `file` is NULL; the text is
//               only read
#pragma once

#include <stdio.h>

const char *learnFind(const char *text, const char *header, const char *key);
float learnValue(const char *text, const char *header, const char *key);
void learnList(FILE *file, const char *text);
