#include "export/TexturePlan.h"

#include "base/CodePage.h"
#include "settings/Settings.h"

#include <algorithm>

namespace glyfrax {

namespace {

// The classic cells as a descriptor: what an engine that reads the metrics file works with.
BmFont describeClassic(const ClassicPlan& plan, const CodePage& codePage)
{
    BmFont font;
    font.lineHeight = plan.measure.lineHeight();
    font.base = plan.measure.ascent();
    font.scaleW = plan.layout.side;
    font.scaleH = plan.layout.side;
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& cell = plan.cells[code];
        // A code the code page leaves unassigned still has its cell; it stands for itself.
        const char32_t character = codePage.character(static_cast<unsigned char>(code));
        font.chars.push_back(
            {character != 0 ? character : char32_t(code), cell.X, cell.Y, cell.W, cell.H, 0, 0, cell.W, 0});
    }
    std::sort(font.chars.begin(), font.chars.end(),
              [](const BmFontChar& a, const BmFontChar& b) { return a.id < b.id; });
    return font;
}

} // namespace

TexturePlan::TexturePlan(TextureProfile profile, BmFont descriptor, std::variant<ClassicPlan, BmFontPlan> plan)
    : m_profile(profile), m_descriptor(std::move(descriptor)), m_plan(std::move(plan))
{
}

Result<TexturePlan> TexturePlan::make(const Settings& settings, TextureProfile profile, const QPalette& palette,
                                      const std::function<bool()>& stillWanted)
{
    if (profile == TextureProfile::Classic) {
        const CodePage codePage = CodePage::windows1252();
        Result<ClassicPlan> classic = planClassic(settings, palette, codePage);
        if (!classic)
            return failure(classic.error());
        BmFont descriptor = describeClassic(*classic, codePage);
        return TexturePlan(profile, std::move(descriptor), std::move(*classic));
    }
    BmFontRun run;
    run.stillWanted = stillWanted;
    run.words = OptionWords::Window; // the texture view's reader knows the window's names
    Result<BmFontPlan> bmfont = planBmFont(settings, run, settings.bmfont.image, palette);
    if (!bmfont)
        return failure(bmfont.error());
    BmFont descriptor = bmfont->descriptor;
    return TexturePlan(profile, std::move(descriptor), std::move(*bmfont));
}

int TexturePlan::pageCount() const
{
    if (const auto* bmfont = std::get_if<BmFontPlan>(&m_plan))
        return bmFontFileCount(*bmfont);
    return 1;
}

QSize TexturePlan::pageSize() const
{
    if (const auto* bmfont = std::get_if<BmFontPlan>(&m_plan))
        return bmfont->pageSize;
    const std::int32_t side = std::get<ClassicPlan>(m_plan).layout.side;
    return {side, side};
}

bool TexturePlan::packed() const
{
    const auto* bmfont = std::get_if<BmFontPlan>(&m_plan);
    return bmfont && bmfont->packed;
}

const std::vector<char32_t>& TexturePlan::missing() const
{
    static const std::vector<char32_t> none;
    if (const auto* bmfont = std::get_if<BmFontPlan>(&m_plan))
        return bmfont->missing;
    return none;
}

QImage TexturePlan::drawPage(int page) const
{
    if (const auto* bmfont = std::get_if<BmFontPlan>(&m_plan))
        return bmfont->packed ? drawBmFontFile(*bmfont, page) : drawBmFontPage(*bmfont, page);
    return drawClassicTexture(std::get<ClassicPlan>(m_plan));
}

} // namespace glyfrax
