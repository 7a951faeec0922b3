// isscheck's own code, its main renamed, for the call sweep to run in a process of its own.
#define main isscheckMain
#include "isscheck.cpp"
