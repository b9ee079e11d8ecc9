#include "MetricsWriter.h"

#include "../settings/ExportOptions.h"
#include "../settings/Windows1252.h"
#include "GlyphTable.h"

#include <QIODevice>
#include <QtEndian>

#include <limits>

namespace glyfrax {

namespace {

template <typename T> void appendLittleEndian(QByteArray& bytes, std::int32_t value)
{
    char buffer[sizeof(T)];
    qToLittleEndian<T>(static_cast<T>(value), buffer);
    bytes.append(buffer, sizeof(T));
}

QByteArray labelBytes(QString label)
{
    label.replace(u'\r', u'?').replace(u'\n', u'?');
    return encodeWindows1252(label);
}

bool writeAll(QIODevice& device, const QByteArray& bytes)
{
    return device.write(bytes) == bytes.size();
}

} // namespace

bool writeBinaryMetrics(QIODevice& device, const GlyphTable& table, FieldWidth width)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(kCharacterCount) * (width == FieldWidth::Long32 ? 16 : 8));
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& r = table[code];
        for (std::int32_t field : {r.X, r.Y, r.W, r.H}) {
            if (width == FieldWidth::Long32)
                appendLittleEndian<std::int32_t>(bytes, field);
            else
                appendLittleEndian<std::int16_t>(bytes, field);
        }
    }
    return writeAll(device, bytes);
}

bool writeTextMetrics(QIODevice& device, const GlyphTable& table, const ExportOptions& labels)
{
    const QByteArray charTxt = labelBytes(labels.CharTxt);
    const QByteArray xTxt = labelBytes(labels.XTxt);
    const QByteArray yTxt = labelBytes(labels.YTxt);
    const QByteArray wTxt = labelBytes(labels.WTxt);
    const QByteArray hTxt = labelBytes(labels.HTxt);
    QByteArray bytes;
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& r = table[code];
        bytes += charTxt + ' ' + QByteArray::number(code) + ' ' + xTxt + ' ' + QByteArray::number(r.X) + ' ' + yTxt +
                 ' ' + QByteArray::number(r.Y) + ' ' + wTxt + ' ' + QByteArray::number(r.W) + ' ' + hTxt + ' ' +
                 QByteArray::number(r.H) + "\r\n";
    }
    return writeAll(device, bytes);
}

bool writeMetrics(QIODevice& device, const GlyphTable& table, const ExportOptions& options)
{
    if (!options.WriteBinary)
        return writeTextMetrics(device, table, options);
    return writeBinaryMetrics(device, table, options.TakeLong ? FieldWidth::Long32 : FieldWidth::Short16);
}

QString findShortFieldOverflow(const GlyphTable& table)
{
    constexpr auto kMin = std::numeric_limits<std::int16_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int16_t>::max();
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& r = table[code];
        const std::pair<const char16_t*, std::int32_t> fields[] = {{u"X", r.X}, {u"Y", r.Y}, {u"W", r.W}, {u"H", r.H}};
        for (const auto& [name, value] : fields) {
            if (value < kMin || value > kMax)
                return QStringLiteral("Der Wert %1 = %2 des Zeichens %3 passt nicht in ein 16-Bit-Feld "
                                      "(-32768 bis 32767). Wählen Sie 32-Bit-Felder (VB: Long / C++: int).")
                    .arg(QString::fromUtf16(name))
                    .arg(value)
                    .arg(code);
        }
    }
    return {};
}

} // namespace glyfrax
