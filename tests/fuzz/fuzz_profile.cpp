// The profile layer alone: arbitrary file bytes and an arbitrary section, key and value to
// write. Every line the write did not target is still in the file, byte for byte, and every
// other key keeps its value.
#include "FuzzInput.h"
#include "settings/ProfileFile.h"
#include "base/Windows1252.h"

using namespace glyfrax;

namespace {

// The lines without their ends; a CR belongs to the line end only when an LF follows it.
QList<QByteArray> lineContents(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].endsWith('\r'))
            lines[i].chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A write replaces one line, inserts one key line, or appends a section header and its key
// line: in each case all other lines of before stand in after, unchanged and in order.
bool keptButOne(const QList<QString>& before, const QList<QString>& after)
{
    const qsizetype added = after.size() - before.size();
    if (added == 0) {
        qsizetype differing = 0;
        for (qsizetype i = 0; i < before.size(); ++i)
            differing += before.at(i) != after.at(i) ? 1 : 0;
        return differing <= 1;
    }
    if (added == 1) {
        for (qsizetype inserted = 0; inserted < after.size(); ++inserted) {
            QList<QString> without = after;
            without.removeAt(inserted);
            if (without == before)
                return true;
        }
        return false;
    }
    return added == 2 && after.mid(0, before.size()) == before;
}

QList<QString> asText(const QList<QByteArray>& lines, bool utf8)
{
    QList<QString> texts;
    for (const QByteArray& line : lines)
        texts.append(utf8 ? QString::fromUtf8(line) : decodeWindows1252(line));
    return texts;
}

QString storedForm(QString value)
{
    value.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
        value.remove(0, 1);
    while (!value.isEmpty() && (value.back() == u' ' || value.back() == u'\t'))
        value.chop(1);
    if (value.size() > ProfileFile::kMaxValueLength)
        value =
            value.left(value.at(ProfileFile::kMaxValueLength - 1).isHighSurrogate() ? ProfileFile::kMaxValueLength - 1
                                                                                    : ProfileFile::kMaxValueLength);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const QString section = QString::fromUtf8(input.take());
    const QString key = QString::fromUtf8(input.take());
    const QString value = QString::fromUtf8(input.take());
    const QByteArray file = input.rest();

    ProfileFile profile = ProfileFile::fromBytes(file);
    const bool wasUtf8 = profile.isUtf8();
    QList<std::pair<QString, QString>> otherKeys;
    QStringList otherValues;
    for (const auto& [s, k] : profile.keyNames()) {
        otherKeys.append({s, k});
        otherValues.append(profile.value(s, k));
    }

    const bool written = profile.setValue(section, key, value);
    const QByteArray after = profile.toBytes();
    if (!written) {
        FUZZ_REQUIRE(after == file);
        return 0;
    }
    const ProfileFile reread = ProfileFile::fromBytes(after);
    FUZZ_REQUIRE(reread.isUtf8() == profile.isUtf8());
    const QString stored = storedForm(value);
    FUZZ_REQUIRE(reread.value(section, key) == stored);

    const QList<QByteArray> beforeLines = lineContents(file);
    const QList<QByteArray> afterLines = lineContents(after);
    if (wasUtf8 == profile.isUtf8()) {
        QList<QString> before;
        QList<QString> now;
        for (const QByteArray& line : beforeLines)
            before.append(QString::fromLatin1(line.toHex())); // bytes, compared exactly
        for (const QByteArray& line : afterLines)
            now.append(QString::fromLatin1(line.toHex()));
        FUZZ_REQUIRE(keptButOne(before, now));
    } else {
        FUZZ_REQUIRE(keptButOne(asText(beforeLines, wasUtf8), asText(afterLines, true)));
    }

    const QString targetSection = section.trimmed();
    const QString targetKey = key.trimmed();
    for (qsizetype i = 0; i < otherKeys.size(); ++i) {
        const auto& [s, k] = otherKeys.at(i);
        if (s.compare(targetSection, Qt::CaseInsensitive) == 0 && k.compare(targetKey, Qt::CaseInsensitive) == 0)
            continue;
        FUZZ_REQUIRE(reread.value(s, k) == otherValues.at(i));
    }
    return 0;
}
