#pragma once

#include <QString>

namespace glyfrax {

// What a control changes, for the pointer and for screen readers alike.
template <typename W> W* explain(W* widget, const QString& text)
{
    // As rich text, so a long tip wraps into a paragraph instead of running off the screen.
    widget->setToolTip(QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
    widget->setAccessibleDescription(text);
    return widget;
}

} // namespace glyfrax
