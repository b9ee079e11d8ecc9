#include "render/FontSource.h"

#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "render/FontAxes.h"
#include "render/FontMeasure.h"
#include "render/FontTables.h"
#include "render/VariedFont.h"
#include "settings/BmFontOptions.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QFontDatabase>
#include <QRawFont>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <tuple>
#include <vector>

namespace glyfrax {

namespace {

// Name IDs that give a family: the family, the typographic family and the WWS family.
constexpr quint16 kFamilyNameIds[] = {1, 16, 21};

quint16 read16(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

void append16(QByteArray& bytes, quint16 value)
{
    const quint16 big = qToBigEndian(value);
    bytes.append(reinterpret_cast<const char*>(&big), 2);
}

struct NameRecord
{
    quint16 platform, encoding, language, nameId;
    QByteArray text;

    auto key() const { return std::tie(platform, encoding, language, nameId); }
};

// The name table with every family name replaced by one Windows (Unicode, US English) record.
QByteArray renamedNameTable(const QByteArray& table, const QString& family)
{
    std::vector<NameRecord> records;
    if (table.size() >= 6) {
        const quint16 count = read16(table, 2);
        const qsizetype storage = read16(table, 4);
        for (qsizetype i = 0; i < count && 6 + 12 * (i + 1) <= table.size(); ++i) {
            const qsizetype at = 6 + 12 * i;
            NameRecord record{
                read16(table, at), read16(table, at + 2), read16(table, at + 4), read16(table, at + 6), {}};
            const qsizetype start = storage + read16(table, at + 10);
            const qsizetype length = read16(table, at + 8);
            const bool family = std::find(std::begin(kFamilyNameIds), std::end(kFamilyNameIds), record.nameId) !=
                                std::end(kFamilyNameIds);
            // Language-tagged records (0x8000 up) need the tags of format 1, which are not carried over.
            if (family || record.language >= 0x8000 || start + length > table.size())
                continue;
            record.text = table.mid(start, length);
            records.push_back(record);
        }
    }
    QByteArray utf16;
    for (const QChar ch : family)
        append16(utf16, ch.unicode());
    records.push_back({3, 1, 0x409, 1, utf16});
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.key() < b.key(); });

    QByteArray result;
    QByteArray strings;
    append16(result, 0);
    append16(result, quint16(records.size()));
    append16(result, quint16(6 + 12 * records.size()));
    for (const NameRecord& record : records) {
        for (quint16 field : {record.platform, record.encoding, record.language, record.nameId,
                              quint16(record.text.size()), quint16(strings.size())})
            append16(result, field);
        strings += record.text;
    }
    return result + strings;
}

} // namespace

Result<QByteArray> renameFontFamily(const QByteArray& font, const QString& family)
{
    const Failure notAFont = failure(QStringLiteral("Die Datei ist keine TrueType- oder OpenType-Schrift"));
    if (font.size() < 12)
        return notAFont;
    const quint32 version = qFromBigEndian<quint32>(font.constData());
    if (version != 0x00010000 && version != 0x4F54544F /* OTTO */ && version != 0x74727565 /* true */)
        return font.startsWith("ttcf")
                   ? failure(QStringLiteral("Die Datei ist eine Schriftsammlung (.ttc); bitte eine einzelne "
                                            "Schrift (.ttf oder .otf) angeben"))
                   : notAFont;
    const qsizetype tables = read16(font, 4);
    for (qsizetype i = 0; i < tables && 12 + 16 * (i + 1) <= font.size(); ++i) {
        const qsizetype entry = 12 + 16 * i;
        if (font.mid(entry, 4) != "name")
            continue;
        const qsizetype offset = qFromBigEndian<quint32>(font.constData() + entry + 8);
        const qsizetype length = qFromBigEndian<quint32>(font.constData() + entry + 12);
        if (offset < 0 || length < 0 || offset > font.size() || length > font.size() - offset)
            return notAFont;
        // The new table goes at the end, four-byte aligned; the old one stays unused.
        QByteArray renamed = font;
        renamed.append((4 - renamed.size() % 4) % 4, '\0');
        const QByteArray table = renamedNameTable(font.mid(offset, length), family);
        qToBigEndian<quint32>(quint32(renamed.size()), renamed.data() + entry + 8);
        qToBigEndian<quint32>(quint32(table.size()), renamed.data() + entry + 12);
        return renamed + table;
    }
    return notAFont;
}

