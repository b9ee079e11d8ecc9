#include "base/WriterKey.h"

#include <QDir>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyfrax {

namespace {

using FileStatus = struct stat;

constexpr qsizetype kSecretSize = 32;

// Whether a file or folder can only have been made, and only be read or changed, by this user.
bool isPrivate(const FileStatus& info)
{
    return info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

std::optional<QByteArray> readSecret(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    FileStatus info{};
    QByteArray secret(kSecretSize, Qt::Uninitialized);
    const bool whole = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && isPrivate(info) &&
                       info.st_size == kSecretSize && ::read(fd, secret.data(), kSecretSize) == kSecretSize;
    ::close(fd);
    return whole ? std::optional(secret) : std::nullopt;
}

} // namespace

std::optional<WriterKey> WriterKey::load()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data))
        return std::nullopt;
    const QByteArray folder = QFile::encodeName(data + QStringLiteral("/glyfrax"));
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    FileStatus info{};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || !isPrivate(info))
        return std::nullopt;
    const QByteArray path = folder + "/writer.key";
    if (std::optional<QByteArray> secret = readSecret(path))
        return WriterKey(*secret);

    // Made whole under another name and linked into place, so that a reader never sees a part of
    // it, and of two processes making one at once, both take the one that was linked first.
    QByteArray secret(kSecretSize, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secret.data()), kSecretSize / 4);
    const QByteArray draft = path + '.' + QByteArray::number(::getpid());
    const int fd = ::open(draft.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::nullopt;
    const bool written = ::write(fd, secret.constData(), kSecretSize) == kSecretSize && ::fsync(fd) == 0;
    ::close(fd);
    if (written)
        static_cast<void>(::link(draft.constData(), path.constData()));
    ::unlink(draft.constData());
    if (std::optional<QByteArray> linked = readSecret(path))
        return WriterKey(*linked);
    return std::nullopt;
}

QByteArray WriterKey::mark(QByteArrayView text, qsizetype digits) const
{
    return QMessageAuthenticationCode::hash(text.toByteArray(), m_secret, QCryptographicHash::Sha256)
        .toHex()
        .left(digits);
}

} // namespace glyfrax
