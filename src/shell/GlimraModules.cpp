#include "shell/GlimraModules.h"

#include "behaviours/GlimraPerson.h"
#include "behaviours/GlimraStat.h"
#include "engine/GlimraCell.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"

void StartupModules(const std::string& executableDirectory) {
    InitializeGlimraCell();
    InitializeGlimraGraph(executableDirectory);
    InitializeGlimraBitmap();
    InitializeGlimraStat();
    InitializeGlimraPerson();
}

void ShutdownModules() {
    FinalizeGlimraPerson();
    FinalizeGlimraStat();
    FinalizeGlimraBitmap();
    FinalizeGlimraGraph();
    FinalizeGlimraCell();
}
