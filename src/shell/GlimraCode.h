#pragma once

#include <string>
#include <string_view>

// The entry point's logic: start the modules, keep a second copy from running, pick the run mode
// from the first argument, run it, and end with exit code 0 whatever happened.

class GlimraRuntime;

enum class GlimraRunMode { None, Saver, Settings, Preview, PasswordChange };

inline constexpr const char* ApplicationTitle = "Glimra Code Screen Saver";

// The mode the first argument asks for (already upper-cased with AsciiUppered, empty when there is
// none).
GlimraRunMode SelectRunMode(std::string_view firstArgument);

// What the entry point needs of a platform. The platform's runtime holds its rasteriser and
// settings store for the call.
class GlimraProgramHost {
public:
    virtual ~GlimraProgramHost() = default;
    // The folder of the executable, with a trailing separator: the bundled font lies there.
    virtual std::string ExecutableDirectory() = 0;
    // Marks that a copy is running. False when another copy already holds the marker; a marker
    // that cannot be made at all counts as held by this copy (no single-instance protection).
    virtual bool AcquireInstanceMarker() = 0;
    virtual void ReleaseInstanceMarker() = 0;
    // Each runs the application's message loop with its one form until it closes.
    virtual void RunSaver() = 0;
    virtual void RunSettings() = 0;
    virtual void ChangePassword() = 0;
};

// argv[0] is the program; only argv[1] is ever read. Starts the runtime's modules, and shuts them
// down again before it returns. Returns the exit code: always 0. An exception from a run mode goes
// on to the caller after the marker is released and the modules shut down.
int RunGlimraCode(GlimraRuntime& runtime, GlimraProgramHost& host, int argc, const char* const* argv);
