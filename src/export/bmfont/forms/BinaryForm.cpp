#include "base/LittleEndian.h"
#include "export/bmfont/forms/DescriptorFields.h"
#include "export/bmfont/forms/FormParts.h"

#include <QtEndian>

namespace glyfrax {

namespace {

// The binary form, version 3: blocks 1 to 5, little-endian, the kerning block only when there are
// pairs. It has no block that names a distance field.

// Names end at a NUL.
char32_t written(char32_t c)
{
    return c != 0 ? c : kStandIn;
}

// A block: its type, its length without these five bytes, then its content.
void appendBlock(QByteArray& bytes, std::uint8_t type, const QByteArray& content)
{
    appendLittleEndian<std::uint8_t>(bytes, type);
    appendLittleEndian<std::int32_t>(bytes, content.size());
    bytes += content;
}

constexpr std::uint8_t kPagesBlock = 3;

bool write(QIODevice& device, const BmFont& font)
{
    QByteArray bytes("BMF\x03", 4);

    QByteArray info;
    appendLittleEndian<std::int16_t>(info, font.size);
    // The format numbers the flag bits from the top: smooth is 0x80, then unicode, italic, bold.
    appendLittleEndian<std::uint8_t>(info, 0x80 | 0x40 | (font.italic ? 0x20 : 0) | (font.bold ? 0x10 : 0));
    appendLittleEndian<std::uint8_t>(info, 0); // character set: none, the ids are Unicode
    appendLittleEndian<std::uint16_t>(info, kStretchPercent);
    appendLittleEndian<std::uint8_t>(info, std::uint8_t(font.supersample));
    for (const int side : font.padding)
        appendLittleEndian<std::uint8_t>(info, side);
    for (const int direction : font.spacing)
        appendLittleEndian<std::uint8_t>(info, direction);
    appendLittleEndian<std::uint8_t>(info, font.outline);
    info += faceAsWritten(font.face, DescriptorForm::Binary).toUtf8() + '\0';
    appendBlock(bytes, 1, info);

    QByteArray common;
    for (const int value : {font.lineHeight, font.base, font.scaleW, font.scaleH, int(font.pages.size())})
        appendLittleEndian<std::uint16_t>(common, value);
    appendLittleEndian<std::uint8_t>(common, font.packed ? 1 : 0);
    appendLittleEndian<std::uint8_t>(common, int(font.alpha));
    for (int channel = 0; channel < 3; ++channel)
        appendLittleEndian<std::uint8_t>(common, int(font.color));
    appendBlock(bytes, 2, common);

    QByteArray pages;
    for (const QString& page : font.pages)
        pages += page.toUtf8() + '\0';
    appendBlock(bytes, kPagesBlock, pages);

    QByteArray chars;
    for (const BmFontChar& c : font.chars) {
        appendLittleEndian<std::uint32_t>(chars, c.id);
        for (const std::int32_t value : {c.x, c.y, c.width, c.height})
            appendLittleEndian<std::uint16_t>(chars, value);
        for (const std::int32_t value : {c.xoffset, c.yoffset, c.xadvance})
            appendLittleEndian<std::int16_t>(chars, value);
        appendLittleEndian<std::uint8_t>(chars, c.page);
        appendLittleEndian<std::uint8_t>(chars, std::uint8_t(c.channels));
    }
    appendBlock(bytes, 4, chars);

    if (!font.kernings.empty()) {
        QByteArray kernings;
        for (const BmFontKerning& k : font.kernings) {
            appendLittleEndian<std::uint32_t>(kernings, k.first);
            appendLittleEndian<std::uint32_t>(kernings, k.second);
            appendLittleEndian<std::int16_t>(kernings, k.amount);
        }
        appendBlock(bytes, 5, kernings);
    }
    return writeAll(device, bytes);
}

bool recognises(const QByteArray& head)
{
    return head.startsWith("BMF\x03");
}

void readPages(const QByteArray& head, PageNames& names)
{
    for (qsizetype at = 4; at + 5 <= head.size();) {
        const auto type = std::uint8_t(head[at]);
        const qint64 length = qFromLittleEndian<qint32>(head.constData() + at + 1);
        if (length < 0 || length > head.size() - at - 5)
            return;
        if (type == kPagesBlock) {
            for (const QByteArray& name : head.mid(at + 5, length).split('\0')) {
                if (!names.add(QString::fromUtf8(name)))
                    return;
            }
            return;
        }
        at += 5 + length;
    }
}

// The blocks as write lays them out: info's size first, common's sides and packed flag, 20 bytes a char.
void readCells(const QByteArray& bytes, DescriptorCells& cells)
{
    const auto u16 = [](const char* at) { return std::int32_t(qFromLittleEndian<quint16>(at)); };
    for (qsizetype at = 4; at + 5 <= bytes.size();) {
        const auto type = std::uint8_t(bytes[at]);
        const qint64 length = qFromLittleEndian<qint32>(bytes.constData() + at + 1);
        if (length < 0 || length > bytes.size() - at - 5)
            return;
        const char* content = bytes.constData() + at + 5;
        if (type == 1 && length >= 2)
            cells.size = qFromLittleEndian<qint16>(content);
        else if (type == 2 && length >= 11) {
            cells.scaleW = u16(content + 4);
            cells.scaleH = u16(content + 6);
            cells.packed = content[10] != 0;
        } else if (type == 4) {
            for (qint64 c = 0; c + 20 <= length; c += 20) {
                const char* entry = content + c;
                BmFontChar read;
                read.id = qFromLittleEndian<quint32>(entry);
                read.x = u16(entry + 4);
                read.y = u16(entry + 6);
                read.width = u16(entry + 8);
                read.height = u16(entry + 10);
                read.page = std::uint8_t(entry[18]);
                read.channels = std::uint8_t(entry[19]);
                cells.chars.push_back(read);
            }
        }
        at += 5 + length;
    }
}

} // namespace

extern const FormParts kBinaryForm{write, written, recognises, readPages, readCells};

} // namespace glyfrax
