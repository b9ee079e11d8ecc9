// The text metrics file with arbitrary labels and cells: 224 lines of "label number" items
// joined by blanks and ending in CR LF, the labels in Windows-1252 with line breaks as "?".
#include "FuzzInput.h"
#include "base/Windows1252.h"
#include "export/classic/MetricsWriter.h"
#include "layout/GlyphTable.h"
#include "settings/ClassicOptions.h"

#include <QBuffer>

#include <cstring>

using namespace glyfrax;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray input = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    ClassicOptions options;
    QString* labels[] = {&options.charTxt, &options.xTxt, &options.yTxt, &options.wTxt, &options.hTxt};
    QByteArray encoded[5];
    for (int i = 0; i < 5; ++i) {
        *labels[i] = QString::fromUtf8(fuzz::take(input));
        encoded[i] = encodeWindows1252(QString(*labels[i]).replace(u'\r', u'?').replace(u'\n', u'?'));
    }
    input.resize(kCharacterCount * 16, '\0');
    GlyphTable table;
    QByteArray expected;
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        std::int32_t fields[4];
        std::memcpy(fields, input.constData() + (code - kFirstCode) * 16, sizeof(fields));
        table[code] = {fields[0], fields[1], fields[2], fields[3]};
        const std::int32_t items[] = {code, fields[0], fields[1], fields[2], fields[3]};
        for (int i = 0; i < 5; ++i)
            expected += encoded[i] + ' ' + QByteArray::number(items[i]) + (i < 4 ? " " : "\r\n");
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FUZZ_REQUIRE(writeMetrics(buffer, table, options));
    FUZZ_REQUIRE(buffer.data() == expected);
    return 0;
}
