#pragma once

#include <QStringList>
#include <QTemporaryDir>

// A stand-in gxexec.exe put first on PATH for the life of the object; it records
// the arguments of every start.
class StandInLauncher {
public:
    StandInLauncher();
    ~StandInLauncher();

    bool isValid() const { return m_ok; }
    // Arguments of one start, as the program received them.
    QList<QStringList> starts() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
    bool m_ok = false;
};
