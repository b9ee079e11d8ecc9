#include "base/Journal.h"

#include "base/Descriptor.h"
#include "base/FileSafety.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyfrax {

namespace {

using FileStatus = struct stat;

constexpr char kTemporaryPrefix[] = ".glyfrax-";
constexpr qsizetype kRandomDigits = 16;
constexpr qsizetype kMarkDigits = 16;
constexpr char kUnlockedSuffix = '~';
constexpr char kHeader[] = "glyfrax-journal 2";
// Mode bits of a journal that is being undone: read-only, which a journal never is otherwise.
constexpr mode_t kWritingMode = 0600;
constexpr mode_t kUndoingMode = 0400;
constexpr qint64 kMaxJournalSize = qint64(16) << 20;

QByteArray folderText(const WriterPlace& place)
{
    return QByteArray::number(quint64(place.folder));
}

QByteArray temporaryMark(const WriterPlace& place, QByteArrayView random)
{
    return place.key->mark("temporary " + folderText(place) + ' ' + random.toByteArray(), kMarkDigits);
}

QByteArray journalMark(const WriterPlace& place, QByteArrayView body)
{
    return place.key->mark("journal " + folderText(place) + '\n' + body.toByteArray());
}

// A name of one entry of the folder: never a path, never the folder itself or its parent.
bool isPlainName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

bool exists(int folder, const QByteArray& name, FileStatus& info)
{
    return ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

QString userName(uid_t user)
{
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(user, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(user);
}

// The journal's bytes, or why it is none of this user's journals.
Result<QByteArray> readJournal(int folder, FileStatus& info)
{
    const Descriptor file(::openat(folder, kJournalName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return failure(QStringLiteral("Es ist keine gewöhnliche Datei"));
    if (info.st_uid != ::geteuid())
        return failure(
            QStringLiteral("Es gehört dem Benutzer „%1“, nicht Ihnen").arg(shownText(userName(info.st_uid))));
    if (info.st_size > kMaxJournalSize)
        return failure(QStringLiteral("Es ist größer als jedes Journal, das Glyfrax schreibt"));
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    for (qsizetype filled = 0; filled < bytes.size();) {
        const ssize_t count = ::read(file.get(), bytes.data() + filled, std::size_t(bytes.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return failure(
                QStringLiteral("Es lässt sich nicht lesen (%1)").arg(describeErrno(count < 0 ? errno : EIO)));
        filled += count;
    }
    return bytes;
}

} // namespace

QByteArray temporaryName(const WriterPlace& place, bool beforeLock)
{
    // system(), not global(): seeding the global generator costs more than a whole small export.
    const QByteArray random =
        QByteArray::number(QRandomGenerator::system()->generate64(), 16).rightJustified(kRandomDigits, '0');
    const QByteArray mark =
        place.key ? temporaryMark(place, random)
                  : QByteArray::number(QRandomGenerator::system()->generate64(), 16).rightJustified(kMarkDigits, '0');
    const QByteArray name = kTemporaryPrefix + random + mark;
    return beforeLock ? name + kUnlockedSuffix : name;
}

TemporaryKind temporaryKind(const WriterPlace& place, const char* name)
{
    if (!place.key)
        return TemporaryKind::None;
    QByteArray text(name);
    const bool beforeLock = text.endsWith(kUnlockedSuffix);
    if (beforeLock)
        text.chop(1);
    const qsizetype prefix = qsizetype(std::strlen(kTemporaryPrefix));
    if (text.size() != prefix + kRandomDigits + kMarkDigits || !text.startsWith(kTemporaryPrefix))
        return TemporaryKind::None;
    const QByteArray random = text.mid(prefix, kRandomDigits);
    if (!std::all_of(random.begin(), random.end(), [](char c) { return std::isxdigit(uchar(c)) != 0; }) ||
        text.mid(prefix + kRandomDigits) != temporaryMark(place, random))
        return TemporaryKind::None;
    return beforeLock ? TemporaryKind::MadeBeforeLock : TemporaryKind::MadeUnderLock;
}

QByteArray Journal::toBytes(const WriterPlace& place) const
{
    QByteArray body = kHeader + QByteArray("\n");
    for (const JournalStep& step : renames)
        body += "R " + step.temporary.toPercentEncoding() + ' ' + step.target.toPercentEncoding() + ' ' +
                (step.backup.isEmpty() ? QByteArray("-") : step.backup.toPercentEncoding()) + '\n';
    for (const QByteArray& name : removals)
        body += "D " + name.toPercentEncoding() + '\n';
    body += "end\n";
    return body + "mark " + (place.key ? journalMark(place, body) : QByteArray("-")) + '\n';
}

Result<Journal> Journal::fromBytes(const QByteArray& bytes, const WriterPlace& place)
{
    const qsizetype end = bytes.indexOf("\nend\n");
    const QByteArray body = end < 0 ? QByteArray() : bytes.left(end + 5);
    if (!place.key)
        return failure(QStringLiteral("Glyfrax hat für Sie keinen Schlüssel, mit dem es seine Journale erkennt"));
    if (end < 0 || !bytes.startsWith(kHeader + QByteArray("\n")) ||
        bytes.mid(end + 5) != "mark " + journalMark(place, body) + '\n')
        return failure(QStringLiteral("Es trägt nicht das Zeichen, das Glyfrax für Sie und diesen Ordner setzt"));
    auto mine = [&place](const QByteArray& name) {
        return isPlainName(name) && temporaryKind(place, name.constData()) != TemporaryKind::None;
    };
    auto other = [&place](const QByteArray& name) {
        return isPlainName(name) && name != kJournalName &&
               temporaryKind(place, name.constData()) == TemporaryKind::None;
    };
    Journal journal;
    const QList<QByteArray> lines = body.split('\n');
    for (qsizetype i = 1; i + 2 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        auto name = [&fields](qsizetype at) { return QByteArray::fromPercentEncoding(fields.at(at)); };
        if (fields.size() == 4 && fields[0] == "R") {
            JournalStep step{name(1), name(2), fields[3] == "-" ? QByteArray() : name(3)};
            if (mine(step.temporary) && other(step.target) && (step.backup.isEmpty() || mine(step.backup))) {
                journal.renames.push_back(std::move(step));
                continue;
            }
        } else if (fields.size() == 2 && fields[0] == "D" && other(name(1))) {
            journal.removals.push_back(name(1));
            continue;
        }
        return failure(QStringLiteral("Es nennt eine Datei, die Glyfrax dort nicht ersetzen würde"));
    }
    return journal;
}

bool writeJournal(int folder, const Journal& journal, const WriterPlace& place)
{
    const QByteArray name = temporaryName(place);
    const QByteArray bytes = journal.toBytes(place);
    const Descriptor file(::openat(folder, name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, kWritingMode));
    const bool written = file.get() >= 0 && ::fchmod(file.get(), kWritingMode) == 0 &&
                         ::write(file.get(), bytes.constData(), std::size_t(bytes.size())) == bytes.size() &&
                         ::fsync(file.get()) == 0 && ::renameat(folder, name.constData(), folder, kJournalName) == 0;
    if (!written && file.get() >= 0)
        ::unlinkat(folder, name.constData(), 0);
    return written && (::fsync(folder) == 0 || errno == EINVAL);
}

Result<void> completeJournal(int folder, const QString& path, const WriterPlace& place)
{
    FileStatus info{};
    if (::fstatat(folder, kJournalName, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    Result<Journal> journal = Journal::fromBytes({}, place);
    if (const Result<QByteArray> bytes = readJournal(folder, info); !bytes)
        journal = failure(bytes.error());
    else
        journal = Journal::fromBytes(*bytes, place);
    if (!journal)
        return failure(QStringLiteral("„%1“ ist kein Journal, das Glyfrax für Sie in diesem Ordner geschrieben hat: "
                                      "%2. Glyfrax führt es nicht aus und ersetzt in diesem Ordner nichts, solange "
                                      "es dort liegt. Es kann der Rest eines abgebrochenen Exports eines anderen "
                                      "Benutzers oder Rechners sein (dann wiederholen Sie den Export dort) oder eine "
                                      "fremde Datei; prüfen Sie den Ordner und löschen Sie die Datei, wenn Sie sie "
                                      "nicht brauchen.")
                           .arg(shownPath(QDir(path).filePath(QString::fromLatin1(kJournalName))), journal.error()));
    std::vector<char> done(journal->renames.size(), 0);
    if (isBeingUndone(info.st_mode)) {
        FileStatus temporary{};
        for (std::size_t i = 0; i < done.size(); ++i)
            done[i] = exists(folder, journal->renames[i].temporary, temporary) ? 0 : 1;
        undo(folder, *journal, done.data());
        ::fsync(folder);
        ::unlinkat(folder, kJournalName, 0);
        ::fsync(folder);
        return {};
    }
    int error = 0;
    carryOut(folder, *journal, done.data(), error);
    return {};
}

bool isBeingUndone(mode_t mode)
{
    return (mode & 07777) == kUndoingMode;
}

void undo(int folder, const Journal& journal, char* done)
{
    for (std::size_t i = journal.renames.size(); i-- > 0;) {
        const JournalStep& step = journal.renames[i];
        if (!done[i])
            continue;
        if (!step.backup.isEmpty())
            ::renameat(folder, step.backup.constData(), folder, step.target.constData());
        else
            ::unlinkat(folder, step.target.constData(), 0);
    }
    for (const JournalStep& step : journal.renames) {
        ::unlinkat(folder, step.temporary.constData(), 0);
        if (!step.backup.isEmpty())
            ::unlinkat(folder, step.backup.constData(), 0);
    }
}

int carryOut(int folder, const Journal& journal, char* done, int& error)
{
    int failed = -1;
    for (std::size_t i = 0; i < journal.renames.size() && failed < 0; ++i) {
        const JournalStep& step = journal.renames[i];
        FileStatus info{};
        done[i] = 1;
        if (!exists(folder, step.temporary, info))
            continue; // renamed before a kill
        if (!S_ISREG(info.st_mode)) {
            error = EPERM; // not the file this journal's writer made
        } else {
            // The earlier file stays under a second name until the whole set is in place.
            if (!step.backup.isEmpty() && !exists(folder, step.backup, info))
                ::linkat(folder, step.target.constData(), folder, step.backup.constData(), 0);
            if (::renameat(folder, step.temporary.constData(), folder, step.target.constData()) == 0)
                continue;
            error = errno;
        }
        done[i] = 0;
        failed = int(i);
    }
    if (failed >= 0) {
        // Marked first, so that a kill while undoing leaves a journal that is undone, not done.
        ::fchmodat(folder, kJournalName, kUndoingMode, 0);
        ::fsync(folder);
        undo(folder, journal, done);
    } else {
        for (const JournalStep& step : journal.renames) {
            if (!step.backup.isEmpty())
                ::unlinkat(folder, step.backup.constData(), 0);
        }
        for (const QByteArray& name : journal.removals)
            ::unlinkat(folder, name.constData(), 0);
    }
    ::fsync(folder); // the renames on disk before the journal goes; not every file system can
    ::unlinkat(folder, kJournalName, 0);
    ::fsync(folder);
    return failed;
}

std::optional<QString> whyNotReplaceable(int folder, const QByteArray& name)
{
    struct statx place
    {
    };
    struct statx file
    {
    };
    if (::statx(folder, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &place) != 0 ||
        ::statx(folder, name.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &file) != 0)
        return std::nullopt; // missing: nothing to replace; the rename itself says what else
    const auto fixed = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    if ((place.stx_attributes_mask & place.stx_attributes & fixed) != 0)
        return QStringLiteral("Der Ordner ist unveränderlich oder lässt nur Anfügen zu (chattr +i oder +a), "
                              "keine Datei darin kann ersetzt werden");
    if ((file.stx_attributes_mask & file.stx_attributes & fixed) != 0)
        return QStringLiteral("Die Datei ist unveränderlich oder lässt nur Anfügen zu (chattr +i oder +a)");
    const uid_t user = ::geteuid();
    if ((place.stx_mode & S_ISVTX) != 0 && user != 0 && file.stx_uid != user && place.stx_uid != user)
        return QStringLiteral("Sie gehört einem anderen Benutzer, und der Ordner lässt mit seinem Sticky-Bit nur "
                              "den Eigentümer eine Datei ersetzen");
    return std::nullopt;
}

} // namespace glyfrax
