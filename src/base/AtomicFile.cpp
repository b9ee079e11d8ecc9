#include "base/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <memory>

namespace glyfrax {

namespace {

QString reasonForErrno(int error, const QString& path, const QString& fallback)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert");
    case ENOENT:
        // The folder was there when the export began; it may have gone since, or it may be
        // one in which no file can be made (as in /proc).
        return QFileInfo(QFileInfo(path).absolutePath()).isDir()
                   ? QStringLiteral("In diesem Ordner lässt sich keine Datei anlegen")
                   : QStringLiteral("Der Ordner existiert nicht (mehr)");
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

Failure notWritten(const QString& path, const QString& reason)
{
    return failure(QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden: %2.")
                       .arg(QDir::toNativeSeparators(path), reason));
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

Result<void> writeFilesAtomically(const std::vector<FileContent>& files)
{
    for (const FileContent& file : files) {
        if (const QString reason = precheck(file.path); !reason.isEmpty())
            return notWritten(file.path, reason);
    }

    // A temporary file that is never committed is removed by its QSaveFile's destructor.
    std::vector<std::unique_ptr<QSaveFile>> written;
    for (const FileContent& file : files) {
        auto& saveFile = written.emplace_back(std::make_unique<QSaveFile>(file.path));
        // Writing straight into the target would leave a half-written file behind on failure.
        saveFile->setDirectWriteFallback(false);
        errno = 0;
        // Unbuffered: the bitmap is written in large bands, which a buffer would only copy once more.
        if (!saveFile->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return notWritten(file.path, reasonForErrno(errno, file.path, saveFile->errorString()));
        errno = 0;
        if (!file.write(*saveFile))
            return notWritten(file.path, reasonForErrno(errno, file.path, saveFile->errorString()));
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        errno = 0;
        if (!written[i]->commit())
            return notWritten(files[i].path, reasonForErrno(errno, files[i].path, written[i]->errorString()));
    }
    return {};
}

} // namespace glyfrax
