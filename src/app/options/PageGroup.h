#pragma once

#include "app/options/BmFontOptionGroup.h"

#include <array>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSpinBox;

namespace glyfrax {

// The pages of a BMFont set: the room around and between the cells, the largest page, its shape,
// whether a single page is cropped, its image format and whether it is opaque; how the cells are cut.
class PageGroup final : public BmFontOptionGroup
{
public:
    QString title() const override;
    QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) override;
    void store(BmFontOptions& options) const override;
    void showOptions(const BmFontOptions& options) override;

private:
    std::array<QSpinBox*, 4> m_padding{}; // up, right, down, left
    std::array<QSpinBox*, 2> m_spacing{}; // across, down
    QComboBox* m_maxTexture = nullptr;
    QCheckBox* m_nonSquare = nullptr;
    QCheckBox* m_crop = nullptr;
    QCheckBox* m_keepLayout = nullptr;
    QComboBox* m_image = nullptr;
    QRadioButton* m_opaque = nullptr;
    QRadioButton* m_alpha = nullptr;
    QComboBox* m_channels = nullptr;
    QCheckBox* m_premultiplied = nullptr;
    QCheckBox* m_packed = nullptr;
    QCheckBox* m_grid = nullptr;
    QCheckBox* m_equalHeight = nullptr;
    QCheckBox* m_zeroOffsets = nullptr;
};

} // namespace glyfrax