Result<QByteArray> faceOfCollection(const QByteArray& font, int face)
{
    if (!font.startsWith("ttcf")) {
        if (face == 0)
            return font;
        return failure(QStringLiteral("Die Datei ist keine Schriftsammlung und hat nur die Schrift 0"));
    }
    const Failure broken = failure(QStringLiteral("Die Schriftsammlung ist beschädigt"));
    const auto fits = [&font](qint64 at, qint64 length) {
        return at >= 0 && length >= 0 && at + length <= font.size();
    };
    if (!fits(0, 12))
        return broken;
    const qint64 faces = qFromBigEndian<quint32>(font.constData() + 8);
    if (face < 0 || face >= faces)
        return failure(QStringLiteral("Die Schriftsammlung hat die Schriften 0 bis %1, keine Schrift %2")
                           .arg(faces - 1)
                           .arg(face));
    if (!fits(12 + 4 * qint64(face), 4))
        return broken;
    const qint64 start = qFromBigEndian<quint32>(font.constData() + 12 + 4 * face);
    if (!fits(start, 12))
        return broken;
    const qint64 tables = read16(font, start + 4);
    if (!fits(start + 12, 16 * tables))
        return broken;
    // The directory as it is, each table's offset then pointing into the new file; tables four-byte aligned.
    QByteArray single = font.mid(start, 12 + 16 * tables);
    for (qint64 i = 0; i < tables; ++i) {
        const char* entry = font.constData() + start + 12 + 16 * i;
        const qint64 offset = qFromBigEndian<quint32>(entry + 8);
        const qint64 length = qFromBigEndian<quint32>(entry + 12);
        if (!fits(offset, length))
            return broken;
        qToBigEndian<quint32>(quint32(single.size()), single.data() + 12 + 16 * i + 8);
        single += font.mid(offset, length);
        single.append((4 - single.size() % 4) % 4, '\0');
    }
    return single;
}

FontFileName splitFaceNumber(const QString& text)
{
    static const QRegularExpression numbered(QStringLiteral(R"(^(.+)#([0-9]{1,4})$)"));
    const QRegularExpressionMatch match = numbered.match(text);
    if (!match.hasMatch() || fileKind(text) != FileKind::Missing)
        return {text, 0};
    return {match.captured(1), match.captured(2).toInt()};
}

Result<QByteArray> readFontFace(const QString& path)
{
    const FontFileName name = splitFaceNumber(path);
    const Result<QByteArray> bytes = readRegularFile(name.path, kMaxFontFileSize);
    if (!bytes)
        return failure(bytes.error());
    const Result<QByteArray> face = faceOfCollection(*bytes, name.face);
    if (!face)
        return failure(
            QStringLiteral("Die Schriftdatei „%1“ kann nicht geladen werden: %2.").arg(shownPath(path), face.error()));
    return face;
}

Result<std::vector<double>> checkVariation(const QString& path, const QByteArray& face, const FontVariation& variation)
{
    const FontAxes axes = readFontAxes(face);
    const Result<std::vector<double>> coordinates =
        variation.isDefault() ? axes.defaults() : variationCoordinates(axes, variation);
    if (!coordinates)
        return failure(QStringLiteral("Schriftdatei „%1“: %2").arg(shownPath(path), coordinates.error()));
    return coordinates;
}

