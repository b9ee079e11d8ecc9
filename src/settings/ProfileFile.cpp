#include "settings/ProfileFile.h"

#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "base/Windows1252.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace glyfrax {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QByteArray kCrLf("\r\n");

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

// The text without the given characters at either end.
QString trimmedOf(const QString& text, QStringView characters)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && characters.contains(text.at(begin)))
        ++begin;
    while (end > begin && characters.contains(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString trimBlanks(const QString& text)
{
    return trimmedOf(text, u" \t\r");
}

bool sameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool holdsLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

QString cutValue(const QString& value)
{
    if (value.size() <= ProfileFile::kMaxValueLength)
        return value;
    qsizetype length = ProfileFile::kMaxValueLength;
    if (value.at(length - 1).isHighSurrogate())
        --length; // never leave half a character behind
    return value.left(length);
}

} // namespace

ProfileFile ProfileFile::fromBytes(const QByteArray& bytes)
{
    ProfileFile profile;
    profile.m_original = bytes;
    QByteArray text = bytes;
    // As the platform's own profile reader does: a UTF-16 byte order mark makes the file UTF-16 text.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        profile.m_utf16 = bytes.startsWith('\xFF') ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        QStringDecoder decoder(*profile.m_utf16,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        text = decoder.decode(QByteArrayView(bytes).sliced(2)).operator QString().toUtf8();
    }
    profile.m_utf8 = isValidUtf8(text);
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf('\n', start);
        Line line;
        if (newline < 0) {
            line.bytes = text.mid(start);
            start = text.size();
        } else {
            const bool crlf = newline > start && text.at(newline - 1) == '\r';
            line.bytes = text.mid(start, newline - start - (crlf ? 1 : 0));
            line.end = crlf ? kCrLf : QByteArray("\n");
            start = newline + 1;
        }
        profile.m_lines.append(line);
        if (!profile.m_utf8)
            profile.countInvalidUtf8(line.bytes, 1);
    }
    for (qsizetype i = 0; i < profile.m_lines.size(); ++i)
        profile.m_entries.append(profile.parse(i));
    return profile;
}

ProfileFile ProfileFile::load(const QString& path)
{
    if (fileKind(path) == FileKind::Missing)
        return {};
    const Result<QByteArray> bytes = readRegularFile(path, kMaxFileSize);
    if (!bytes) {
        ProfileFile unreadable;
        unreadable.m_loadProblem = bytes.error();
        return unreadable;
    }
    return fromBytes(*bytes);
}

void ProfileFile::countInvalidUtf8(const QByteArray& lineBytes, int sign)
{
    const bool ascii = std::all_of(lineBytes.begin(), lineBytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (!ascii && !isValidUtf8(lineBytes))
        m_nonUtf8Lines += sign;
}

QString ProfileFile::decode(const QByteArray& bytes) const
{
    if (!m_utf8)
        return decodeWindows1252(bytes);
    // QString::fromUtf8 would drop a U+FEFF at the start of a line, which may begin a name or
    // a value; the file's own byte order mark is taken off in parse().
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QByteArray ProfileFile::encode(const QString& text) const
{
    return m_utf8 ? text.toUtf8() : encodeWindows1252(text);
}

ProfileFile::Entry ProfileFile::parse(qsizetype lineIndex) const
{
    QByteArray bytes = m_lines.at(lineIndex).bytes;
    if (lineIndex == 0 && m_utf8 && bytes.startsWith(kUtf8Bom))
        bytes.remove(0, kUtf8Bom.size());
    const QString line = decode(bytes);
    const QString text = trimBlanks(line);
    Entry entry;
    if (text.isEmpty())
        return entry;
    entry.kind = Entry::Other;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        entry.kind = Entry::Section;
        entry.name = trimBlanks(text.mid(1, close < 0 ? -1 : close - 1));
        return entry;
    }
    if (text.startsWith(u';'))
        return entry;
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0)
        return entry;
    entry.name = trimBlanks(text.left(equals));
    if (entry.name.isEmpty())
        return entry; // "  =x": no key
    entry.kind = Entry::Key;
    // Spaces only: a tab at either end belongs to the value (a label may hold one).
    entry.value = trimmedOf(line.mid(line.indexOf(u'=') + 1), u" ");
    return entry;
}

qsizetype ProfileFile::findSection(const QString& section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Entry& entry = m_entries.at(i);
        if (entry.kind == Entry::Section && sameName(entry.name, section))
            return i;
    }
    return -1;
}

QString ProfileFile::value(const QString& section, const QString& key) const
{
    const QString wantedKey = trimBlanks(key);
    const qsizetype header = findSection(trimBlanks(section));
    if (header < 0)
        return QStringLiteral("0");
    for (qsizetype i = header + 1; i < m_lines.size(); ++i) {
        const Entry& entry = m_entries.at(i);
        if (entry.kind == Entry::Section)
            break;
        if (entry.kind == Entry::Key && sameName(entry.name, wantedKey))
            return cutValue(entry.value);
    }
    return QStringLiteral("0");
}

