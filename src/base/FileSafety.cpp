#include "base/FileSafety.h"

#include "base/CharacterName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyfrax {

using FileStatus = struct stat;

namespace {

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    return FileKind::Other;
}

} // namespace

FileKind fileKind(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    FileStatus info{};
    if (::stat(name.constData(), &info) == 0)
        return kindOf(info.st_mode);
    if (errno == EACCES)
        return FileKind::Inaccessible;
    if (errno != ENOENT && errno != ENOTDIR)
        return FileKind::Other;
    FileStatus link{};
    return ::lstat(name.constData(), &link) == 0 ? FileKind::DanglingLink : FileKind::Missing;
}

QString describeKind(FileKind kind)
{
    switch (kind) {
    case FileKind::Missing:
        return QStringLiteral("nicht vorhanden");
    case FileKind::Regular:
        return QStringLiteral("eine gewöhnliche Datei");
    case FileKind::Folder:
        return QStringLiteral("ein Ordner");
    case FileKind::Fifo:
        return QStringLiteral("eine benannte Pipe (FIFO)");
    case FileKind::Socket:
        return QStringLiteral("ein Socket");
    case FileKind::Device:
        return QStringLiteral("ein Gerät");
    case FileKind::DanglingLink:
        return QStringLiteral("eine symbolische Verknüpfung auf etwas, das es nicht gibt");
    case FileKind::Inaccessible:
        return QStringLiteral("nicht zugänglich, weil ein Ordner auf dem Weg dorthin nicht betreten werden darf");
    case FileKind::Other:
        break;
    }
    return QStringLiteral("nicht zugänglich (etwa ein Kreis symbolischer Verknüpfungen oder ein zu langer Name)");
}

QString describeErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert");
    case ENOENT:
        return QStringLiteral("Der Ordner existiert nicht (mehr)");
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
    case ELOOP:
        return QStringLiteral("Die symbolischen Verknüpfungen des Pfades bilden einen Kreis");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler beim Lesen oder Schreiben");
    case EINVAL:
    case EFAULT:
        return QStringLiteral("Diese Datei lässt sich nicht auf gewöhnliche Weise lesen oder schreiben");
    case ETXTBSY:
        return QStringLiteral("Die Datei wird gerade als Programm ausgeführt");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Es sind zu viele Dateien geöffnet");
    case ENOMEM:
        return QStringLiteral("Der Arbeitsspeicher reicht nicht");
    default:
        return QStringLiteral("Systemfehler %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

Result<void> checkFaithfulPath(const QString& path)
{
    if (!path.contains(QChar::ReplacementCharacter) &&
        !QFileInfo(path).absoluteFilePath().contains(QChar::ReplacementCharacter))
        return {};
    return failure(QStringLiteral("Der Pfad „%1“ enthält Bytes, die kein gültiges UTF-8 sind (hier als „%2“ gezeigt), "
                                  "oder das Zeichen U+FFFD selbst. Glyfrax kann einen solchen Namen nicht Byte für "
                                  "Byte übernehmen und nimmt keinen anderen an seiner Stelle; bitte benennen Sie die "
                                  "Datei oder den Ordner um.")
                       .arg(shownPath(QFileInfo(path).absoluteFilePath()), QString(QChar::ReplacementCharacter)));
}

std::optional<uint> entryOwner(const QString& path)
{
    FileStatus info{};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return uint(info.st_uid);
}

namespace {

// Reads a regular file up to limit bytes; a longer one is refused (whole) or cut there (head).
enum class Reading
{
    Whole,
    Head
};

Result<QByteArray> readRegular(const QString& path, qint64 limit, Reading reading)
{
    auto refused = [&path](const QString& reason) {
        return failure(QStringLiteral("Die Datei „%1“ lässt sich nicht lesen: %2.").arg(shownPath(path), reason));
    };
    auto notRegular = [&refused](FileKind kind) {
        return kind == FileKind::Missing ? refused(QStringLiteral("Sie existiert nicht"))
                                         : refused(QStringLiteral("Sie ist %1").arg(describeKind(kind)));
    };
    if (const Result<void> faithful = checkFaithfulPath(path); !faithful)
        return failure(faithful.error());
    // The kind first: opening a FIFO would wait for a writer, reading a device might never end.
    if (const FileKind kind = fileKind(path); kind != FileKind::Regular)
        return notRegular(kind);
    // Non-blocking all the same, in case the name now stands for something else.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return refused(describeErrno(errno));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    FileStatus info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return notRegular(kindOf(info.st_mode));
    const QString tooLarge = QStringLiteral("Sie ist größer als %1 MiB").arg(limit >> 20);
    if (reading == Reading::Whole && info.st_size > limit)
        return refused(tooLarge);

    // Read to the end, never past one byte more than allowed: the file may have grown since. A
    // head stops at the limit itself.
    const qint64 largest = reading == Reading::Whole ? limit + 1 : limit;
    QByteArray bytes(qsizetype(std::min<qint64>(info.st_size, largest - 1)) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled >= largest)
                break;
            bytes.resize(qsizetype(std::min<qint64>(qint64(filled) * 2, largest)));
        }
        const ssize_t count = ::read(fd, bytes.data() + filled, std::size_t(bytes.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return refused(describeErrno(errno));
        if (count == 0)
            break;
        filled += count;
    }
    if (filled > limit)
        return refused(tooLarge);
    bytes.truncate(filled);
    return bytes;
}

} // namespace

Result<QByteArray> readRegularFile(const QString& path, qint64 maxSize)
{
    return readRegular(path, maxSize, Reading::Whole);
}

Result<QByteArray> readRegularFileHead(const QString& path, qint64 headSize)
{
    return readRegular(path, headSize, Reading::Head);
}

QString shownText(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code < 0x20)
            shown += QChar(char16_t(0x2400 + code)); // the Control Pictures block: ␀, ␉, ␍, ...
        else if (code == 0x7F)
            shown += QChar(char16_t(0x2421)); // ␡
        else if (ch.category() == QChar::Other_Control || ch.category() == QChar::Other_Format)
            shown += u'<' + codePointText(code) + u'>';
        else
            shown += ch;
    }
    return shown;
}

QString shownPath(const QString& path)
{
    return shownText(QDir::toNativeSeparators(path));
}

QString extensionOf(const QString& path)
{
    const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot >= nameStart ? path.mid(dot) : QString();
}

QString withExtension(const QString& path, const QString& extension)
{
    return path.left(path.size() - extensionOf(path).size()) + extension;
}

} // namespace glyfrax
