#pragma once

#include "base/Result.h"
#include "render/FontSource.h"
#include "settings/FontSettings.h"

#include <QFont>
#include <QRawFont>
#include <QStringList>

#include <map>
#include <vector>

namespace glyfrax {

// A font the BMFont dialog shows characters of: its raw font tells which characters it has, the
// shown font draws them in the chart.
struct ShownFace
{
    QString name; // as the font names itself
    QRawFont raw;
    QFont shown;
};

// The font of these settings for the chart, its characters drawn at pixelSize.
ShownFace shownFace(const FontSettings& font, int pixelSize);

// The fallback fonts of the BMFont options, found as the export finds them. The dialog's pages
// share one: a font file is read and registered once while the dialog is open, not on every
// edit of the list.
class FallbackFaces
{
public:
    // The entry's face ("DejaVu Serif", "/pfad/schrift.ttc#1"), or why the export will not find it.
    const Result<RegisteredFont>& find(const QString& entry);
    // The entries that are found, in their order, in the style of font.
    std::vector<ShownFace> faces(const QStringList& entries, const FontSettings& font, int pixelSize);

private:
    std::map<QString, Result<RegisteredFont>> m_found;
};

} // namespace glyfrax
