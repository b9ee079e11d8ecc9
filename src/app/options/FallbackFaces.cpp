#include "app/options/FallbackFaces.h"

#include "render/FontMeasure.h"

namespace glyfrax {

ShownFace shownFace(const FontSettings& font, int pixelSize)
{
    const QRawFont raw = FontMeasure(font).rawFont();
    QFont shown = realizeFont(font);
    shown.setPixelSize(pixelSize);
    // Each character as this font draws it, none taken from another font.
    shown.setStyleStrategy(QFont::StyleStrategy(shown.styleStrategy() | QFont::NoFontMerging));
    return {ownFamilyName(raw), raw, shown};
}

const Result<RegisteredFont>& FallbackFaces::find(const QString& entry)
{
    auto found = m_found.find(entry);
    if (found == m_found.end())
        found = m_found.emplace(entry, findFont(entry)).first;
    return found->second;
}

std::vector<ShownFace> FallbackFaces::faces(const QStringList& entries, const FontSettings& font, int pixelSize)
{
    std::vector<ShownFace> faces;
    for (const QString& entry : entries) {
        const Result<RegisteredFont>& found = find(entry);
        if (!found)
            continue;
        // As the export draws a fallback: in the font's style, from the fallback's family.
        FontSettings face = font;
        face.face = found->family;
        faces.push_back(shownFace(face, pixelSize));
        faces.back().name = found->displayName; // a file's face is registered under a name of ours
    }
    return faces;
}

} // namespace glyfrax
