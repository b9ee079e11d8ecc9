#include "base/AtomicFile.h"

#include "base/FileSafety.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace glyfrax {

namespace {

using FileStatus = struct stat;
using SignalAction = struct sigaction;

// How long an export waits for another one that is replacing files in the same folder; that
// takes milliseconds, so running out means the other process is stuck.
constexpr int kLockWaitMs = 30000;

QString reasonForErrno(int error, const QString& fallback, const QString& folder = {})
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert");
    case ENOENT:
        // The folder was there when the export began; it may have gone since, or it may be
        // one in which no file can be made (as in /proc).
        return !folder.isEmpty() && QFileInfo(folder).isDir()
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
        return fallback.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : fallback;
    }
}

Failure notWritten(const QString& path, const QString& reason)
{
    return failure(QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden: %2.").arg(shownPath(path), reason));
}

Failure notReplaced(const QString& path, FileKind kind)
{
    return failure(QStringLiteral("„%1“ wird nicht ersetzt: Das ist keine gewöhnliche Datei, sondern %2.")
                       .arg(shownPath(path), describeKind(kind)));
}

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A folder in which targets are replaced, opened once so that it can be locked and found again.
struct Folder
{
    QString path;
    Descriptor fd;
    FileStatus identity{};
};

// One file to replace, and its complete new content.
struct Pending
{
    QString path;    // as the caller gave it, for messages
    QByteArray name; // the file in its folder that is replaced; symbolic links are followed to it
    Folder* folder = nullptr;
    Descriptor temporary;
    QByteArray tempName; // empty while the temporary file has no name
    ~Pending()
    {
        if (!tempName.isEmpty())
            ::unlinkat(folder->fd.get(), tempName.constData(), 0);
    }
};

bool sameInode(const FileStatus& a, const FileStatus& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folder and name of the file that path stands for, or why it may not be replaced. A symbolic
// link stays a link: its target is replaced.
Result<std::pair<QString, QString>> resolveTarget(const QString& path)
{
    const QFileInfo target(path);
    if (target.fileName().isEmpty())
        return notWritten(path, QStringLiteral("Der Name ist leer"));
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists())
        return notWritten(path, QStringLiteral("Der Ordner „%1“ existiert nicht").arg(shownPath(folder.filePath())));
    if (!folder.isDir())
        return notWritten(path, QStringLiteral("„%1“ ist kein Ordner").arg(shownPath(folder.filePath())));
    const FileKind kind = fileKind(path);
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

QByteArray temporaryName(const QByteArray& name)
{
    // system(), not global(): seeding the global generator costs more than a whole small export.
    return '.' + name + ".glyfrax-" + QByteArray::number(QRandomGenerator::system()->generate(), 16);
}

// A temporary file in the folder. Without a name where the file system allows it, so that a
// process killed while writing leaves nothing behind.
Result<Descriptor> createTemporary(Pending& file)
{
    const int folder = file.folder->fd.get();
    int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            file.tempName = temporaryName(file.name);
            fd = ::openat(folder, file.tempName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST)
                file.tempName.clear();
        }
    }
    if (fd < 0)
        return notWritten(file.path, reasonForErrno(errno, {}, file.folder->path));
    // The new file takes the place of the earlier one, so it takes its permissions and owner too.
    FileStatus earlier{};
    if (::fstatat(folder, file.name.constData(), &earlier, 0) == 0) {
        ::fchmod(fd, earlier.st_mode & 07777);
        static_cast<void>(::fchown(fd, earlier.st_uid, earlier.st_gid)); // only root may; others keep theirs
    }
    return Descriptor(fd);
}

// The last steps for one file, prepared so that they need nothing but system calls.
struct Step
{
    int folder;
    int unnamed; // the nameless temporary file, or -1 when it has a name already
    QByteArray procPath;
    QByteArray tempName;
    QByteArray name;
};