namespace {

constexpr QStringView kFilePrefix = u"Glyfrax-Schriftdatei-";

// Registers a face's bytes at the variation's coordinates under a family name of its own; label
// names the face in messages ("Schriftdatei „…“"), ownName is the name to show when it has none.
Result<RegisteredFont> registerFace(const QByteArray& face, const QString& label, const QString& ownName,
                                    const QString& file, const FontVariation& variation)
{
    const auto cannotLoad = [&label](const QString& why) {
        return failure(QStringLiteral("Die %1 kann nicht geladen werden: %2.").arg(label, why));
    };
    const FontAxes axes = readFontAxes(face);
    const Result<std::vector<double>> coordinates =
        variation.isDefault() ? axes.defaults() : variationCoordinates(axes, variation);
    if (!coordinates)
        return failure(QStringLiteral("%1: %2").arg(label, coordinates.error()));
    // At its defaults (and without axes) the face is registered as it is, not remade.
    const Result<QByteArray> drawn =
        *coordinates == readFontAxes(face).defaults() ? face : fontAtCoordinates(face, *coordinates);
    if (!drawn)
        return cannotLoad(drawn.error());
    // Named after the content: the same face always gets the same name, and no other font has it.
    const QString family = kFilePrefix.toString() +
                           QString::fromLatin1(QCryptographicHash::hash(*drawn, QCryptographicHash::Sha1).toHex());
    // A face registered before is there still: the texture view plans anew on every change, and
    // each registration would hold another copy of the font for the rest of the run.
    if (!QFontDatabase::hasFamily(family)) {
        const Result<QByteArray> renamed = renameFontFamily(*drawn, family);
        const int id = renamed ? QFontDatabase::addApplicationFontFromData(*renamed) : -1;
        if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(family))
            return cannotLoad(renamed ? QStringLiteral("Die Schrift ist beschädigt") : renamed.error());
    }
    // Read from the face's bytes, not from the renamed face, which knows only our name.
    const QString own = QRawFont(face, 12).familyName();
    return RegisteredFont{family, own.isEmpty() ? ownName : own, file};
}

// The tables a face may have that matter for drawing, measuring and varying it: a face found by
// its family gives its tables one by one, by tag.
constexpr const char* kFaceTables[] = {"cmap", "head", "hhea", "hmtx", "maxp", "name", "OS/2", "post", "glyf", "loca",
                                       "CFF ", "CFF2", "cvt ", "fpgm", "prep", "gasp", "kern", "GPOS", "GDEF", "GSUB",
                                       "BASE", "vhea", "vmtx", "fvar", "gvar", "avar", "cvar", "HVAR", "VVAR", "MVAR",
                                       "STAT", "COLR", "CPAL", "CBDT", "CBLC", "sbix", "SVG ", "EBDT", "EBLC", "VORG"};

} // namespace

Result<RegisteredFont> registerFontFile(const QString& path, const FontVariation& variation)
{
    const Result<QByteArray> face = readFontFace(path);
    if (!face)
        return failure(face.error());
    return registerFace(*face, QStringLiteral("Schriftdatei „%1“").arg(shownPath(path)),
                        QFileInfo(splitFaceNumber(path).path).completeBaseName(), splitFaceNumber(path).path,
                        variation);
}

bool isRegisteredFile(const QString& family)
{
    return family.startsWith(kFilePrefix);
}

QByteArray installedFaceBytes(const QRawFont& font)
{
    std::vector<FontTable> tables;
    for (const char* tag : kFaceTables) {
        if (QByteArray bytes = font.fontTable(tag); !bytes.isEmpty())
            tables.push_back({QByteArray(tag), std::move(bytes)});
    }
    return fontFileOf(std::move(tables));
}

Result<RegisteredFont> registerInstalledVariation(const QFont& font, const FontVariation& variation)
{
    const QRawFont raw = QRawFont::fromFont(font);
    const QString family = ownFamilyName(raw);
    return registerFace(installedFaceBytes(raw), QStringLiteral("Schrift „%1“").arg(shownName(family)), family, {},
                        variation);
}

