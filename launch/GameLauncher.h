#pragma once

#include <QString>
#include <QStringList>

// Where the game's launcher is and how it runs here. The game and its launcher are
// Windows programs: a program named gxexec.exe on PATH is started as it is (a native
// stand-in, or a Windows program the system runs directly); otherwise the game folder
// under the user's data directory holds the Windows gxexec.exe and tav3.exe, run
// through wine. The command lines stay the game's own ("gxexec.exe tav3.exe /h tcp ...").
namespace GameLauncher {

inline constexpr char Launcher[] = "gxexec.exe";
inline constexpr char Game[] = "tav3.exe";

// $XDG_DATA_HOME/tavarine-lobby/game, by default ~/.local/share/tavarine-lobby/game.
QString gameFolder();

// What a look around this machine found.
struct Machine {
    QString launcherOnPath;  // gxexec.exe found on PATH, or empty
    bool launcherOnPathIsWindows = false;  // it begins with "MZ"
    bool windowsRunsDirectly = false;  // the kernel hands Windows programs to an interpreter
    QString folder;  // the game folder
    bool folderHasLauncher = false;
    bool folderHasGame = false;
    QString wine;  // wine found on PATH, or empty
};

// How the launcher starts: the program and the arguments in front of the command line's
// own, in a working folder; or, when it cannot, what is missing and where to put it.
struct Plan {
    QString program;
    QStringList leadingArguments;
    QString workingFolder;
    QString missing;
    bool ready() const { return missing.isEmpty(); }
};

Plan plan(const Machine &machine);
Machine lookAround();
inline Plan find() { return plan(lookAround()); }

// Starts the command line ("gxexec.exe" and its arguments, split at blanks, never
// through a shell) as the plan says. False, with the reason, when it could not start.
bool start(const Plan &plan, const QString &commandLine, QString *error);

}  // namespace GameLauncher
