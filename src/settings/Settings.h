#pragma once

#include "settings/BmFontOptions.h"
#include "settings/ExportOptions.h"
#include "settings/FontSettings.h"

namespace glyfrax {

// Everything the settings file holds.
struct Settings
{
    FontSettings font;
    ExportOptions options;
    BmFontOptions bmfont;

    bool operator==(const Settings&) const = default;
};

} // namespace glyfrax
