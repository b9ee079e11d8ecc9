#pragma once

#include <QByteArray>
#include <QStringList>

namespace glyfrax {

// The page files a BMFont descriptor names, page 0 first, whichever of its four forms (text, XML,
// binary, JSON) it is in; nothing for bytes that are no descriptor.
QStringList pageFilesNamedBy(const QByteArray& descriptor);

} // namespace glyfrax
