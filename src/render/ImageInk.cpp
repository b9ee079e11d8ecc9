#include "render/ImageInk.h"

#include "base/FileSafety.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QRegion>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTransform>

#include <cmath>

namespace glyfrax {

namespace {

// More runs of pixels than an icon has make merging them into one outline take too long.
constexpr std::size_t kMostOutlineRuns = 16384;

QString named(const QString& path)
{
    return QStringLiteral("„%1“").arg(shownPath(path));
}

// Refuses an image of size that a page cannot hold, before it is decoded or drawn.
Result<void> checkFits(const QString& path, QSize size, QSize largest, const QString& drawn)
{
    if (size.width() <= largest.width() && size.height() <= largest.height())
        return {};
    return failure(QStringLiteral("Das Bild %1 ist %2%3 × %4 Pixel groß, größer als eine Seite es halten kann "
                                  "(%5 × %6).")
                       .arg(named(path), drawn)
                       .arg(size.width())
                       .arg(size.height())
                       .arg(largest.width())
                       .arg(largest.height()));
}

// Whether an SVG names another file (an image, a style sheet, a font): such a file would be read
// without being an input of the export, and might be anything, a FIFO that never ends included.
// Links within the file ("#id") and data inside it ("data:") are its own.
bool namesOtherFiles(const QByteArray& svg)
{
    static const QRegularExpression reference(
        QStringLiteral(R"((?:href|src)\s*=\s*["']\s*(?!#|data:)|url\(\s*["']?\s*(?!#|data:))"),
        QRegularExpression::CaseInsensitiveOption);
    return reference.match(QString::fromUtf8(svg)).hasMatch() || svg.contains("<!ENTITY");
}

Result<QImage> svgImage(const QString& path, const QByteArray& bytes, int height, QSize largest, int scale)
{
    if (namesOtherFiles(bytes))
        return failure(QStringLiteral("Das Bild %1 verweist auf andere Dateien oder Entitäten; Glyfrax liest nur SVG, "
                                      "das alles in sich trägt.")
                           .arg(named(path)));
    QSvgRenderer svg(bytes);
    const QSizeF own = svg.viewBoxF().size();
    const double width = own.width() * height / own.height();
    if (!svg.isValid() || own.isEmpty() || !std::isfinite(width))
        return failure(QStringLiteral("Das Bild %1 ist kein lesbares SVG.").arg(named(path)));
    const QSize size(std::max(1, qRound(std::min(width, 1e6))), height);
    if (const Result<void> fits = checkFits(path, size, largest, QStringLiteral("in der Höhe eines Gevierts ")); !fits)
        return failure(fits.error());
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter, QRectF(QPointF(), QSizeF(size * scale)));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

bool isSvgPath(const QString& path)
{
    return extensionOf(path).compare(QStringLiteral(".svg"), Qt::CaseInsensitive) == 0;
}

Result<QImage> readGlyphImage(const QString& path, int svgHeight, QSize largest, int svgScale)
{
    const Result<QByteArray> bytes = readRegularFile(path, kMaxImageFileSize);
    if (!bytes)
        return failure(bytes.error());
    if (isSvgPath(path))
        return svgImage(path, *bytes, svgHeight, largest, svgScale);
    QBuffer buffer;
    buffer.setData(*bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // Only formats whose decoding is bounded by the file: Qt's readers also take SVG (which may name
    // other files) and compressed SVG (which may unpack without end) under any name.
    static const QList<QByteArray> kFormats{"png", "jpeg", "jpg", "bmp", "gif"};
    if (!reader.canRead() || !size.isValid() || !kFormats.contains(reader.format().toLower()))
        return failure(QStringLiteral("Die Datei %1 ist kein Bild, das Glyfrax lesen kann.").arg(named(path)));
    if (const Result<void> fits = checkFits(path, size, largest, {}); !fits)
        return failure(fits.error());
    QImage image = reader.read();
    if (image.isNull() || image.size() != size)
        return failure(QStringLiteral("Das Bild %1 ist beschädigt: %2").arg(named(path), reader.errorString()));
    return image.convertToFormat(QImage::Format_ARGB32);
}

GlyphInk imageInk(const QImage& image, QPoint topLeft, bool colours, bool monochrome)
{
    GlyphInk ink;
    ink.box = QRect(topLeft, image.size());
    const std::size_t count = std::size_t(image.width()) * std::size_t(image.height());
    ink.coverage.reserve(count);
    if (colours)
        ink.colors.reserve(count);
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = monochrome ? (qAlpha(row[x]) >= 128 ? 255 : 0) : qAlpha(row[x]);
            ink.coverage.push_back(std::uint8_t(alpha));
            if (colours)
                ink.colors.push_back((row[x] & 0xFFFFFFU) | QRgb(alpha) << 24);
        }
    }
    return ink;
}

Result<QPainterPath> imageOutline(const QImage& image, QPoint topLeft, const QString& path, int scale)
{
    // Runs of covered pixels, row by row, as a region takes them: each row a band, left to right.
    std::vector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width();) {
            if (qAlpha(row[x]) < 128) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < image.width() && qAlpha(row[x]) >= 128)
                ++x;
            if (runs.size() == kMostOutlineRuns * std::size_t(scale))
                return failure(QStringLiteral("Das Bild %1 ist für einen Umriss zu fein gegliedert (mehr als %2 "
                                              "Strecken); ein Umriss, ein Schatten oder ein Distanzfeld braucht "
                                              "klare Formen.")
                                   .arg(named(path))
                                   .arg(kMostOutlineRuns));
            runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion covered;
    covered.setRects(runs.data(), int(runs.size()));
    QPainterPath outline;
    outline.addRegion(covered);
    return QTransform::fromTranslate(topLeft.x(), topLeft.y())
        .scale(1.0 / scale, 1.0 / scale)
        .map(outline.simplified());
}

GlyphInk imageWithEffects(const GlyphInk& ink, const QPainterPath& outline, const EffectShapes& shapes)
{
    GlyphInk result = withEffects(ink, outline, shapes);
    if (ink.colors.empty() || result.box == ink.box)
        return result;
    result.colors.assign(std::size_t(result.box.width()) * std::size_t(result.box.height()), 0);
    for (int y = 0; y < ink.box.height(); ++y) {
        for (int x = 0; x < ink.box.width(); ++x) {
            const QPoint at = ink.box.topLeft() + QPoint(x, y) - result.box.topLeft();
            if (result.box.translated(-result.box.topLeft()).contains(at))
                result.colors[std::size_t(at.y()) * std::size_t(result.box.width()) + std::size_t(at.x())] =
                    ink.colors[std::size_t(y) * std::size_t(ink.box.width()) + std::size_t(x)];
        }
    }
    return result;
}

} // namespace glyfrax
