#pragma once

#include "base/Result.h"
#include "export/bmfont/BmFontExport.h"
#include "export/bmfont/BmFontWriter.h"
#include "export/classic/ClassicExport.h"

#include <QImage>
#include <QPalette>

#include <functional>
#include <variant>
#include <vector>

namespace glyfrax {

struct Settings;

// Which texture font the next export makes: the classic BMP and metrics pair, or a BMFont set.
enum class TextureProfile
{
    Classic,
    BmFont
};

// The texture font the next export of a profile writes, planned but not drawn: its cells as an
// engine reads them, and its pages drawn one at a time by the code that writes the files.
//
// The plan holds a font: it must stay on the thread that made it.
class TexturePlan
{
public:
    // Plans as the window's export does: the classic pair in Windows-1252, the BMFont set from
    // settings.bmfont with the page format it names. stillWanted is asked now and then while a
    // BMFont set's glyphs are measured and before its pages are sized; false ends the plan there
    // with a failure, for work that nobody waits for any more.
    static Result<TexturePlan> make(const Settings& settings, TextureProfile profile, const QPalette& palette,
                                    const std::function<bool()>& stillWanted = {});

    TextureProfile profile() const { return m_profile; }
    // The cells, offsets, advances and kerning as the descriptor holds them. For the classic pair
    // each code's cell as the metrics file gives it, its character from the code page, no offsets,
    // and the cell's width as its advance: such a texture's text is set cell beside cell.
    const BmFont& descriptor() const { return m_descriptor; }
    // The page images: for packed pages four pages of cells to an image, one in each channel.
    int pageCount() const;
    QSize pageSize() const;
    // Each channel of a page image holds cells of its own: a character's channels tell which.
    bool packed() const;
    // The chosen characters no font has a glyph for; none for the classic pair, whose codes all get
    // a cell.
    const std::vector<char32_t>& missing() const;
    // A page image as it looks (BMFont coverage pages white with the coverage as alpha, packed ones
    // as their file holds them); a null image when there is no memory for it.
    QImage drawPage(int page) const;

private:
    TextureProfile m_profile = TextureProfile::Classic;
    BmFont m_descriptor;
    std::variant<ClassicPlan, BmFontPlan> m_plan;

    TexturePlan(TextureProfile profile, BmFont descriptor, std::variant<ClassicPlan, BmFontPlan> plan);
};

} // namespace glyfrax
