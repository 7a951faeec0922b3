// The oscilloscope's settings text ("*LRN?" reply): items separated by ';', a
// ':'-led item opens a group with its header path, others are "KEY value".
//
//   learnFind   position of the blank before a value: header, then key at or after
//               it, then the first ' ' at or after the key; NULL when any is missing
//   learnValue  that value as a float ("%f"); 0.0 when not found or not a number
//   learnList   prints the text one item per line, group items indented by four spaces
#pragma once

#include <stdio.h>

const char *learnFind(const char *text, const char *header, const char *key);
float learnValue(const char *text, const char *header, const char *key);
void learnList(FILE *file, const char *text);
