#include "StandInLauncher.h"

#include <QFile>

StandInLauncher::StandInLauncher() : m_oldPath(qgetenv("PATH"))
{
    QFile script(m_dir.filePath(QStringLiteral("gxexec.exe")));
    if (!m_dir.isValid() || !script.open(QIODevice::WriteOnly))
        return;
    // One line per start, arguments separated by the unit separator, written in one append.
    script.write("#!/bin/sh\nsep=$(printf '\\037')\nline=\nfor a in \"$@\"; do line=\"$line$a$sep\"; done\n"
                 "printf '%s\\n' \"$line\" >> \"" + m_dir.filePath(QStringLiteral("starts")).toUtf8() + "\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                          | QFile::ExeOther);
    qputenv("PATH", m_dir.path().toUtf8() + ':' + m_oldPath);
    m_ok = true;
}

StandInLauncher::~StandInLauncher()
{
    qputenv("PATH", m_oldPath);
}

QList<QStringList> StandInLauncher::starts() const
{
    QFile file(m_dir.filePath(QStringLiteral("starts")));
    QList<QStringList> out;
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QByteArray all = file.readAll();
    all.truncate(all.lastIndexOf('\n') + 1);  // a start still being written is not counted yet
    for (const QByteArray &line : all.split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList args = QString::fromUtf8(line).split(QChar(0x1f));
        args.removeLast();  // after the last separator
        out.append(args);
    }
    return out;
}
