#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace glyfrax::test {

// How a child process is held back.
struct Limits
{
    qint64 maxFileSize = -1;   // bytes, where a full disk would stop it
    bool unprivileged = false; // as user nobody, so folder permissions hold even for root
};

struct ChildRun
{
    int exitCode = -1; // -1 when it did not exit normally
    QString out;
    QString err;
};

// Whether a program can be started as user nobody: root's tests run it so, and every folder
// above it must let others through. Not so in a checkout under a private home folder.
inline bool othersCanRun(const QString& program)
{
    if (geteuid() != 0)
        return true;
    QFileInfo step(program);
    if (!step.permission(QFileDevice::ExeOther))
        return false;
    for (QDir folder = step.absoluteDir(); !folder.isRoot(); folder.cdUp()) {
        if (!QFileInfo(folder.absolutePath()).permission(QFileDevice::ExeOther))
            return false;
    }
    return true;
}

inline ChildRun runChild(const QString& program, QStringList arguments, const Limits& limits = {})
{
    QProcess process;
    QString executable = program;
    if (limits.unprivileged && geteuid() == 0) {
        arguments = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                QStringLiteral("--clear-groups"), program} +
                    arguments;
        executable = QStringLiteral("setpriv");
    }
    const qint64 maxFileSize = limits.maxFileSize;
    process.setChildProcessModifier([maxFileSize] {
        if (maxFileSize >= 0) {
            const rlimit limit{rlim_t(maxFileSize), rlim_t(maxFileSize)};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        }
    });
    process.start(executable, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace glyfrax::test
