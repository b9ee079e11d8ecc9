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

QString alternatives(const QStringList& choices, QStringView last)
{
    if (choices.size() < 2)
        return choices.join(QString());
    return choices.mid(0, choices.size() - 1).join(QStringLiteral(", ")) + u' ' + last.toString() + u' ' +
           choices.last();
}

} // namespace glyfrax
