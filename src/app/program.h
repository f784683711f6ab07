#pragma once

namespace quorvane::app {

// The whole program: the "--" options, then the main window's start-up and event loop.
// Returns the exit code: 0 normally, 2 for an unknown option.
int runProgram(int argc, char** argv);

} // namespace quorvane::app
