#pragma once

#include "app/options/BmFontOptionGroup.h"
#include "app/options/FallbackFaces.h"

#include <QStringList>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace glyfrax {

class CharacterGridModel;
class DialogService;

// The characters of a BMFont set: a code page, Unicode ranges, a character file, the characters of
// a pasted text, and a chart of the characters chosen, marking those the font lacks and those the
// fallback fonts give; the glyph for characters no font has.
class CharacterGroup final : public BmFontOptionGroup
{
public:
    CharacterGroup(DialogService& dialogs, const FontSettings& font, FallbackFaces& fallbackFaces);
    ~CharacterGroup() override;

    QString title() const override;
    QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) override;
    void store(BmFontOptions& options) const override;
    QString problem() const override;
    void showFont(const FontSettings& font) override;
    void showOptions(const BmFontOptions& options) override;

private:
    void addCodePages(int chosen);
    void edited();
    void findFaces();
    void showChosen();
    void addTextCharacters();
    void chooseCharsFile();
    QString charsProblem() const;
    QString missingGlyphProblem() const;

    DialogService& m_dialogs;
    FallbackFaces& m_fallbackFaces;
    FontSettings m_font;
    QStringList m_fallbacks;        // as the dialog shows them
    std::vector<ShownFace> m_faces; // the chart's: the font, then the fallbacks found, at a size for reading
    std::function<void()> m_changed;
    QWidget* m_page = nullptr;
    QComboBox* m_codePage = nullptr;
    QLineEdit* m_chars = nullptr;
    QLabel* m_charsProblem = nullptr;
    QLineEdit* m_charsFile = nullptr;
    QLabel* m_gridLabel = nullptr;
    QTableView* m_grid = nullptr;
    CharacterGridModel* m_model = nullptr;
    QLabel* m_count = nullptr;
    QTimer* m_showLater = nullptr;
    QLineEdit* m_missingGlyph = nullptr;
    QLabel* m_missingProblem = nullptr;
};

} // namespace glyfrax
