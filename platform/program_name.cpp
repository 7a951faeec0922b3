// The program's own name, which every line the serial layers write on standard error
// starts with. The programs set it once, before the port is opened.
#include "winapi.h"

static const char *programName = "serial";

void platformNameProgram(const char *name) { programName = name; }

const char *platformProgramName(void) { return programName; }