bool giveName(const Step& step)
{
    return step.unnamed < 0 ||
           ::linkat(AT_FDCWD, step.procPath.constData(), step.folder, step.tempName.constData(), AT_SYMLINK_FOLLOW) ==
               0 ||
           // without /proc: the direct way, which needs more privileges
           ::linkat(step.unnamed, "", step.folder, step.tempName.constData(), AT_EMPTY_PATH) == 0;
}

// Gives each nameless temporary file a name beside its target, then renames them over their
// targets back to back and syncs the folders. Async-signal-safe, for a vforked child. Returns the
// index of the step that failed, with errno set, or -1; names it made and did not use are removed.
int runSteps(const std::vector<Step>& steps)
{
    auto renameOver = [](const Step& step) {
        return ::renameat(step.folder, step.tempName.constData(), step.folder, step.name.constData()) == 0;
    };
    const std::size_t count = steps.size();
    std::size_t named = 0;
    while (named < count && giveName(steps[named]))
        ++named;
    std::size_t renamed = 0;
    while (named == count && renamed < count && renameOver(steps[renamed]))
        ++renamed;
    const int failed = named < count ? int(named) : (renamed < count ? int(renamed) : -1);
    const int error = errno;
    for (std::size_t i = renamed; i < named; ++i) {
        if (steps[i].unnamed >= 0)
            ::unlinkat(steps[i].folder, steps[i].tempName.constData(), 0);
    }
    for (const Step& step : steps)
        ::fsync(step.folder); // the renames themselves on disk; not every file system can
    errno = error;
    return failed;
}

// Runs the steps in a child process of their own. A kill of this process, which may come at any
// moment, then either comes before the first rename or leaves the child to finish them all: the
// window between two renames can never leave a mixed pair. The child holds the folder lock while
// it runs; it ignores the signals a terminal or a service manager sends to a whole group.
Result<void> replaceTargets(std::vector<std::unique_ptr<Pending>>& pending)
{
    std::vector<Step> steps;
    for (const auto& file : pending) {
        const bool unnamed = file->tempName.isEmpty();
        steps.push_back({file->folder->fd.get(), unnamed ? file->temporary.get() : -1,
                         "/proc/self/fd/" + QByteArray::number(file->temporary.get()),
                         unnamed ? temporaryName(file->name) : file->tempName, file->name});
    }
    int report[2] = {-1, -1};
    // vfork: the child borrows this process's memory instead of copying its page tables, which
    // costs milliseconds in a process with Qt loaded; this thread waits until the child is done.
    const pid_t child = ::pipe2(report, O_CLOEXEC) == 0 ? ::vfork() : -1;
    if (child == 0) {
        SignalAction ignore{};
        ignore.sa_handler = SIG_IGN;
        for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE})
            ::sigaction(signal, &ignore, nullptr);
        const int outcome[2] = {runSteps(steps), errno};
        static_cast<void>(::write(report[1], outcome, sizeof outcome));
        ::_exit(0);
    }
    int outcome[2] = {0, EIO}; // a child that ended without a word failed
    if (child < 0) {
        outcome[0] = runSteps(steps); // no child to be had: here, with the window that leaves
        outcome[1] = errno;
    } else {
        ::close(report[1]);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (::read(report[0], outcome, sizeof outcome) != sizeof outcome)
            outcome[0] = 0;
    }
    if (report[0] >= 0)
        ::close(report[0]);
    if (outcome[0] >= 0)
        return notWritten(pending[std::size_t(outcome[0])]->path, reasonForErrno(outcome[1], {}));
    for (const auto& file : pending)
        file->tempName.clear();
    return {};
}

