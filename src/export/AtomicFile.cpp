#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace glyfrax {

namespace {

QString reasonForErrno(int error, const QString& fallback)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert");
    case ENOENT:
        return QStringLiteral("Der Ordner existiert nicht");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt");
    case EFBIG:
        return QStringLiteral("Die Datei überschreitet die erlaubte Größe");
    case ENAMETOOLONG:
        return QStringLiteral("Der Name ist zu lang");
    case EISDIR:
        return QStringLiteral("Der Name bezeichnet einen Ordner");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler des Datenträgers");
    default:
        return fallback;
    }
}

QString failure(const QString& path, const QString& reason)
{
    return QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden: %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}

// Reasons that can be told before anything is written, more precisely than errno would.
QString precheck(const QString& path)
{
    const QFileInfo target(path);
    if (target.fileName().isEmpty())
        return QStringLiteral("Der Name ist leer");
    if (target.isDir())
        return QStringLiteral("Der Name bezeichnet einen Ordner");
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists())
        return QStringLiteral("Der Ordner „%1“ existiert nicht").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return QStringLiteral("„%1“ ist kein Ordner").arg(QDir::toNativeSeparators(folder.filePath()));
    if (target.exists() && !target.permission(QFileDevice::WriteOwner))
        return QStringLiteral("Die Datei ist schreibgeschützt");
    return {};
}

} // namespace

QString writeFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& writeContent)
{
    if (const QString reason = precheck(path); !reason.isEmpty())
        return failure(path, reason);

    QSaveFile file(path);
    // Writing straight into the target would leave a half-written file behind on failure.
    file.setDirectWriteFallback(false);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, reasonForErrno(errno, file.errorString()));
    errno = 0;
    if (!writeContent(file)) {
        const int error = errno;
        const QString fallback = file.errorString();
        // The destructor removes the temporary file, since it is never committed.
        return failure(path, reasonForErrno(error, fallback));
    }
    errno = 0;
    if (!file.commit())
        return failure(path, reasonForErrno(errno, file.errorString()));
    return {};
}

} // namespace glyfrax
