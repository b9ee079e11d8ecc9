#pragma once

#include "app/options/BmFontOptionGroup.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace glyfrax {

class DialogService;
class FallbackFaces;

// The fonts a BMFont set is drawn from and how: the fallback fonts for the characters the font
// lacks, in their order, the size in points of the font settings or in pixels per em, and whether
// the glyphs are smoothed.
class FontsGroup final : public BmFontOptionGroup
{
public:
    FontsGroup(DialogService& dialogs, const FontSettings& font, FallbackFaces& fallbackFaces);

    QString title() const override;
    QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) override;
    void store(BmFontOptions& options) const override;
    void showFont(const FontSettings& font) override;
    void showOptions(const BmFontOptions& options) override;
    QString problem() const override;

private:
    QLayout* buildVariation(const BmFontOptions& options);
    void showAxes();
    QWidget* buildFallbacks(const QStringList& fallbacks);
    QWidget* buildSize(const BmFontOptions& options);
    void addEntry(const QString& entry);
    void addFontFile();
    void moveEntry(int by);
    void removeEntry();
    void entryEdited(QListWidgetItem* item);
    void mark(QListWidgetItem* item);
    void entriesChanged();
    void showEntries();
    void showPointSize();
    QLayout* buildRaster(const BmFontOptions& options);

    DialogService& m_dialogs;
    FallbackFaces& m_fallbackFaces;
    FontSettings m_font;
    std::function<void()> m_changed;
    QWidget* m_page = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    QPushButton* m_remove = nullptr;
    QComboBox* m_families = nullptr;
    QLabel* m_notFound = nullptr;
    QRadioButton* m_points = nullptr;
    QRadioButton* m_pixels = nullptr;
    QSpinBox* m_pixelBox = nullptr;
    // The size by the line's height, then by the capitals'.
    struct HeightChoice
    {
        QRadioButton* option = nullptr;
        QSpinBox* box = nullptr;
    };
    std::array<HeightChoice, 2> m_heights{};
    QCheckBox* m_monochrome = nullptr;
    QComboBox* m_hinting = nullptr;
    QComboBox* m_supersample = nullptr;
    QLineEdit* m_instance = nullptr;
    QLineEdit* m_axes = nullptr;
    QLabel* m_axesOfFont = nullptr; // the axes and instances the font has
};

} // namespace glyfrax
