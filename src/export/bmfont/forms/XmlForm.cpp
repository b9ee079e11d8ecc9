#include "export/bmfont/forms/DescriptorFields.h"
#include "export/bmfont/forms/FormParts.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace glyfrax {

namespace {

// The XML form: the tags of the text form as elements, their fields as attributes.

// The characters of XML 1.0; tab and line breaks are escaped.
char32_t written(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
                   c >= 0x10000
               ? c
               : kStandIn;
}

QString unquoted(const QString& text)
{
    return text;
}

void xmlElement(QXmlStreamWriter& xml, const char* tag, const Fields& fields)
{
    xml.writeEmptyElement(QString::fromLatin1(tag));
    for (const Field& field : fields)
        xml.writeAttribute(QString::fromLatin1(field.name), valueText(field.value, unquoted, true));
}

bool write(QIODevice& device, const BmFont& font)
{
    // Into memory first: the writer's many small writes would each reach the unbuffered file.
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("font"));
    xmlElement(xml, "info", infoFields(font, DescriptorForm::Xml));
    xmlElement(xml, "common", commonFields(font));
    if (!font.fieldType.isEmpty())
        xmlElement(xml, "distanceField", distanceFieldFields(font));
    xml.writeStartElement(QStringLiteral("pages"));
    for (int page = 0; page < font.pages.size(); ++page)
        xmlElement(xml, "page", pageFields(font, page));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("chars"));
    xml.writeAttribute(QStringLiteral("count"), QString::number(font.chars.size()));
    for (const BmFontChar& c : font.chars)
        xmlElement(xml, "char", charFields(c));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("kernings"));
    xml.writeAttribute(QStringLiteral("count"), QString::number(font.kernings.size()));
    for (const BmFontKerning& k : font.kernings)
        xmlElement(xml, "kerning", kerningFields(k));
    xml.writeEndElement();
    xml.writeEndDocument();
    return writeAll(device, bytes);
}

bool recognises(const QByteArray& head)
{
    return head.left(64).trimmed().startsWith('<');
}

void readPages(const QByteArray& head, PageNames& names)
{
    QXmlStreamReader xml(head);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"chars")
            return;
        if (xml.name() == u"page" && !names.add(xml.attributes().value(QStringLiteral("file")).toString()))
            return;
    }
}

void readCells(const QByteArray& bytes, DescriptorCells& cells)
{
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView block = xml.name();
        if (block != u"info" && block != u"common" && block != u"char")
            continue;
        BmFontChar c;
        for (const QXmlStreamAttribute& attribute : xml.attributes()) {
            bool number = false;
            const qint64 value = attribute.value().toLongLong(&number);
            if (number)
                readCellField(cells, block, attribute.name(), value, c);
        }
        if (block == u"char")
            cells.chars.push_back(c);
    }
}

} // namespace

extern const FormParts kXmlForm{write, written, recognises, readPages, readCells};

} // namespace glyfrax
