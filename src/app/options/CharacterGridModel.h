#pragma once

#include "app/options/FallbackFaces.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

namespace glyfrax {

// The chosen characters as a chart: a heading row for each Unicode block they come from, then rows
// of sixteen code points each, a chosen character in its column and the other cells empty. A row
// holds bits, not items, so that a whole font's range stays small and quick to show. A character
// the font lacks comes from the first fallback font that has it, as in the export.
class CharacterGridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumns = 16;

    explicit CharacterGridModel(QObject* parent = nullptr);
    ~CharacterGridModel() override;

    // Shows these characters (sorted, without duplicates) in the faces (the font, then the fallbacks
    // in their order), marking those a fallback gives and those none has.
    void showCharacters(const std::vector<char32_t>& characters, std::vector<ShownFace> faces);

    std::size_t chosenCount() const { return m_chosen; }
    std::size_t presentCount() const { return m_chosen - m_missing - m_borrowed; }
    std::size_t borrowedCount() const { return m_borrowed; }
    std::size_t missingCount() const { return m_missing; }
    // A block's heading, which spans the whole row.
    bool isHeading(int row) const;
    // The character of a cell; 0 for an empty cell or a heading.
    char32_t characterAt(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row
    {
        char32_t first = 0;         // a multiple of 16; a heading's: its block's first code point
        std::uint16_t chosen = 0;   // bit n: first + n is chosen
        std::uint16_t missing = 0;  // bit n: no font has first + n
        std::uint16_t borrowed = 0; // bit n: a fallback gives first + n
        int block = -1;             // in unicodeBlocks(); negative between blocks
        bool heading = false;
        std::uint32_t count = 0;     // a heading's: its block's chosen characters
        std::uint32_t lacking = 0;   // a heading's: how many of them no font has
        std::uint32_t fromOther = 0; // a heading's: how many of them a fallback gives
    };

    // The first fallback that has c; the font's own face when none has it.
    const ShownFace& faceOf(char32_t c) const;
    // Whether the chart can draw c, from a fallback or not, with Qt's own text drawing (not a glyph
    // absurdly wide).
    bool drawable(char32_t c, bool borrowed) const;

    QString headingText(const Row& row) const;

    std::vector<Row> m_rows;
    std::vector<ShownFace> m_faces;
    std::size_t m_chosen = 0;
    std::size_t m_missing = 0;
    std::size_t m_borrowed = 0;
};

// "1 fehlt", "3 fehlen", with a noun between: "1 Zeichen fehlt"; the count as Germans write it.
QString lackingText(qulonglong count, const QString& noun = {});

} // namespace glyfrax
