#include "export/classic/MetricsWriter.h"

#include "base/LittleEndian.h"
#include "base/Windows1252.h"
#include "layout/GlyphTable.h"
#include "settings/ClassicOptions.h"

#include <QIODevice>
#include <QtEndian>

#include <limits>

namespace glyfrax {

namespace {

QByteArray labelBytes(QString label)
{
    label.replace(u'\r', u'?').replace(u'\n', u'?');
    return encodeWindows1252(label);
}

bool writeAll(QIODevice& device, const QByteArray& bytes)
{
    return device.write(bytes) == bytes.size();
}

bool writeBinaryMetrics(QIODevice& device, const GlyphTable& table, MetricsForm width)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(kCharacterCount) * (width == MetricsForm::Binary32 ? 16 : 8));
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& r = table[code];
        for (std::int32_t field : {r.X, r.Y, r.W, r.H}) {
            if (width == MetricsForm::Binary32)
                appendLittleEndian<std::int32_t>(bytes, field);
            else
                appendLittleEndian<std::int16_t>(bytes, field);
        }
    }
    return writeAll(device, bytes);
}

bool writeTextMetrics(QIODevice& device, const GlyphTable& table, const ClassicOptions& labels)
{
    const QByteArray charTxt = labelBytes(labels.charTxt);
    const QByteArray xTxt = labelBytes(labels.xTxt);
    const QByteArray yTxt = labelBytes(labels.yTxt);
    const QByteArray wTxt = labelBytes(labels.wTxt);
    const QByteArray hTxt = labelBytes(labels.hTxt);
    QByteArray bytes;
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& r = table[code];
        bytes += charTxt + ' ' + QByteArray::number(code) + ' ' + xTxt + ' ' + QByteArray::number(r.X) + ' ' + yTxt +
                 ' ' + QByteArray::number(r.Y) + ' ' + wTxt + ' ' + QByteArray::number(r.W) + ' ' + hTxt + ' ' +
                 QByteArray::number(r.H) + "\r\n";
    }
    return writeAll(device, bytes);
}

} // namespace

bool writeMetrics(QIODevice& device, const GlyphTable& table, const ClassicOptions& options)
{
    const MetricsForm form = options.metricsForm();
    if (form == MetricsForm::Text)
        return writeTextMetrics(device, table, options);
    return writeBinaryMetrics(device, table, form);
}

Result<void> checkShortFields(const GlyphTable& table)
{
    constexpr auto kMin = std::numeric_limits<std::int16_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int16_t>::max();
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& r = table[code];
        const std::pair<const char16_t*, std::int32_t> fields[] = {{u"X", r.X}, {u"Y", r.Y}, {u"W", r.W}, {u"H", r.H}};
        for (const auto& [name, value] : fields) {
            if (value < kMin || value > kMax)
                return failure(QStringLiteral("Der Wert %1 = %2 des Zeichens %3 passt nicht in ein 16-Bit-Feld "
                                              "(-32768 bis 32767). Wählen Sie 32-Bit-Felder (VB: Long / C++: int).")
                                   .arg(QString::fromUtf16(name))
                                   .arg(value)
                                   .arg(code));
        }
    }
    return {};
}

} // namespace glyfrax
