#pragma once

#include <QString>
#include <QStringList>

namespace glyfrax {

// A name or value for a message, such as a face name or an option's value: control characters
// made visible as shownText does, and only its first kShownNameLength characters followed by
// "…" when it is longer, so that a hostile name can neither steer the terminal nor make a
// message wider than any screen.
constexpr qsizetype kShownNameLength = 60;
QString shownName(const QString& name);

// Choices for a message, the last after "oder" (or another word): "text, xml, binary oder json"; one
// alone as it is.
QString alternatives(const QStringList& choices, QStringView last = u"oder");

} // namespace glyfrax