// Waits for the folder's lock. flock() is released by the kernel when the holder ends, however it
// ends, so a killed export never blocks later ones. A file system without locks goes without.
Result<void> lockFolder(const Folder& folder, const QString& path)
{
    const QDeadlineTimer deadline(kLockWaitMs);
    while (::flock(folder.fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return {};
        if (deadline.hasExpired())
            return notWritten(path, QStringLiteral("Ein anderes Programm ersetzt seit %1 Sekunden Dateien in diesem "
                                                   "Ordner und wird nicht fertig")
                                        .arg(kLockWaitMs / 1000));
        QThread::msleep(5);
    }
    return {};
}

// Under the lock: the folder is still where it was, and each target is still a regular file or
// missing.
Result<void> recheck(const Pending& file)
{
    FileStatus now{};
    if (::stat(QFile::encodeName(file.folder->path).constData(), &now) != 0 || !sameInode(now, file.folder->identity))
        return notWritten(file.path, QStringLiteral("Der Ordner existiert nicht (mehr)"));
    if (::fstatat(file.folder->fd.get(), file.name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Result<void>() : notWritten(file.path, reasonForErrno(errno, {}));
    if (!S_ISREG(now.st_mode))
        return notReplaced(file.path, S_ISLNK(now.st_mode) ? FileKind::Other : fileKind(file.path));
    return {};
}

} // namespace

Result<void> writeFilesAtomically(const std::vector<FileContent>& files)
{
    std::vector<std::unique_ptr<Folder>> folders;
    std::vector<std::unique_ptr<Pending>> pending;
    for (const FileContent& file : files) {
        const Result<std::pair<QString, QString>> target = resolveTarget(file.path);
        if (!target)
            return failure(target.error());
        auto entry = std::make_unique<Pending>();
        entry->path = file.path;
        entry->name = QFile::encodeName(target->second);
        const QByteArray folderName = QFile::encodeName(target->first);
        Descriptor opened(::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (opened.get() < 0 && errno == EACCES) // a folder one may write in but not list: no lock then
            opened = Descriptor(::open(folderName.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        FileStatus identity{};
        if (opened.get() < 0 || ::fstat(opened.get(), &identity) != 0)
            return notWritten(file.path, reasonForErrno(errno, {}));
        const auto known = std::find_if(folders.begin(), folders.end(), [&identity](const auto& folder) {
            return sameInode(folder->identity, identity);
        });
        if (known != folders.end()) {
            entry->folder = known->get();
        } else {
            folders.push_back(std::make_unique<Folder>(Folder{target->first, std::move(opened), identity}));
            entry->folder = folders.back().get();
        }
        for (const auto& other : pending) {
            if (other->folder == entry->folder && other->name == entry->name)
                return notWritten(file.path, QStringLiteral("Die Datei würde zweimal geschrieben"));
        }
        pending.push_back(std::move(entry));
    }

    // Every file written and on disk before the first target is touched.
    for (std::size_t i = 0; i < files.size(); ++i) {
        Pending& file = *pending[i];
        Result<Descriptor> temporary = createTemporary(file);
        if (!temporary)
            return failure(temporary.error());
        file.temporary = std::move(*temporary);
        QFile device;
        errno = 0;
        // Unbuffered: the bitmap is written in large bands, which a buffer would only copy once more.
        if (!device.open(file.temporary.get(), QIODevice::WriteOnly | QIODevice::Unbuffered,
                         QFileDevice::DontCloseHandle) ||
            !files[i].write(device))
            return notWritten(file.path, reasonForErrno(errno, device.errorString()));
        if (::fsync(file.temporary.get()) != 0)
            return notWritten(file.path, reasonForErrno(errno, {}));
    }

    // Then the targets are replaced back to back, while no other export replaces files in the same
    // folders: two exports to one name never mix their files. Folders are locked in one order.
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a->path < b->path; });
    for (const auto& folder : folders) {
        if (Result<void> locked = lockFolder(*folder, files.front().path); !locked)
            return locked;
    }
    for (const auto& file : pending) {
        if (Result<void> fine = recheck(*file); !fine)
            return fine;
    }
    return replaceTargets(pending);
}

} // namespace glyfrax
