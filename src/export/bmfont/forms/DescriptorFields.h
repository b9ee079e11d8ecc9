#pragma once

#include "export/bmfont/BmFontReader.h"
#include "export/bmfont/BmFontWriter.h"

#include <QByteArray>
#include <QString>

#include <variant>
#include <vector>

class QIODevice;

namespace glyfrax {

// What the writers of the forms share: the tags of a descriptor as fields, in the order every
// form writes them.

// A name that the text form writes without quotes, as engines expect a distance field's type.
struct Word
{
    QString text;
};

// The fields of one tag, as the text, XML and JSON forms share them.
using FieldValue = std::variant<qint64, QString, std::vector<int>, Word, double>;
struct Field
{
    const char* name;
    FieldValue value;
};
using Fields = std::vector<Field>;

constexpr int kStretchPercent = 100;

Fields infoFields(const BmFont& font, DescriptorForm form);
Fields commonFields(const BmFont& font);
// What a distance field's pages hold, as pixi.js, three-bmfont-text and Phaser read it.
Fields distanceFieldFields(const BmFont& font);
Fields pageFields(const BmFont& font, int id);
Fields charFields(const BmFontChar& c, bool fractional = false);
Fields kerningFields(const BmFontKerning& k, bool fractional = false);

// "1,2,3"
QString joined(const std::vector<int>& list);

bool writeAll(QIODevice& device, const QByteArray& bytes);

// A field's value as it stands in a form: a text as quote writes it (a word too, when the form
// quotes words), a list separated by commas.
QString valueText(const FieldValue& value, QString (*quote)(const QString&), bool quoteWords);

// Takes one field of a block ("info", "common", "char") as the text, XML and JSON forms name it into
// what keeping cells needs; a char's fields go into c, which the caller adds once the block ends.
void readCellField(DescriptorCells& cells, QStringView block, QStringView name, qint64 value, BmFontChar& c);

} // namespace glyfrax
