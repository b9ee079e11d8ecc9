#pragma once

#include "base/ChoiceTable.h"

#include <QString>

namespace glyfrax {

// What the pages hold: each glyph's coverage, or a distance field of one of the kinds engines
// draw sharp at any size (one distance in every channel; three whose median is the distance; those
// three with the true distance in alpha).
enum class PageField
{
    None,
    Sdf,
    Msdf,
    Mtsdf
};

// What each kind of page is: the one place its names, caption and channels live.
struct PageFieldFacts
{
    PageField value;
    const char16_t* name;       // as the settings file and --field spell it: "msdf"
    const char16_t* descriptor; // the descriptor's fieldType; empty: no field is named
    const char16_t* caption;    // the window's choice
    const char16_t* help;       // what the pages hold, for the command line's help
    bool severalDistances;      // red, green and blue hold distances whose median is the distance
    bool alphaIsOne;            // alpha holds nothing of the glyph, 255 everywhere
};

constexpr PageFieldFacts kPageFields[] = {
    {PageField::None, u"none", u"", u"Keines: die Deckung jeder Glyphe", u"die Deckung", false, false},
    {PageField::Sdf, u"sdf", u"sdf", u"SDF: ein Abstand in allen Kanälen", u"ein Abstand in allen Kanälen", false,
     false},
    {PageField::Msdf, u"msdf", u"msdf", u"MSDF: drei Kanäle, ihr Median der Abstand",
     u"drei Kanäle, ihr Median der Abstand; scharfe Ecken", true, true},
    {PageField::Mtsdf, u"mtsdf", u"mtsdf", u"MTSDF: MSDF, dazu der Abstand im Alphakanal",
     u"msdf, dazu der Abstand im Alphakanal", true, false},
};

constexpr bool isPageField(PageField field)
{
    switch (field) {
    case PageField::None:
    case PageField::Sdf:
    case PageField::Msdf:
    case PageField::Mtsdf:
        return true;
    }
    return false;
}
static_assert(oneRowEach(kPageFields, &isPageField), "every kind of page has one row in kPageFields");

constexpr const PageFieldFacts& pageFieldFacts(PageField field)
{
    return rowOf(kPageFields, field);
}

} // namespace glyfrax
