#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

namespace glyfrax {

// The Western-European ANSI code page. Character codes 32 to 255 of a texture font and
// settings files written on Windows both use it. Codes the code page leaves unassigned
// (129, 141, 143, 144, 157) map to the control character of the same number, as Windows does.
QChar charFromWindows1252(unsigned char code);
QString decodeWindows1252(const QByteArray& bytes);

// Encodes text as Windows-1252; a character the code page lacks becomes '?'.
QByteArray encodeWindows1252(const QString& text);

// True when every character of the text has a Windows-1252 code.
bool fitsWindows1252(const QString& text);

} // namespace glyfrax
