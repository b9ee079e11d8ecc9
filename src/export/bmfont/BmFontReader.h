#pragma once

#include "export/bmfont/BmFontWriter.h"

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

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

// What a descriptor says of its cells: enough to keep them where they are in the next set.
struct DescriptorCells
{
    int size = 0; // the em in pixels
    std::int32_t scaleW = 0;
    std::int32_t scaleH = 0;
    bool packed = false;
    std::vector<BmFontChar> chars; // id, place, size, page and channels; nothing else is read
};

// A descriptor can hold no more characters than Unicode has, and its file is read whole: larger
// ones are not read.
constexpr qint64 kLargestDescriptor = qint64(64) << 20;

// The cells of a whole descriptor in any of the four forms; none for bytes that are no descriptor.
// Values are as the file claims them: whoever keeps cells checks them.
std::optional<DescriptorCells> readDescriptorCells(const QByteArray& bytes);

} // namespace glyfrax
