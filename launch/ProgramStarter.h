#pragma once

#include <QString>

// Starts a program from one command line: split at its blanks into the program
// (found on PATH) and its arguments, started detached, never through a shell.
namespace ProgramStarter {

enum class WindowStyle { NormalFocus, MinimizedFocus };

// False when the program cannot be found or started.
bool start(const QString &commandLine, WindowStyle style);

}  // namespace ProgramStarter
