#pragma once

#include <QString>

namespace glyfrax {

// The project's web address, opened by the web command and the About box's link.
inline QString webAddress()
{
    return QStringLiteral("https://glyfrax.example.org/");
}

// The help page that the build places beside the executable.
inline QString helpFileName()
{
    return QStringLiteral("hilfe.html");
}

} // namespace glyfrax