QList<std::pair<QString, QString>> ProfileFile::sectionValues(const QString& section) const
{
    QList<std::pair<QString, QString>> values;
    const qsizetype header = findSection(trimBlanks(section));
    for (qsizetype i = header + 1; header >= 0 && i < m_lines.size(); ++i) {
        const Entry& entry = m_entries.at(i);
        if (entry.kind == Entry::Section)
            break;
        if (entry.kind == Entry::Key && !std::any_of(values.cbegin(), values.cend(), [&entry](const auto& known) {
                return sameName(known.first, entry.name);
            }))
            values.append({entry.name, cutValue(entry.value)});
    }
    return values;
}

void ProfileFile::convertToUtf8()
{
    for (Line& line : m_lines)
        line.bytes = decodeWindows1252(line.bytes).toUtf8();
    m_utf8 = true;
    m_nonUtf8Lines = 0;
}

bool ProfileFile::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString sectionName = trimBlanks(section);
    const QString keyName = trimBlanks(key);
    if (sectionName.isEmpty() || holdsLineBreak(sectionName) || sectionName.contains(u']'))
        return false;
    if (keyName.isEmpty() || holdsLineBreak(keyName) || keyName.contains(u'=') || keyName.startsWith(u'[') ||
        keyName.startsWith(u';'))
        return false;

    QString oneLineValue = value;
    oneLineValue.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    const QString keyLine = keyName + u'=' + oneLineValue;
    if (!m_utf8 && !(fitsWindows1252(keyLine) && fitsWindows1252(sectionName)))
        convertToUtf8();
    replaceOrInsert(sectionName, keyName, keyLine);
    m_edited = true;
    // A Windows-1252 file whose bytes turned into valid UTF-8 would be read as UTF-8 next
    // time and change the meaning of its other lines: it becomes UTF-8 as a whole instead.
    // A line end cannot complete a character, so the file is valid UTF-8 when each line is.
    if (!m_utf8 && m_nonUtf8Lines == 0)
        convertToUtf8();
    return true;
}

void ProfileFile::replaceOrInsert(const QString& sectionName, const QString& keyName, const QString& keyLine)
{
    auto endLastLine = [this] {
        if (!m_lines.isEmpty() && m_lines.last().end.isEmpty())
            m_lines.last().end = kCrLf;
    };

    const qsizetype header = findSection(sectionName);
    if (header < 0) {
        endLastLine();
        insertLine(m_lines.size(), u'[' + sectionName + u']');
        insertLine(m_lines.size(), keyLine);
        return;
    }

    qsizetype lastContent = header;
    for (qsizetype i = header + 1; i < m_lines.size(); ++i) {
        const Entry& entry = m_entries.at(i);
        if (entry.kind == Entry::Section)
            break;
        if (entry.kind == Entry::Key && sameName(entry.name, keyName)) {
            setLine(i, keyLine);
            return;
        }
        if (entry.kind != Entry::Blank)
            lastContent = i;
    }
    // A new key goes after the section's last non-blank line, before any blank lines that
    // separate it from the next section.
    if (m_lines.at(lastContent).end.isEmpty())
        m_lines[lastContent].end = kCrLf;
    insertLine(lastContent + 1, keyLine);
}

void ProfileFile::setLine(qsizetype index, const QString& text)
{
    if (!m_utf8)
        countInvalidUtf8(m_lines.at(index).bytes, -1);
    m_lines[index].bytes = encode(text);
    if (!m_utf8)
        countInvalidUtf8(m_lines.at(index).bytes, 1);
    m_entries[index] = parse(index);
}

void ProfileFile::insertLine(qsizetype index, const QString& text)
{
    m_lines.insert(index, {encode(text), kCrLf});
    if (!m_utf8)
        countInvalidUtf8(m_lines.at(index).bytes, 1);
    m_entries.insert(index, parse(index));
}

QList<std::pair<QString, QString>> ProfileFile::keyNames() const
{
    QList<std::pair<QString, QString>> names;
    QString section;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Entry& entry = m_entries.at(i);
        if (entry.kind == Entry::Section)
            section = entry.name;
        else if (entry.kind == Entry::Key)
            names.append({section, entry.name});
    }
    return names;
}

QByteArray ProfileFile::toBytes() const
{
    qsizetype size = 0;
    for (const Line& line : m_lines)
        size += line.bytes.size() + line.end.size();
    QByteArray bytes;
    bytes.reserve(size);
    for (const Line& line : m_lines) {
        bytes += line.bytes;
        bytes += line.end;
    }
    // An untouched UTF-16 file keeps its bytes, even where they are not valid UTF-16.
    if (m_utf16 && !m_edited)
        return m_original;
    if (m_utf16) {
        // Not QString::fromUtf8, which would drop a U+FEFF that starts the text after the mark.
        QStringDecoder text(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return QStringEncoder(*m_utf16, QStringEncoder::Flag::WriteBom).encode(QString(text(bytes)));
    }
    return bytes;
}

Result<void> ProfileFile::save(const QString& path) const
{
    if (!m_loadProblem.isEmpty())
        return failure(QStringLiteral("Die Einstellungsdatei „%1“ ließ sich nicht lesen; sie bleibt, wie sie ist.")
                           .arg(shownPath(path)));
    const QByteArray bytes = toBytes();
    const QFileInfo info(path);
    if (info.exists() && bytes == m_original)
        return {};
    // The owner's write bit is the file's read-only attribute; it holds for root too, and the
    // atomic writer refuses such a file.
    return writeFilesAtomically({{path, [&bytes](QIODevice& device) { return device.write(bytes) == bytes.size(); }}});
}

} // namespace glyfrax
