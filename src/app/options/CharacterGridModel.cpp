#include "app/options/CharacterGridModel.h"

#include "app/shared/UnicodeBlocks.h"
#include "base/CharacterName.h"
#include "render/GlyphPainter.h"

#include <QBrush>
#include <QColor>
#include <QLocale>

#include <algorithm>

namespace glyfrax {

namespace {

// The block a code point lies in, searched from the one the previous (smaller) code point lay in;
// for one between blocks -1 less the index of the block after it, so that each gap is a group too.
int blockOf(char32_t c, std::size_t& from)
{
    const std::vector<UnicodeBlock>& blocks = unicodeBlocks();
    while (from < blocks.size() && blocks[from].last < c)
        ++from;
    return from < blocks.size() && blocks[from].first <= c ? int(from) : -1 - int(from);
}

} // namespace

CharacterGridModel::CharacterGridModel(QObject* parent) : QAbstractTableModel(parent) {}

CharacterGridModel::~CharacterGridModel() = default;

void CharacterGridModel::showCharacters(const std::vector<char32_t>& characters, std::vector<ShownFace> faces)
{
    beginResetModel();
    m_rows.clear();
    m_faces = std::move(faces);
    m_chosen = characters.size();
    m_missing = 0;
    m_borrowed = 0;
    std::size_t searchFrom = 0;
    std::size_t heading = 0;
    for (const char32_t c : characters) {
        const int block = blockOf(c, searchFrom);
        if (m_rows.empty() || m_rows[heading].block != block) {
            heading = m_rows.size();
            const char32_t first = block >= 0 ? unicodeBlocks()[std::size_t(block)].first : c & ~0xFU;
            m_rows.push_back({.first = first, .block = block, .heading = true});
        }
        if (m_rows.back().heading || m_rows.back().first != (c & ~0xFU))
            m_rows.push_back({.first = c & ~0xFU, .block = block});
        const auto bit = std::uint16_t(1U << (c & 0xFU));
        m_rows.back().chosen |= bit;
        ++m_rows[heading].count;
        if (m_faces.front().raw.supportsCharacter(uint(c)))
            continue;
        if (std::any_of(m_faces.begin() + 1, m_faces.end(),
                        [c](const ShownFace& face) { return face.raw.supportsCharacter(uint(c)); })) {
            m_rows.back().borrowed |= bit;
            ++m_rows[heading].fromOther;
            ++m_borrowed;
        } else {
            m_rows.back().missing |= bit;
            ++m_rows[heading].lacking;
            ++m_missing;
        }
    }
    endResetModel();
}

bool CharacterGridModel::drawable(char32_t c, bool borrowed) const
{
    const ShownFace& face = borrowed ? faceOf(c) : m_faces.front();
    const QList<quint32> glyphs = face.raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
    return glyphs.isEmpty() || qtCanDrawGlyph(face.raw, glyphs.front(), face.shown.pixelSize());
}

const ShownFace& CharacterGridModel::faceOf(char32_t c) const
{
    const auto found = std::find_if(m_faces.begin() + 1, m_faces.end(),
                                    [c](const ShownFace& face) { return face.raw.supportsCharacter(uint(c)); });
    return found != m_faces.end() ? *found : m_faces.front();
}

bool CharacterGridModel::isHeading(int row) const
{
    return row >= 0 && std::size_t(row) < m_rows.size() && m_rows[std::size_t(row)].heading;
}

char32_t CharacterGridModel::characterAt(const QModelIndex& index) const
{
    if (!index.isValid() || isHeading(index.row()))
        return 0;
    const Row& row = m_rows[std::size_t(index.row())];
    return (row.chosen >> index.column()) & 1U ? row.first + char32_t(index.column()) : 0;
}

int CharacterGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CharacterGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QString CharacterGridModel::headingText(const Row& row) const
{
    const QLocale german(QLocale::German);
    const QString name = row.block >= 0 ? unicodeBlocks()[std::size_t(row.block)].name
                                        : QStringLiteral("Ohne Unicode-Block, ab %1").arg(codePointText(row.first));
    QString text = QStringLiteral("%1: %2 Zeichen").arg(name, german.toString(row.count));
    if (row.fromOther > 0)
        text += QStringLiteral(", %1 ersetzt").arg(german.toString(row.fromOther)); // short: a heading is one line
    if (row.lacking > 0)
        text += QStringLiteral(", ") + lackingText(qulonglong(row.lacking));
    return text;
}

QString lackingText(qulonglong count, const QString& noun)
{
    const QString counted = noun.isEmpty() ? QLocale(QLocale::German).toString(count)
                                           : QLocale(QLocale::German).toString(count) + u' ' + noun;
    return counted + (count == 1 ? QStringLiteral(" fehlt") : QStringLiteral(" fehlen"));
}

QVariant CharacterGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= m_rows.size())
        return {};
    const Row& row = m_rows[std::size_t(index.row())];
    if (row.heading) {
        if (index.column() != 0)
            return {};
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return headingText(row);
        if (role == Qt::FontRole) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    const char32_t c = characterAt(index);
    if (c == 0)
        return {};
    const bool missing = (row.missing >> index.column()) & 1U;
    const bool borrowed = (row.borrowed >> index.column()) & 1U;
    switch (role) {
    case Qt::DisplayRole:
        return drawable(c, borrowed) ? QString::fromUcs4(&c, 1) : QString();
    case Qt::FontRole:
        return borrowed ? faceOf(c).shown : m_faces.front().shown;
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        if (borrowed)
            return QStringLiteral("%1, aus Ersatzschrift „%2“").arg(characterTip(c), faceOf(c).name);
        if (missing)
            return characterTip(c) + (m_faces.size() > 1 ? QStringLiteral(", fehlt in allen Schriften")
                                                         : QStringLiteral(", fehlt in der Schrift"));
        return drawable(c, borrowed)
                   ? characterTip(c)
                   : characterTip(c) + QStringLiteral(", hier nicht gezeigt: Die Glyphe ist zu breit");
    case Qt::BackgroundRole:
        return missing    ? QVariant(QBrush(QColor(255, 200, 200)))
               : borrowed ? QVariant(QBrush(QColor(222, 222, 222)))
                          : QVariant();
    case Qt::ForegroundRole:
        return missing    ? QVariant(QBrush(QColor(150, 0, 0)))
               : borrowed ? QVariant(QBrush(QColor(70, 70, 70)))
                          : QVariant();
    default:
        return {};
    }
}

QVariant CharacterGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return QString::number(section, 16).toUpper();
    if (section < 0 || std::size_t(section) >= m_rows.size() || m_rows[std::size_t(section)].heading)
        return QString();
    return codePointText(m_rows[std::size_t(section)].first);
}

Qt::ItemFlags CharacterGridModel::flags(const QModelIndex& index) const
{
    if (isHeading(index.row()))
        return Qt::ItemIsEnabled; // drawn as text, never chosen
    return characterAt(index) != 0 ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace glyfrax
