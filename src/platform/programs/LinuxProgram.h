#pragma once

#include "platform/linux/LinuxFaces.h"

// The entry point of the Linux programs: reads the command line, chooses the face, and runs it, or
// hands the command line to the sibling program when this one lacks the face. Returns the exit
// code.
int RunLinuxProgram(int argc, char** argv, const LinuxFaces& faces);
