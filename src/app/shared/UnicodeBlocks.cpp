#include "app/shared/UnicodeBlocks.h"

#include "app/shared/AppInfo.h"
#include "base/CharacterName.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

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

QString characterTip(char32_t c)
{
    const bool drawn = QChar::isPrint(c) && !QChar::isSpace(c);
    QString tip = drawn ? QStringLiteral("„%1“ %2").arg(QString::fromUcs4(&c, 1), codePointText(c)) : codePointText(c);
    if (const QString name = unicodeName(c); !name.isEmpty())
        tip += u' ' + name;
    const std::vector<UnicodeBlock>& blocks = unicodeBlocks();
    const auto block = std::lower_bound(blocks.begin(), blocks.end(), c,
                                        [](const UnicodeBlock& b, char32_t at) { return b.last < at; });
    if (block != blocks.end() && block->first <= c)
        tip += QStringLiteral(" (%1)").arg(block->name);
    return tip;
}

} // namespace glyfrax
