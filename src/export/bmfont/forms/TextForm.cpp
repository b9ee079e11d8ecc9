#include "export/bmfont/BmFontReader.h"
#include "export/bmfont/forms/DescriptorFields.h"
#include "export/bmfont/forms/FormParts.h"

#include <QRegularExpression>

namespace glyfrax {

namespace {

// The text form: one line per tag, blanks between name=value fields, texts in double quotes.

// The form has no escapes, and readers take more than CR and LF for a line break (Python's
// splitlines, for one, most control characters and U+2028, U+2029); a double quote in a face
// becomes a single one, so that the name does not end early.
char32_t written(char32_t c)
{
    if (c == U'"')
        return U'\'';
    return c >= 0x20 && (c < 0x7F || c > 0x9F) && c != 0x2028 && c != 0x2029 ? c : kStandIn;
}

QString textLine(const char* tag, const Fields& fields)
{
    QString line = QString::fromLatin1(tag);
    for (const Field& field : fields)
        line += u' ' + QString::fromLatin1(field.name) + u'=' +
                valueText(
                    field.value, [](const QString& text) { return u'"' + text + u'"'; }, false);
    return line + u'\n';
}

bool write(QIODevice& device, const BmFont& font)
{
    QString text = textLine("info", infoFields(font, DescriptorForm::Text)) + textLine("common", commonFields(font));
    for (int page = 0; page < font.pages.size(); ++page)
        text += textLine("page", pageFields(font, page));
    // After the pages: libGDX takes the lines after common as its pages, by position; the other
    // readers find the line wherever it stands.
    if (!font.fieldType.isEmpty())
        text += textLine("distanceField", distanceFieldFields(font));
    text += textLine("chars", {{"count", qint64(font.chars.size())}});
    for (const BmFontChar& c : font.chars)
        text += textLine("char", charFields(c));
    text += textLine("kernings", {{"count", qint64(font.kernings.size())}});
    for (const BmFontKerning& k : font.kernings)
        text += textLine("kerning", kerningFields(k));
    return writeAll(device, text.toUtf8());
}

bool recognises(const QByteArray& head)
{
    return head.left(64).trimmed().startsWith("info");
}

// A head cut at its full size may end in part of a line, and a part of a name is another name.
void readPages(const QByteArray& head, PageNames& names)
{
    static const QRegularExpression file(QStringLiteral(R"re(^page\b.*\bfile=(?:"([^"]*)"|(\S+)))re"));
    QList<QByteArray> lines = head.split('\n');
    if (head.size() >= kDescriptorHeadSize)
        lines.removeLast();
    for (const QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("chars"))
            return;
        if (!trimmed.startsWith("page"))
            continue;
        const QRegularExpressionMatch match = file.match(QString::fromUtf8(trimmed));
        if (match.hasMatch() && !names.add(match.captured(1).isEmpty() ? match.captured(2) : match.captured(1)))
            return;
    }
}

// Each line a block, its fields name=value (a value in quotes may hold spaces; no cell field does).
void readCells(const QByteArray& bytes, DescriptorCells& cells)
{
    static const QRegularExpression field(QStringLiteral(R"re(\b(\w+)=("[^"]*"|\S+))re"));
    for (const QByteArray& line : bytes.split('\n')) {
        const QString text = QString::fromUtf8(line.trimmed());
        const QString block = text.section(u' ', 0, 0);
        if (block != u"info" && block != u"common" && block != u"char")
            continue;
        BmFontChar c;
        for (QRegularExpressionMatchIterator it = field.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            bool number = false;
            const qint64 value = match.capturedView(2).toLongLong(&number);
            if (number)
                readCellField(cells, block, match.capturedView(1), value, c);
        }
        if (block == u"char")
            cells.chars.push_back(c);
    }
}

} // namespace

extern const FormParts kTextForm{write, written, recognises, readPages, readCells};

} // namespace glyfrax
