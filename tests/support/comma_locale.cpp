#include "comma_locale.h"

#include "run_program.h"

#include <clocale>
#include <filesystem>
#include <stdlib.h>

CommaLocale::CommaLocale() : dir_("comma-locale-")
{
    // asked of the C library, whose process locale is put back to "C" after each try
    auto usable = [](const std::string &name) {
        bool ok = std::setlocale(LC_NUMERIC, name.c_str()) != nullptr;
        std::setlocale(LC_NUMERIC, "C");
        return ok;
    };
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
        if (usable(name)) {
            env = {{"LC_ALL", name}};
            return;
        }
    if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) {
        why = "no locale with a decimal comma, and no locale sources to build one";
        return;
    }
    ProgramRun run = runProgram("/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8", dir_ / "de_DE.UTF-8"}, {}, "",
                                std::chrono::seconds(60));
    // the C library reads LOCPATH when it looks a locale up
    setenv("LOCPATH", dir_.path().c_str(), 1);
    bool built = usable("de_DE.UTF-8");
    unsetenv("LOCPATH");
    if (built)
        env = {{"LC_ALL", "de_DE.UTF-8"}, {"LOCPATH", dir_.path()}};
    else
        why = "localedef could not build de_DE.UTF-8: " + run.err;
}
