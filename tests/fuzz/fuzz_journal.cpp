// A journal of arbitrary lines in a folder of arbitrary files, half the time marked with the user's
// key for that folder: completing it (as every export first does) may rename, replace or remove
// files of that folder only, and of those only the ones the journal names; nothing beside the folder
// changes. "T0" to "T3" in a name stand for temporary names this user's Glyfrax would make there.
#include "FuzzInput.h"
#include "base/AtomicFile.h"
#include "base/Journal.h"

#include <QDir>
#include <QFile>
#include <QMap>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace glyfrax;

namespace {

using Snapshot = QMap<QString, QByteArray>;

Snapshot snapshot(const QString& folder)
{
    Snapshot files;
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(all)) {
        QFile file(entry.filePath());
        files[entry.fileName()] = entry.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "(other)";
    }
    return files;
}

// The scratch folder: the user's data folder (for the key), the folder the journal lies in, and
// the files beside it that must never change.
const QString& scratch()
{
    // On the heap: the removal at exit may not outlive it.
    static const QString& path = *new QString([] {
        const QString base = QDir::tempPath() + QStringLiteral("/glyfrax-fuzz-journal-%1").arg(::getpid());
        QDir(base).removeRecursively();
        QDir().mkpath(base + QStringLiteral("/home"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/home")));
        for (const char* name : {"victim", "font.ttf", "config.ini"}) {
            QFile file(base + u'/' + QString::fromLatin1(name));
            static_cast<void>(file.open(QIODevice::WriteOnly));
            file.write(name);
        }
        std::atexit([] { QDir(scratch()).removeRecursively(); });
        return base;
    }());
    return path;
}

QByteArray withTemporaries(QByteArray text, const QList<QByteArray>& temporaries)
{
    for (qsizetype i = 0; i < temporaries.size(); ++i)
        text.replace("T" + QByteArray::number(i), temporaries[i]);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString folder = scratch() + QStringLiteral("/folder");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    struct stat identity
    {
    };
    ::stat(QFile::encodeName(folder).constData(), &identity);
    const std::optional<WriterKey> key = WriterKey::load();
    FUZZ_REQUIRE(key.has_value());
    const WriterPlace place{&*key, identity.st_ino};
    QList<QByteArray> temporaries;
    for (int i = 0; i < 4; ++i)
        temporaries.append(temporaryName(place, i == 3));

    const QByteArray flags = fuzz::take(input);
    const QList<QByteArray> lines = withTemporaries(fuzz::take(input), temporaries).split('\n');
    while (!input.isEmpty()) { // the folder's files
        const QByteArray name = withTemporaries(fuzz::take(input), temporaries);
        if (!name.isEmpty() && !name.contains('/') && name != "." && name != "..") {
            QFile file(folder + u'/' + QFile::decodeName(name));
            if (file.open(QIODevice::WriteOnly))
                file.write(name);
        }
    }
    QByteArray bytes;
    QList<QByteArray> named; // every name the journal mentions, as the folder spells it
    if (flags.startsWith('m')) {
        Journal journal;
        for (const QByteArray& line : lines) {
            const QList<QByteArray> fields = line.split(' ');
            for (const QByteArray& field : fields.mid(1))
                named.append(QByteArray::fromPercentEncoding(field));
            if (fields.size() >= 3 && fields[0] == "R")
                journal.renames.push_back({QByteArray::fromPercentEncoding(fields[1]),
                                           QByteArray::fromPercentEncoding(fields[2]),
                                           fields.size() > 3 ? QByteArray::fromPercentEncoding(fields[3]) : ""});
            else if (fields.size() >= 2 && fields[0] == "D")
                journal.removals.push_back(QByteArray::fromPercentEncoding(fields[1]));
        }
        bytes = journal.toBytes(place);
    } else {
        bytes = lines.join('\n');
    }
    QFile journalFile(folder + QStringLiteral("/.glyfrax-journal"));
    if (journalFile.open(QIODevice::WriteOnly))
        journalFile.write(bytes);
    journalFile.close();
    if (flags.contains('u'))
        ::chmod(QFile::encodeName(journalFile.fileName()).constData(), 0400);

    const Snapshot beside = snapshot(scratch());
    const Snapshot before = snapshot(folder);
    static_cast<void>(finishInterruptedReplacement(folder));
    FUZZ_REQUIRE(snapshot(scratch()) == beside);
    const Snapshot after = snapshot(folder);
    for (auto file = before.begin(); file != before.end(); ++file) {
        // A name with this user's mark for the folder is ours, whoever made the file.
        const QByteArray name = QFile::encodeName(file.key());
        const bool mentioned = named.contains(name) || temporaryKind(place, name.constData()) != TemporaryKind::None;
        FUZZ_REQUIRE(mentioned || file.key() == QStringLiteral(".glyfrax-journal") || after.value(file.key()) == *file);
    }
    return 0;
}
