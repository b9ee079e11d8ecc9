#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringConverter>

#include <optional>
#include <utility>

namespace glyfrax {

// An INI file in the private-profile form: "[Section]" headers and "Key=Value" lines.
//
// Reading matches section and key names without regard to letter case and takes the first
// match; a missing section or key reads as "0", an empty value as the empty text, and a value
// is cut to its first 254 characters. Values lose surrounding spaces; tabs and every other
// character stay.
//
// Writing a key rewrites only that key's line; every other line, comments and unknown keys
// included, keeps its bytes. New lines end in CR LF. A file is decoded as UTF-8 when its bytes
// are valid UTF-8 and as Windows-1252 otherwise; a Windows-1252 file stays in that encoding as
// long as the values written fit it, and becomes UTF-8 as a whole when one does not. A file that
// starts with a UTF-16 byte order mark is read as UTF-16 text and stays UTF-16.
class ProfileFile
{
public:
    static constexpr qsizetype kMaxValueLength = 254;
    // Far more than any settings file holds; a larger file is refused unread.
    static constexpr qint64 kMaxFileSize = qint64(1) << 20;

    ProfileFile() = default;
    static ProfileFile fromBytes(const QByteArray& bytes);

    // Reads the file at path. A missing file is an empty profile. Anything else that cannot be
    // read (no permission, a folder, FIFO or device, a file over kMaxFileSize) is an empty
    // profile that says why in loadProblem() and refuses to be saved, so it is never overwritten.
    // Never blocks.
    static ProfileFile load(const QString& path);
    QString loadProblem() const { return m_loadProblem; }

    QString value(const QString& section, const QString& key) const;
    // The keys of a section and their values as value() gives them, in file order, in one pass:
    // for keys where "0" is no fit for a missing one.
    QList<std::pair<QString, QString>> sectionValues(const QString& section) const;

    // Returns false, changing nothing, for a section or key name that cannot be stored
    // (empty, or holding a line break, "=" in a key, "]" in a section). Line breaks in the
    // value are stored as blanks, since a value is one line.
    bool setValue(const QString& section, const QString& key, const QString& value);

    QByteArray toBytes() const;
    // Section and key of every key line, in file order.
    QList<std::pair<QString, QString>> keyNames() const;
    bool isUtf8() const { return m_utf8; }

    // Replaces the file at path with this profile in one step, or leaves it as it was.
    // Refuses a read-only file and a profile whose source could not be read; writes nothing
    // when the file already holds exactly these bytes.
    Result<void> save(const QString& path) const;

private:
    struct Line
    {
        QByteArray bytes; // without its line end
        QByteArray end;   // "\r\n", "\n" or empty for a last line without one
    };
    // What a line means, kept beside its bytes so that lookups need not decode every line.
    struct Entry
    {
        enum Kind
        {
            Blank,
            Other,
            Section,
            Key
        } kind = Blank;
        QString name;
        QString value;
    };

    Entry parse(qsizetype lineIndex) const;
    QString decode(const QByteArray& bytes) const;
    QByteArray encode(const QString& text) const;
    void convertToUtf8();
    void replaceOrInsert(const QString& sectionName, const QString& keyName, const QString& keyLine);
    qsizetype findSection(const QString& section) const;

    void setLine(qsizetype index, const QString& text);
    void insertLine(qsizetype index, const QString& text);

    void countInvalidUtf8(const QByteArray& lineBytes, int sign);

    QList<Line> m_lines;
    QList<Entry> m_entries; // one per line
    QByteArray m_original;
    bool m_utf8 = true;
    // In a Windows-1252 file, how many lines are not valid UTF-8: when none is left, the whole
    // file would read as UTF-8. Kept up to date line by line, so a write costs one line's check.
    qsizetype m_nonUtf8Lines = 0;
    // For a UTF-16 file, its encoding; the lines are held as UTF-8 meanwhile.
    std::optional<QStringConverter::Encoding> m_utf16;
    bool m_edited = false; // a value was set since the file was read
    QString m_loadProblem;
};

} // namespace glyfrax
