#include "settings/PageImage.h"

namespace glyfrax {

PageImage pageImageFor(const QString& path)
{
    for (const PageImageFacts& facts : kPageImages) {
        if (path.endsWith(QStringView(facts.extension), Qt::CaseInsensitive))
            return facts.value;
    }
    return PageImage::Bmp;
}

QStringList pageExtensions(bool alphaOnly)
{
    QStringList extensions;
    for (const PageImageFacts& facts : kPageImages) {
        if (facts.alpha || !alphaOnly)
            extensions.append(QString::fromUtf16(facts.extension));
    }
    return extensions;
}

QStringList pageImagesWithAlpha()
{
    QStringList names;
    for (const PageImageFacts& facts : kPageImages) {
        if (facts.alpha)
            names.append(QString::fromUtf16(facts.name).toUpper());
    }
    return names;
}

} // namespace glyfrax
