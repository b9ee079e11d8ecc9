#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace glyfrax {

// One table of a TrueType or OpenType font file: its tag ("glyf") and its bytes.
struct FontTable
{
    QByteArray tag;
    QByteArray bytes;
};

// The tables a single font's directory lists, in its order; a table that does not lie within the
// file is left out, and a file that is no single font has none.
std::vector<FontTable> fontTables(const QByteArray& font);
// The bytes of the table with this tag; empty when the font has none.
QByteArray fontTable(const QByteArray& font, const char* tag);
// A font file of these tables: a TrueType font when it has glyf, else an OpenType one.
QByteArray fontFileOf(std::vector<FontTable> tables);

// The text of a name table's record with this ID: Windows US English first, then any Windows
// language, then Macintosh Roman. Empty when the table has none or lies about it.
QString fontName(const QByteArray& nameTable, quint16 nameId);

} // namespace glyfrax
