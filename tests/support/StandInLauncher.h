#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Stand-ins for gxexec.exe, wine and xdg-open first on PATH while it lives, and an empty data
// folder (XDG_DATA_HOME: no game folder); every start appends the program's name and arguments
// to a file.
class StandInLauncher {
public:
    StandInLauncher()
    {
        for (const char *program : {"gxexec.exe", "wine", "xdg-open"})
            write(program, "#!/bin/sh\nprintf '%s\\n' \"" + QByteArray(program) + " $*\" >> '" + m_dir.filePath("starts").toUtf8() + "'\n");
        qputenv("PATH", m_dir.path().toUtf8() + ':' + m_path);
        qputenv("XDG_DATA_HOME", m_dir.path().toUtf8());
    }
    ~StandInLauncher() { qputenv("PATH", m_path); }
    void hide() { qputenv("PATH", m_path); }  // no stand-in anywhere on PATH
    void breakIt() { write("gxexec.exe", "#!/nonexistent/interpreter\n"); }  // found, but it cannot start
    QStringList starts() const
    {
        QFile file(m_dir.filePath("starts"));
        return QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "").split(u'\n', Qt::SkipEmptyParts);
    }
    bool waitFor(int count) const { return QTest::qWaitFor([&] { return starts().size() >= count; }, 20000); }

private:
    void write(const char *program, const QByteArray &script)
    {
        QFile file(m_dir.filePath(program));
        file.open(QIODevice::WriteOnly);
        file.write(script);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QByteArray m_path = qgetenv("PATH");
    QTemporaryDir m_dir;
};
