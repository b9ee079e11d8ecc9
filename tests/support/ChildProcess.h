#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace glyfrax::test {

// How a child process is held back: a file size at which a full disk would stop it, and as user
// nobody, so that folder permissions hold even for root.
struct Limits
{
    qint64 maxFileSize = -1;
    bool unprivileged = false;
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
    for (QFileInfo step(program); geteuid() == 0 && !step.isRoot(); step = QFileInfo(step.absolutePath())) {
        if (!step.permission(QFileDevice::ExeOther))
            return false;
    }
    return true;
}

inline ChildRun runChild(const QString& program, QStringList arguments, const Limits& limits = {})
{
    QProcess process;
    const bool asNobody = limits.unprivileged && geteuid() == 0;
    if (asNobody)
        arguments = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                QStringLiteral("--clear-groups"), program} +
                    arguments;
    process.setChildProcessModifier([maxFileSize = limits.maxFileSize] {
        const rlimit limit{rlim_t(maxFileSize), rlim_t(maxFileSize)};
        if (maxFileSize >= 0 && setrlimit(RLIMIT_FSIZE, &limit) == 0)
            signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
    });
    process.start(asNobody ? QStringLiteral("setpriv") : program, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace glyfrax::test
