#pragma once

// A behaviour class used as a value. The glyph strips and glyph records are keyed by it; only its
// identity matters here, so the glyph layer needs nothing of the engine but this name.
class GlimraCreatureClass;
using CreatureClassRef = const GlimraCreatureClass*;
