#pragma once

#include <QStringList>
#include <QTemporaryDir>

// A stand-in gxexec.exe put first on PATH for the life of the object; it records
// the arguments of every start. Also offers an empty PATH, for "launcher missing".
class StandInLauncher {
public:
    StandInLauncher();
    ~StandInLauncher();

    bool isValid() const { return m_ok; }
    // One entry per start: "gxexec.exe" and its arguments joined by blanks.
    QStringList commandLines() const;
    // Arguments of one start, as the program received them.
    QList<QStringList> starts() const;
    bool waitForStarts(int count, int timeoutMs) const;
    // PATH holds no launcher until restore().
    void hide();
    void restore();

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_emptyDir;
    QByteArray m_oldPath;
    bool m_ok = false;
};
