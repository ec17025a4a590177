// The process entry: reads the switch and its arguments, starts the file
// layer around the run, and hands the arguments to one run driver.
#pragma once

#include "app/RunDrivers.h"

// Runs the program for a command line; answers the exit code (always 0:
// a fatal error ends the process before this returns).
int RunCommandLine(int argc, const char* const* argv);

// Writes the usage text to standard output.
void PrintUsage();

// The three argument lists of the replacement operations, built from the
// arguments after the switch. A marker ("!" or "@") counts only as a whole
// argument and never enters a list.
void CollectReplaceTags(int argc, const char* const* argv, tTagList& list);
void CollectExcludeTags(int argc, const char* const* argv, tTagList& list);
void CollectScopeTags(int argc, const char* const* argv, tTagList& list);
