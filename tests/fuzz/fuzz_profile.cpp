// Arbitrary file bytes and a section, key and value to write: the value reads back as stored,
// and every line but the one written keeps its bytes (its text, when the file became UTF-8).
#include "FuzzInput.h"
#include "base/Windows1252.h"
#include "settings/ProfileFile.h"

#include <QRegularExpression>
#include <QStringDecoder>

using namespace glyfrax;

namespace {

// The lines without their ends, byte for byte; a CR belongs to a line end only before an LF.
QStringList lines(const QByteArray& bytes)
{
    QStringList lines = QString::fromLatin1(bytes).split(QRegularExpression(QStringLiteral("\r?\n")));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A file with a UTF-16 byte order mark is compared by its text: it is kept in UTF-16.
QByteArray comparable(const QByteArray& bytes)
{
    if (!bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF"))
        return bytes;
    // Stateless: a last odd byte reads as U+FFFD, as the profile reads (and then writes) it.
    QStringDecoder decode(bytes.startsWith('\xFF') ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                          QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return QString(decode(QByteArrayView(bytes).sliced(2))).toUtf8(); // without its byte order mark, as read
}

bool keptButOne(const QStringList& before, const QStringList& after)
{
    const qsizetype added = after.size() - before.size();
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before.at(head) == after.at(head))
        ++head;
    qsizetype tail = 0;
    while (head + tail < std::min(before.size(), after.size()) &&
           before.at(before.size() - 1 - tail) == after.at(after.size() - 1 - tail))
        ++tail;
    // Apart from an appended section, the changed lines lie between a common head and tail.
    return added >= 0 && added <= 2 && head + tail >= before.size() - (added == 0 ? 1 : 0) &&
           (added < 2 || head == before.size());
}

QString storedForm(QString value)
{
    value.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    value.remove(QRegularExpression(QStringLiteral("^ +| +$"))); // tabs stay: a label may hold them
    const qsizetype limit = ProfileFile::kMaxValueLength;
    return value.size() <= limit ? value : value.left(value.at(limit - 1).isHighSurrogate() ? limit - 1 : limit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray file = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString section = QString::fromUtf8(fuzz::take(file));
    const QString key = QString::fromUtf8(fuzz::take(file));
    const QString value = QString::fromUtf8(fuzz::take(file));
    ProfileFile profile = ProfileFile::fromBytes(file);
    const QByteArray asUtf8 = profile.isUtf8() ? file : decodeWindows1252(file).toUtf8();
    if (!profile.setValue(section, key, value)) {
        FUZZ_REQUIRE(profile.toBytes() == file);
        return 0;
    }
    const ProfileFile reread = ProfileFile::fromBytes(profile.toBytes());
    FUZZ_REQUIRE(reread.isUtf8() == profile.isUtf8());
    FUZZ_REQUIRE(reread.value(section, key) == storedForm(value));
    FUZZ_REQUIRE(keptButOne(lines(comparable(profile.isUtf8() ? asUtf8 : file)), lines(comparable(profile.toBytes()))));
    return 0;
}
