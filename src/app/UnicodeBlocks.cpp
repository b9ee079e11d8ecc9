#include "app/UnicodeBlocks.h"

#include "app/AppInfo.h"

#include <QFile>
#include <QRegularExpression>

namespace glyfrax {

namespace {

// Lines "0400..04FF; Kyrillisch"; lines starting with # are comments.
std::vector<UnicodeBlock> readBlocks()
{
    initResources();
    QFile file(QStringLiteral(":/glyfrax/unicode-bloecke.txt"));
    std::vector<UnicodeBlock> blocks;
    if (!file.open(QIODevice::ReadOnly))
        return blocks;
    const QRegularExpression line(QStringLiteral(R"(^([0-9A-F]+)\.\.([0-9A-F]+); (.+)$)"));
    for (const QString& text : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (const QRegularExpressionMatch match = line.match(text.trimmed()); match.hasMatch())
            blocks.push_back(
                {match.captured(1).toUInt(nullptr, 16), match.captured(2).toUInt(nullptr, 16), match.captured(3)});
    }
    return blocks;
}

} // namespace

const std::vector<UnicodeBlock>& unicodeBlocks()
{
    static const std::vector<UnicodeBlock> blocks = readBlocks();
    return blocks;
}

} // namespace glyfrax
