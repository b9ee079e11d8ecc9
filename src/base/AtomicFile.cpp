#include "base/AtomicFile.h"

#include "base/Descriptor.h"
#include "base/FileSafety.h"
#include "base/Journal.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace glyfrax {

namespace {

using FileStatus = struct stat;
using SignalAction = struct sigaction;

// How long a writer waits for another one that is replacing files in the same folder; that
// takes milliseconds, so running out means the other process is stuck.
constexpr int kLockWaitMs = 30000;

// A temporary file made before the lock that nobody holds is a dead writer's once it is this old;
// a live writer holds its files from a moment after making them.
constexpr std::time_t kStaleAfterSeconds = 10;

Failure notWritten(const QString& path, const QString& reason)
{
    return failure(QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden: %2.").arg(shownPath(path), reason));
}

Failure notReplaced(const QString& path, FileKind kind)
{
    return failure(QStringLiteral("„%1“ wird nicht ersetzt: Das ist keine gewöhnliche Datei, sondern %2.")
                       .arg(shownPath(path), describeKind(kind)));
}

// What went wrong in a folder the export began with; ENOENT means it has gone since, or it is
// one in which no file can be made (as in /proc).
QString reasonInFolder(int error, const QString& folder)
{
    if (error == ENOENT && QFileInfo(folder).isDir())
        return QStringLiteral("In diesem Ordner lässt sich keine Datei anlegen");
    return describeErrno(error);
}

bool sameInode(const FileStatus& a, const FileStatus& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folder whose files are replaced, opened once so that it can be locked and found again.
struct Folder
{
    QString path;
    Descriptor fd;
    FileStatus identity{};
    std::optional<WriterKey> key;

    WriterPlace place() const { return {key ? &*key : nullptr, identity.st_ino}; }
};

// How a failure in a folder is told: as a file that could not be written, or as the folder's own.
using Refusal = std::function<Failure(const QString& reason)>;

Result<Folder> openFolder(const QString& path, const Refusal& refuse)
{
    Folder folder{path,
                  Descriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                  {},
                  WriterKey::load()};
    if (folder.fd.get() < 0 && errno == EACCES)
        return refuse(QStringLiteral("Der Ordner „%1“ lässt sich nicht lesen, nur beschreiben. Ohne "
                                     "Leserecht kann Glyfrax ihn nicht sperren, und zwei Exporte "
                                     "könnten ihre Dateien mischen")
                          .arg(shownPath(path)));
    if (folder.fd.get() < 0 || ::fstat(folder.fd.get(), &folder.identity) != 0)
        return refuse(describeErrno(errno));
    return folder;
}

// Waits for the folder's lock. flock() is released by the kernel when the holder ends, however it
// ends, so a killed writer never blocks later ones. Where no lock can be had, nothing is replaced:
// two writers could mix their files.
Result<void> lockFolder(const Folder& folder, const Refusal& refuse)
{
    const QDeadlineTimer deadline(kLockWaitMs);
    while (::flock(folder.fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return refuse(QStringLiteral("Der Ordner „%1“ lässt sich nicht sperren (%2), und ohne Sperre "
                                         "könnten zwei Exporte ihre Dateien mischen")
                              .arg(shownPath(folder.path), describeErrno(errno)));
        if (deadline.hasExpired())
            return refuse(QStringLiteral("Ein anderes Programm ersetzt seit %1 Sekunden Dateien in diesem "
                                         "Ordner und wird nicht fertig")
                              .arg(kLockWaitMs / 1000));
        QThread::msleep(5);
    }
    return {};
}

// Under the folder's lock: completes the replacement a dead writer of this user left in its
// journal, then removes this user's temporary files that no live writer holds. A journal that is
// not this user's stops everything (see completeJournal).
Result<void> cleanUp(const Folder& folder)
{
    const int fd = folder.fd.get();
    const WriterPlace place = folder.place();
    if (Result<void> completed = completeJournal(fd, folder.path, place); !completed)
        return completed;
    const int listing = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!entries) {
        if (listing >= 0)
            ::close(listing);
        return {};
    }
    std::vector<QByteArray> stale;
    while (const dirent* entry = ::readdir(entries)) {
        const TemporaryKind kind = temporaryKind(place, entry->d_name);
        if (kind == TemporaryKind::None)
            continue;
        const Descriptor file(::openat(fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        FileStatus info{};
        // Root's new files take the owner of those they replace; anybody else's stay the user's.
        if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            (info.st_uid != ::geteuid() && ::geteuid() != 0))
            continue;
        const bool old =
            kind == TemporaryKind::MadeUnderLock || std::time(nullptr) - info.st_ctime > kStaleAfterSeconds;
        if (old && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0)
            stale.emplace_back(entry->d_name);
    }
    ::closedir(entries);
    for (const QByteArray& name : stale)
        ::unlinkat(fd, name.constData(), 0);
    return {};
}

// One file to replace, and its complete new content.
struct Pending
{
    QString path;    // as the caller gave it, for messages
    QByteArray name; // the file in its folder that is replaced; symbolic links are followed to it
    int folder = -1;
    Descriptor temporary;
    QByteArray tempName; // empty while the temporary file has no name
    ~Pending()
    {
        if (!tempName.isEmpty())
            ::unlinkat(folder, tempName.constData(), 0);
    }
};

// The folder and name of the file that path stands for, or why it may not be replaced. A symbolic
// link stays a link: its target is replaced.
Result<std::pair<QString, QString>> resolveTarget(const QString& path)
{
    if (const Result<void> faithful = checkFaithfulPath(path); !faithful)
        return failure(faithful.error());
    const QFileInfo target(path);
    if (target.fileName().isEmpty())
        return notWritten(path, QStringLiteral("Der Name ist leer"));
    const FileKind kind = fileKind(path);
    if (kind == FileKind::Inaccessible)
        return notWritten(path, QStringLiteral("Ein Ordner auf dem Weg dorthin darf nicht betreten werden"));
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists())
        return notWritten(path, QStringLiteral("Der Ordner „%1“ existiert nicht").arg(shownPath(folder.filePath())));
    if (!folder.isDir())
        return notWritten(path, QStringLiteral("„%1“ ist kein Ordner").arg(shownPath(folder.filePath())));
    if (kind == FileKind::Missing)
        return std::pair{folder.canonicalFilePath(), target.fileName()};
    if (kind != FileKind::Regular)
        return kind == FileKind::Folder ? notWritten(path, QStringLiteral("Der Name bezeichnet einen Ordner"))
                                        : notReplaced(path, kind);
    // The owner's write bit is the file's read-only attribute; it holds for root too.
    if (!target.permission(QFileDevice::WriteOwner))
        return notWritten(path, QStringLiteral("Die Datei ist schreibgeschützt"));
    const QFileInfo final(target.canonicalFilePath());
    return std::pair{final.absolutePath(), final.fileName()};
}

// The files the export reads, as they are now.
std::vector<std::pair<QString, FileStatus>> identifyInputs(const QStringList& inputs)
{
    std::vector<std::pair<QString, FileStatus>> identities;
    for (const QString& input : inputs) {
        FileStatus info{};
        if (!input.isEmpty() && ::stat(QFile::encodeName(input).constData(), &info) == 0)
            identities.emplace_back(input, info);
    }
    return identities;
}

// The input a file of the folder is, if it is one.
std::optional<QString> inputAt(int folder, const QByteArray& name,
                               const std::vector<std::pair<QString, FileStatus>>& inputs)
{
    FileStatus info{};
    if (::fstatat(folder, name.constData(), &info, 0) != 0)
        return std::nullopt;
    for (const auto& [path, identity] : inputs) {
        if (sameInode(info, identity))
            return path;
    }
    return std::nullopt;
}

Failure isInput(const QString& target, const QString& input)
{
    return failure(QStringLiteral("„%1“ wird nicht ersetzt: Das ist „%2“, aus dem dieser Export liest.")
                       .arg(shownPath(target), shownPath(input)));
}

// A temporary file in the folder, held (flock) as long as this process has it, so that nobody
// takes it for a dead writer's. Without a name where the file system allows it, so that a process
// killed while writing leaves nothing behind.
Result<void> createTemporary(Pending& file, const Folder& folder)
{
    int fd = ::openat(file.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            file.tempName = temporaryName(folder.place(), true);
            fd = ::openat(file.folder, file.tempName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            if (fd < 0)
                file.tempName.clear();
            if (fd < 0 && errno != EEXIST)
                break;
        }
    }
    if (fd < 0)
        return notWritten(file.path, reasonInFolder(errno, folder.path));
    file.temporary = Descriptor(fd);
    ::flock(fd, LOCK_EX | LOCK_NB);
    // The new file takes the place of the earlier one, so it takes its permissions and owner too.
    FileStatus earlier{};
    if (::fstatat(file.folder, file.name.constData(), &earlier, 0) == 0) {
        ::fchmod(fd, earlier.st_mode & 07777);
        static_cast<void>(::fchown(fd, earlier.st_uid, earlier.st_gid)); // only root may; others keep theirs
    }
    return {};
}

// Gives a nameless temporary file a name in its folder.
bool giveName(Pending& file, const WriterPlace& place)
{
    if (!file.tempName.isEmpty())
        return true;
    const QByteArray name = temporaryName(place);
    const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(file.temporary.get());
    if (::linkat(AT_FDCWD, procPath.constData(), file.folder, name.constData(), AT_SYMLINK_FOLLOW) != 0 &&
        // without /proc: the direct way, which needs more privileges
        ::linkat(file.temporary.get(), "", file.folder, name.constData(), AT_EMPTY_PATH) != 0)
        return false;
    file.tempName = name;
    return true;
}

// Carries the journal out in a child process of its own session. A kill of this process, or of
// its whole process group, which may come at any moment, then either comes before the journal is
// written or leaves the child to finish; a kill of the child too leaves the journal for the next
// writer. The child holds the folder's lock while it runs (it shares the descriptor) and ignores
// the signals a terminal or a service manager sends.
int carryOutInChild(int folder, const Journal& journal, int& error)
{
    std::vector<char> done(journal.renames.size(), 0); // made here: the child may not allocate
    int report[2] = {-1, -1};
    // vfork: the child borrows this process's memory instead of copying its page tables, which
    // costs milliseconds in a process with Qt loaded; this thread waits until the child is done.
    const pid_t child = ::pipe2(report, O_CLOEXEC) == 0 ? ::vfork() : -1;
    if (child == 0) {
        ::setsid();
        SignalAction ignore{};
        ignore.sa_handler = SIG_IGN;
        for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE})
            ::sigaction(signal, &ignore, nullptr);
        int childError = 0;
        const int outcome[2] = {carryOut(folder, journal, done.data(), childError), childError};
        static_cast<void>(::write(report[1], outcome, sizeof outcome));
        ::_exit(0);
    }
    int outcome[2] = {-2, 0};
    if (child > 0) {
        ::close(report[1]);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (::read(report[0], outcome, sizeof outcome) != sizeof outcome)
            outcome[0] = -2;
    }
    if (report[0] >= 0)
        ::close(report[0]);
    if (outcome[0] == -2) // no child to be had, or one that ended without a word: here, then
        return carryOut(folder, journal, done.data(), error);
    error = outcome[1];
    return outcome[0];
}

// Under the lock: the folder is still where it was, each target is still a regular file or
// missing, and none has become an input.
Result<void> recheck(const Pending& file, const Folder& folder,
                     const std::vector<std::pair<QString, FileStatus>>& inputs)
{
    FileStatus now{};
    if (::stat(QFile::encodeName(folder.path).constData(), &now) != 0 || !sameInode(now, folder.identity))
        return notWritten(file.path, QStringLiteral("Der Ordner existiert nicht (mehr)"));
    if (::fstatat(file.folder, file.name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Result<void>() : notWritten(file.path, describeErrno(errno));
    if (!S_ISREG(now.st_mode))
        return notReplaced(file.path, S_ISLNK(now.st_mode) ? FileKind::Other : fileKind(file.path));
    if (const std::optional<QString> input = inputAt(file.folder, file.name, inputs))
        return isInput(file.path, *input);
    return {};
}

// The earlier set's files that the new one does not write: regular files of the folder only,
// never an input, a target, or one of our own.
std::vector<QByteArray> earlierFilesToRemove(const FileSet& set, const Folder& folder,
                                             const std::vector<std::unique_ptr<Pending>>& pending,
                                             const std::vector<std::pair<QString, FileStatus>>& inputs)
{
    std::vector<QByteArray> removals;
    if (!set.earlierFiles)
        return removals;
    for (const QString& path : set.earlierFiles()) {
        const QFileInfo info(path);
        FileStatus place{};
        FileStatus file{};
        const QByteArray name = QFile::encodeName(info.fileName());
        const bool kept =
            std::any_of(pending.begin(), pending.end(), [&name](const auto& p) { return p->name == name; });
        if (kept || name.isEmpty() || name == kJournalName ||
            temporaryKind(folder.place(), name.constData()) != TemporaryKind::None ||
            ::stat(QFile::encodeName(info.absolutePath()).constData(), &place) != 0 ||
            !sameInode(place, folder.identity) ||
            ::fstatat(folder.fd.get(), name.constData(), &file, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(file.st_mode) ||
            inputAt(folder.fd.get(), name, inputs) || whyNotReplaceable(folder.fd.get(), name) ||
            std::find(removals.begin(), removals.end(), name) != removals.end())
            continue;
        removals.push_back(name);
    }
    return removals;
}

} // namespace

Result<void> writeFilesAtomically(const FileSet& set)
{
    const std::vector<FileContent>& files = set.files;
    if (files.empty())
        return {};
    std::optional<Folder> folder;
    std::vector<std::unique_ptr<Pending>> pending;
    const std::vector<std::pair<QString, FileStatus>> inputs = identifyInputs(set.inputs);
    for (const FileContent& file : files) {
        const Result<std::pair<QString, QString>> target = resolveTarget(file.path);
        if (!target)
            return failure(target.error());
        if (!folder) {
            Result<Folder> opened =
                openFolder(target->first, [&file](const QString& reason) { return notWritten(file.path, reason); });
            if (!opened)
                return failure(opened.error());
            folder = std::move(*opened);
        } else if (FileStatus other{}; ::stat(QFile::encodeName(target->first).constData(), &other) != 0 ||
                                       !sameInode(other, folder->identity)) {
            return notWritten(file.path, QStringLiteral("Die Dateien dieses Exports lägen in verschiedenen Ordnern "
                                                        "(„%1“ und „%2“). Glyfrax ersetzt sie nur gemeinsam, in "
                                                        "einem Ordner; prüfen Sie symbolische Verknüpfungen")
                                             .arg(shownPath(folder->path), shownPath(target->first)));
        }
        auto entry = std::make_unique<Pending>();
        entry->path = file.path;
        entry->name = QFile::encodeName(target->second);
        entry->folder = folder->fd.get();
        for (const auto& other : pending) {
            if (other->name == entry->name)
                return notWritten(file.path, QStringLiteral("Die Datei würde zweimal geschrieben"));
        }
        if (const std::optional<QString> input = inputAt(entry->folder, entry->name, inputs))
            return isInput(file.path, *input);
        pending.push_back(std::move(entry));
    }

    // Every file written and on disk before the lock is taken and the first target is touched.
    for (std::size_t i = 0; i < files.size(); ++i) {
        Pending& file = *pending[i];
        if (Result<void> created = createTemporary(file, *folder); !created)
            return created;
        QFile device;
        errno = 0;
        // Unbuffered: the bitmap is written in large bands, which a buffer would only copy once more.
        if (!device.open(file.temporary.get(), QIODevice::WriteOnly | QIODevice::Unbuffered,
                         QFileDevice::DontCloseHandle) ||
            !files[i].write(device))
            return notWritten(file.path, errno != 0 ? describeErrno(errno) : device.errorString());
        if (::fsync(file.temporary.get()) != 0)
            return notWritten(file.path, describeErrno(errno));
    }

    const Refusal refuse = [&files](const QString& reason) { return notWritten(files.front().path, reason); };
    if (Result<void> locked = lockFolder(*folder, refuse); !locked)
        return locked;
    if (Result<void> clean = cleanUp(*folder); !clean)
        return clean;
    for (const auto& file : pending) {
        if (Result<void> fine = recheck(*file, *folder, inputs); !fine)
            return fine;
        // A replacement that would stop halfway is not begun.
        if (const std::optional<QString> problem = whyNotReplaceable(file->folder, file->name))
            return notWritten(file->path, *problem);
    }
    const WriterPlace place = folder->place();
    Journal journal;
    for (const auto& file : pending) {
        if (!giveName(*file, place))
            return notWritten(file->path, reasonInFolder(errno, folder->path));
        FileStatus earlier{};
        const bool replaces = ::fstatat(file->folder, file->name.constData(), &earlier, AT_SYMLINK_NOFOLLOW) == 0;
        journal.renames.push_back({file->tempName, file->name, replaces ? temporaryName(place) : QByteArray()});
    }
    journal.removals = earlierFilesToRemove(set, *folder, pending, inputs);
    if (!writeJournal(folder->fd.get(), journal, place))
        return notWritten(files.front().path, reasonInFolder(errno, folder->path));
    // From here on the journal owns the temporary files: they become the targets, now or later.
    for (const auto& file : pending)
        file->tempName.clear();
    int error = 0;
    const int failed = carryOutInChild(folder->fd.get(), journal, error);
    if (failed >= 0)
        return notWritten(pending[std::size_t(failed)]->path, describeErrno(error));
    return {};
}

Result<void> writeFilesAtomically(const std::vector<FileContent>& files)
{
    return writeFilesAtomically(FileSet{files, {}, {}});
}

Result<void> finishInterruptedReplacement(const QString& folderPath)
{
    if (const FileKind kind = fileKind(folderPath); kind != FileKind::Folder)
        return failure(
            QStringLiteral("„%1“ ist kein Ordner, sondern %2.").arg(shownPath(folderPath), describeKind(kind)));
    const Refusal refuse = [&folderPath](const QString& reason) {
        return failure(
            QStringLiteral("Im Ordner „%1“ lässt sich nichts abschließen: %2.").arg(shownPath(folderPath), reason));
    };
    Result<Folder> folder = openFolder(QFileInfo(folderPath).absoluteFilePath(), refuse);
    if (!folder)
        return failure(folder.error());
    if (Result<void> locked = lockFolder(*folder, refuse); !locked)
        return locked;
    return cleanUp(*folder);
}

QString cancelledExportMessage()
{
    return QStringLiteral("Der Export wurde abgebrochen; die bisherigen Dateien bleiben, wie sie waren.");
}

} // namespace glyfrax
