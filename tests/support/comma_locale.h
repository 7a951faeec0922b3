// A locale that writes a decimal comma ("0,5"), for showing that a number format
// stays in "C": an installed one, or one built with localedef from the system's
// sources into a scratch folder of its own, which is then its LOCPATH (removed with it).
//
//   CommaLocale comma;
//   if (!comma.why.empty())
//       GTEST_SKIP() << comma.why;
//   runProgram(program, {}, comma.env);   // LC_ALL, and LOCPATH for a built one
#pragma once

#include "scratch_dir.h"

#include <map>
#include <string>

class CommaLocale {
public:
    CommaLocale();
    std::map<std::string, std::string> env; // empty when there is none
    std::string why;                        // why there is none

private:
    ScratchDir dir_;
};
