// Writes the XScreenSaver description of glimracode, made from the settings table at build time so
// that a setting's option, range and default live in one place; with --manual, the entries the
// manual pages hold (a test checks that they hold them).
//   glimra-describe-settings OUTPUT.xml
//   glimra-describe-settings --manual

#include <cstdio>
#include <fstream>
#include <string>

#include "settings/GlimraSettingOptions.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--manual") {
        std::fputs(SettingOptionsManual().c_str(), stdout);
        return 0;
    }
    if (argc != 2) {
        std::fputs("usage: glimra-describe-settings OUTPUT.xml\n", stderr);
        return 2;
    }
    const std::string description = XScreenSaverDescription("glimracode", "GlimraCode");
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << description;
    out.close();
    if (!out) {
        std::fprintf(stderr, "glimra-describe-settings: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
