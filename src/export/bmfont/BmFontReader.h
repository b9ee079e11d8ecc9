#pragma once

#include <QByteArray>
#include <QStringList>

namespace glyfrax {

// How much of a descriptor holds its page names: every form names the pages before the
// characters, after a face name of at most 65,535 characters and at most 256 names of at most 255
// bytes, each byte escaped at most six-fold (\u0001 in JSON, &quot; in XML). Under 800 KiB.
constexpr qint64 kDescriptorHeadSize = qint64(1) << 20;

// The page files a BMFont descriptor names, page 0 first, whichever of its four forms (text, XML,
// binary, JSON) it is in, from its head alone (the file's first kDescriptorHeadSize bytes): each
// name once, at most the kMaxBmFontPages that a set can have; nothing for bytes that are no
// descriptor.
QStringList pageFilesNamedBy(const QByteArray& head);

} // namespace glyfrax
