#pragma once

#include "base/Result.h"
#include "base/WriterKey.h"

#include <QByteArray>

#include <optional>
#include <sys/types.h>
#include <vector>

namespace glyfrax {

// The names this program gives its own files in a folder it writes to, and the journal of one
// replacement there. Both carry a mark made with the user's WriterKey and the folder's inode, so
// a file that somebody else put there (another user, an unpacked archive, a copy from another
// folder) is never taken for ours: neither carried out as a journal nor removed as a temporary.

// The one replacement under way in a folder; there is at most one, since it is made under the lock.
inline constexpr char kJournalName[] = ".glyfrax-journal";

// Where a temporary name is made; the folder's inode goes into its mark.
struct WriterPlace
{
    const WriterKey* key = nullptr; // none: names nobody can recognise later, journals never carried out
    ino_t folder = 0;
};

enum class TemporaryKind
{
    None,           // not ours, whatever it looks like
    MadeUnderLock,  // whoever holds the lock may remove it, unless its maker still holds it
    MadeBeforeLock, // the same, once it is old enough
};

// ".glyfrax-", sixteen random hexadecimal digits and sixteen of their mark, whatever the target's
// name: a name that fits the folder then always leaves room for its temporary one. Those made before
// the folder is locked, where a file system cannot make nameless files, end in "~".
QByteArray temporaryName(const WriterPlace& place, bool beforeLock = false);
TemporaryKind temporaryKind(const WriterPlace& place, const char* name);

// One file that takes another's place: the new content under a temporary name, the target, and
// the temporary name under which the earlier file is kept until the whole set is in place (empty
// where there was none), so that a step that fails can be undone.
struct JournalStep
{
    QByteArray temporary;
    QByteArray target;
    QByteArray backup;
};

struct Journal
{
    std::vector<JournalStep> renames;
    std::vector<QByteArray> removals; // the earlier set's files that the new one does not write

    // The journal with its mark; without a key, one that nobody will carry out later.
    QByteArray toBytes(const WriterPlace& place) const;
    // The journal of these bytes if this user's key wrote them for this folder and every name in
    // it is one this program may touch there; otherwise why not, as the end of a German sentence.
    static Result<Journal> fromBytes(const QByteArray& bytes, const WriterPlace& place);
};

// Writes the journal under its name in one step (a file that has the name is whole), readable by
// this user only.
bool writeJournal(int folder, const Journal& journal, const WriterPlace& place);

// Under the folder's lock: completes the replacement a dead writer of this user left in the folder
// at path (or finishes undoing it). A journal there that this user's Glyfrax did not write for this
// folder is not acted on: the failure names it, and nothing in the folder is replaced while it lies
// there, since carrying it out later would mix its set with newer files.
Result<void> completeJournal(int folder, const QString& path, const WriterPlace& place);

// Carries the journal out in the folder (opened as a descriptor) and removes it; the result is
// the step whose rename failed, or -1. A step done already (its temporary file gone) counts as
// done, so a journal cut off anywhere can be carried out again. When a rename fails, the steps
// done are undone from the kept earlier files, so the folder holds the earlier set. Only system
// calls, for a vforked child: done is room for a flag a step, made by the caller.
int carryOut(int folder, const Journal& journal, char* done, int& error);
// Undoes a journal whose undoing was cut off (carryOut marks it so, see isBeingUndone).
void undo(int folder, const Journal& journal, char* done);
// Whether a journal file's mode says that carryOut had begun to undo it.
bool isBeingUndone(mode_t mode);

// Why a file of the folder could not be replaced or removed now, though the folder can be written
// (another user's file in a folder of the sticky bit, an immutable or append-only file or folder),
// or nothing. Asked before the first rename, so that a replacement that would stop halfway is
// not begun.
std::optional<QString> whyNotReplaceable(int folder, const QByteArray& name);

} // namespace glyfrax
