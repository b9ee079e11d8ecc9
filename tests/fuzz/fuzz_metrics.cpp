// The text metrics writer with arbitrary labels and cells: always 224 lines ending in CR LF,
// and a reader that knows the labels finds every number where it expects it.
#include "FuzzInput.h"
#include "layout/GlyphTable.h"
#include "export/MetricsWriter.h"
#include "settings/ExportOptions.h"
#include "base/Windows1252.h"

#include <QBuffer>

#include <cstring>

using namespace glyfrax;

namespace {

// Reads "label number " from line at position, as a consumer that knows the label would.
bool readItem(const QByteArray& line, qsizetype& position, const QByteArray& label, std::int64_t expected, bool last)
{
    if (line.mid(position, label.size()) != label || line.mid(position + label.size(), 1) != " ")
        return false;
    position += label.size() + 1;
    const qsizetype end = last ? line.size() : line.indexOf(' ', position);
    if (end < 0)
        return false;
    bool ok = false;
    const std::int64_t number = line.mid(position, end - position).toLongLong(&ok);
    position = end + 1;
    return ok && number == expected;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    ExportOptions labels;
    QString* texts[] = {&labels.charTxt, &labels.xTxt, &labels.yTxt, &labels.wTxt, &labels.hTxt};
    for (QString* text : texts)
        *text = QString::fromUtf8(input.take());
    GlyphTable table;
    const QByteArray numbers = input.rest();
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        std::int32_t fields[4] = {};
        const qsizetype offset = qsizetype(code - kFirstCode) * 16;
        if (offset < numbers.size())
            std::memcpy(fields, numbers.constData() + offset, size_t(qMin<qsizetype>(16, numbers.size() - offset)));
        table[code] = {fields[0], fields[1], fields[2], fields[3]};
    }

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FUZZ_REQUIRE(writeTextMetrics(buffer, table, labels));
    const QByteArray text = buffer.data();
    FUZZ_REQUIRE(text.endsWith("\r\n"));
    FUZZ_REQUIRE(text.count('\n') == kCharacterCount);
    FUZZ_REQUIRE(text.count('\r') == kCharacterCount);

    QByteArray encoded[5];
    for (int i = 0; i < 5; ++i) {
        QString label = *texts[i];
        encoded[i] = encodeWindows1252(label.replace(u'\r', u'?').replace(u'\n', u'?'));
    }
    const QList<QByteArray> lines = text.split('\n');
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        QByteArray line = lines.at(code - kFirstCode);
        FUZZ_REQUIRE(line.endsWith('\r'));
        line.chop(1);
        const GlyphRect& r = table[code];
        qsizetype position = 0;
        FUZZ_REQUIRE(readItem(line, position, encoded[0], code, false));
        FUZZ_REQUIRE(readItem(line, position, encoded[1], r.X, false));
        FUZZ_REQUIRE(readItem(line, position, encoded[2], r.Y, false));
        FUZZ_REQUIRE(readItem(line, position, encoded[3], r.W, false));
        FUZZ_REQUIRE(readItem(line, position, encoded[4], r.H, true));
    }
    return 0;
}
