#include "export/bmfont/ImageCharacters.h"

#include "base/CharacterName.h"
#include "base/FileSafety.h"
#include "render/ImageInk.h"

#include <QDir>
#include <QDirIterator>

#include <algorithm>
#include <map>

namespace glyfrax {

namespace {

// The pixels of all images of a set together: 32 Mi, eight pages of 2048 × 2048.
constexpr qint64 kMostImagePixels = qint64(1) << 25;
// The longest side of the drawing an SVG's outline is traced from.
constexpr int kFinestOutlineSide = 4096;

// A folder of icons holds hundreds; reading one of millions of names would keep the export waiting.
constexpr int kMostFolderEntries = 100000;

Result<void> addFolder(const QString& folder, std::map<char32_t, QString>& found)
{
    if (const FileKind kind = fileKind(folder); kind != FileKind::Folder)
        return failure(
            QStringLiteral("Der Bilderordner „%1“ ist %2, kein Ordner.").arg(shownPath(folder), describeKind(kind)));
    std::map<char32_t, QString> own;
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
    for (int count = 0; entries.hasNext(); ++count) {
        if (count == kMostFolderEntries)
            return failure(QStringLiteral("Der Bilderordner „%1“ hat mehr als %2 Einträge.")
                               .arg(shownPath(folder))
                               .arg(kMostFolderEntries));
        const QString path = entries.next();
        const std::optional<char32_t> character = characterOfImageName(entries.fileName());
        if (!character)
            continue;
        const auto [at, added] = own.try_emplace(*character, path);
        if (!added) {
            const auto [first, second] = std::minmax(at->second, path);
            return failure(QStringLiteral("Im Bilderordner stehen zwei Bilder für %1: „%2“ und „%3“.")
                               .arg(codePointText(*character), shownPath(first), shownPath(second)));
        }
    }
    found = std::move(own);
    return {};
}

} // namespace

Result<std::vector<ImageGlyph>> imageGlyphsOf(const BmFontOptions& options)
{
    std::map<char32_t, ImageGlyph> listed;
    for (const ImageGlyph& image : options.images) {
        if (!listed.try_emplace(image.character, image).second)
            return failure(QStringLiteral("%1 hat zwei Bilder: „%2“ und „%3“.")
                               .arg(codePointText(image.character), shownPath(listed[image.character].path),
                                    shownPath(image.path)));
    }
    if (!options.imageFolder.isEmpty()) {
        std::map<char32_t, QString> files;
        if (const Result<void> added = addFolder(options.imageFolder, files); !added)
            return failure(added.error());
        for (const auto& [character, path] : files)
            listed.try_emplace(character, ImageGlyph{character, path, {}, {}, {}});
    }
    std::vector<ImageGlyph> images;
    for (auto& [character, image] : listed)
        images.push_back(std::move(image));
    return images;
}

Result<std::vector<ImageCharacter>> readImageCharacters(const std::vector<ImageGlyph>& images, ImageLine line,
                                                        QSize largest, bool outlines)
{
    std::vector<ImageCharacter> read;
    qint64 pixelsRead = 0;
    for (const ImageGlyph& image : images) {
        const auto failed = [&image](const QString& why) {
            return failure(QStringLiteral("Bild für %1: %2").arg(codePointText(image.character), why));
        };
        Result<QImage> pixels = readGlyphImage(image.path, std::max(1, line.em), largest);
        if (!pixels)
            return failed(pixels.error());
        if ((pixelsRead += qint64(pixels->width()) * pixels->height()) > kMostImagePixels)
            return failed(QStringLiteral("Die Bilder bis „%1“ haben zusammen mehr als %2 Millionen Pixel; so viele "
                                         "hält kein Satz.")
                              .arg(shownPath(image.path))
                              .arg(kMostImagePixels >> 20));
        const int top = image.y.value_or(line.height - pixels->height());
        const QPoint topLeft(image.x.value_or(0), top - line.base);
        std::optional<QPainterPath> outline;
        if (outlines) {
            // An SVG's outline from a drawing up to four times finer, held only while it is traced.
            const int scale =
                isSvgPath(image.path)
                    ? std::clamp(kFinestOutlineSide / std::max(pixels->width(), pixels->height()), 1, kSvgOutlineScale)
                    : 1;
            const Result<QImage> fine =
                scale > 1 ? readGlyphImage(image.path, std::max(1, line.em), largest, scale) : *pixels;
            if (!fine)
                return failed(fine.error());
            Result<QPainterPath> traced = imageOutline(*fine, topLeft, image.path, scale);
            if (!traced)
                return failed(traced.error());
            outline = std::move(*traced);
        }
        const std::int32_t advance = image.advance.value_or(pixels->width());
        read.push_back({image.character, image.path, std::move(*pixels), std::move(outline), topLeft, advance});
    }
    return read;
}

} // namespace glyfrax
