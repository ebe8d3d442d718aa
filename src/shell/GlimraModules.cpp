#include "shell/GlimraModules.h"

#include "behaviours/GlimraPerson.h"
#include "behaviours/GlimraStat.h"
#include "engine/GlimraCell.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"

void StartupModules(const std::string& executableDirectory) {
    try {
        InitializeGlimraCell();
        InitializeGlimraGraph(executableDirectory);
        InitializeGlimraBitmap();
        InitializeGlimraStat();
        InitializeGlimraPerson();
    } catch (...) {
        ShutdownModules();
        throw;
    }
}

void ShutdownModules() {
    FinalizeGlimraPerson();
    FinalizeGlimraStat();
    FinalizeGlimraBitmap();
    FinalizeGlimraGraph();
    FinalizeGlimraCell();
}
