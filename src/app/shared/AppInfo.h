#pragma once

#include <QString>
#include <QUrl>

namespace glyfrax {

// The project's web address, opened by the web command and the About box's link.
inline QString webAddress()
{
    return QStringLiteral("https://glyfrax.example.org/");
}

// The address as a person reads it: its host name.
inline QString webAddressForDisplay()
{
    return QUrl(webAddress()).host();
}

// The icon and other files compiled into the program; call before using them.
void initResources();

// The help page that ships with the program.
inline QString helpFileName()
{
    return QStringLiteral("hilfe.html");
}

} // namespace glyfrax
