#pragma once

#include "settings/BmFontOptions.h"
#include "settings/ClassicOptions.h"
#include "settings/FontSettings.h"

namespace glyfrax {

// Everything the settings file holds.
struct Settings
{
    FontSettings font;
    ClassicOptions options;
    BmFontOptions bmfont;

    bool operator==(const Settings&) const = default;
};

} // namespace glyfrax