bool namesFontFile(const QString& font)
{
    static const QRegularExpression fontFile(QStringLiteral(R"(\.(ttf|otf|ttc|otc)(#[0-9]+)?$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    return font.contains(u'/') || font.contains(u'\\') || fontFile.match(font).hasMatch();
}

Result<RegisteredFont> findFont(const QString& font)
{
    if (namesFontFile(font))
        return registerFontFile(font);
    if (!isFaceInstalled(font))
        return failure(faceNotInstalledMessage(font));
    return RegisteredFont{font, font, {}};
}

QString ownFamilyName(const QRawFont& font)
{
    const QString best = fontName(font.fontTable("name"), 1);
    if (!best.trimmed().isEmpty())
        return best;
    static const QRegularExpression foundry(QStringLiteral(R"( \[[^\]]*\]$)"));
    return font.familyName().remove(foundry);
}

bool isFaceInstalled(const QString& face)
{
    return !face.trimmed().isEmpty() && QFontDatabase::hasFamily(face);
}

QString faceNotInstalledMessage(const QString& face)
{
    QString message = QStringLiteral("Die Schriftart „%1“ ist nicht installiert.").arg(shownName(face));
    const QString firstWord = face.section(u' ', 0, 0, QString::SectionSkipEmpty);
    QStringList similar;
    for (const QString& family : QFontDatabase::families()) {
        // Only families with faces: the list also holds names the system maps to others.
        if (similar.size() < 3 && firstWord.size() >= 3 &&
            (family.contains(firstWord, Qt::CaseInsensitive) || face.contains(family, Qt::CaseInsensitive)) &&
            QFontDatabase::hasFamily(family) && !QFontDatabase::isPrivateFamily(family))
            similar.append(QStringLiteral("„%1“").arg(shownName(family)));
    }
    if (!similar.isEmpty())
        message += QStringLiteral(" Ähnliche installierte Schriftarten: %1.").arg(similar.join(QStringLiteral(", ")));
    return message;
}

Result<void> checkFace(const QString& face, OptionWords words)
{
    if (face.trimmed().isEmpty() || face == u"0")
        return failure(words == OptionWords::Window
                           ? QStringLiteral("Die Einstellungen nennen keine Schriftart; wählen Sie eine mit "
                                            "„Extras → Schriftart einstellen“.")
                           : QStringLiteral("Die Einstellungen nennen keine Schriftart; geben Sie eine mit --font "
                                            "oder --font-file an."));
    if (!isFaceInstalled(face))
        return failure(faceNotInstalledMessage(face));
    return {};
}

QStringList installedFontList()
{
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QStringList lines;
    for (const QString& family : families) {
        // Names the system maps to other families have no faces of their own; ours are private.
        if (!QFontDatabase::hasFamily(family) || QFontDatabase::isPrivateFamily(family) ||
            family.startsWith(u"Glyfrax-Schriftdatei-"))
            continue;
        // A name with a line break or tab of its own must not split its line.
        lines.append(shownText(family) + u'\t' + shownText(QFontDatabase::styles(family).join(QStringLiteral(", "))));
    }
    return lines;
}

Result<QString> fontFileFace(const QString& path)
{
    const Result<QByteArray> face = readFontFace(path);
    if (!face)
        return failure(face.error());
    const QRawFont font(*face, 12);
    if (!font.isValid())
        return failure(QStringLiteral("Die Schriftdatei „%1“ kann nicht geladen werden: Sie ist keine TrueType- oder "
                                      "OpenType-Schrift.")
                           .arg(shownPath(path)));
    return shownText(font.familyName()) + u'\t' + shownText(font.styleName());
}

QString startupReport(const QString& path, const LoadedSettings& loaded)
{
    QStringList parts;
    if (const QString settings = describeLoadedSettings(path, loaded); !settings.isEmpty())
        parts.append(settings);
    if (!loaded.fileProblem.isEmpty())
        parts.last() += QStringLiteral(" Glyfrax verwendet die Werte, die fehlende Einträge ergeben, und lässt die "
                                       "Datei beim Beenden, wie sie ist.");
    else if (loaded.nothingReadable)
        parts.last() += QStringLiteral(" Glyfrax beginnt mit den Werten, die fehlende Einträge ergeben.");
    // Only for a face the file really names: a missing, unreadable or empty file names none.
    const QString face = loaded.settings.font.face;
    if (loaded.fileProblem.isEmpty() && face != readSettings(ProfileFile()).settings.font.face &&
        !isFaceInstalled(face)) {
        const QString standIn = ownFamilyName(QRawFont::fromFont(realizeFont(loaded.settings.font)));
        parts.append(QStringLiteral("Die Schriftart „%1“ aus „%2“ ist nicht installiert. An ihrer Stelle zeigt und "
                                    "exportiert Glyfrax „%3“.")
                         .arg(shownName(face), shownPath(path), shownName(standIn)));
    }
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace glyfrax
