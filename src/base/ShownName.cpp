#include "base/ShownName.h"

#include "base/FileSafety.h"

namespace glyfrax {

QString shownName(const QString& name)
{
    const QString shown = shownText(name);
    if (shown.size() <= kShownNameLength)
        return shown;
    // Never half of a character that takes two UTF-16 units.
    const qsizetype cut = shown.at(kShownNameLength - 1).isHighSurrogate() ? kShownNameLength - 1 : kShownNameLength;
    return shown.left(cut) + u'…';
}

} // namespace glyfrax
