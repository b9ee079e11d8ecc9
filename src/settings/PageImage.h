#pragma once

#include "base/ChoiceTable.h"

#include <QString>
#include <QStringList>

namespace glyfrax {

// The image format of the pages (and of the classic texture).
enum class PageImage
{
    Png,
    Bmp
};

// What each page format is: the one place a format's name, extension, captions and abilities live.
struct PageImageFacts
{
    PageImage value;
    const char16_t* name;      // as the settings file holds it: "png"
    const char16_t* extension; // of its files, with the dot: ".png"
    const char16_t* filter;    // the file dialog's type, as the window shows it
    const char16_t* caption;   // the window's choice
    bool alpha;                // holds an alpha channel; one without shows glyphs white on black
};

constexpr PageImageFacts kPageImages[] = {
    {PageImage::Png, u"png", u".png", u"PNG-Bilder (*.png)", u"PNG", true},
    {PageImage::Bmp, u"bmp", u".bmp", u"BMP-Bilder (*.bmp)", u"BMP, 24 Bit", false},
};

constexpr bool isPageImage(PageImage image)
{
    switch (image) {
    case PageImage::Png:
    case PageImage::Bmp:
        return true;
    }
    return false;
}
static_assert(oneRowEach(kPageImages, &isPageImage), "every page format has one row in kPageImages");

constexpr const PageImageFacts& pageImageFacts(PageImage image)
{
    return rowOf(kPageImages, image);
}

// The format a name asks for by its extension, in any letter case; BMP, as textures have always
// been, for a name whose extension the table does not know.
PageImage pageImageFor(const QString& path);

// The formats' extensions in the table's order, ".png", or only those of the formats with alpha.
QStringList pageExtensions(bool alphaOnly = false);

// The formats that hold an alpha channel, in capitals for a message: "PNG".
QStringList pageImagesWithAlpha();

} // namespace glyfrax
