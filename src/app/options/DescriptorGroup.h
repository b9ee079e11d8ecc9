#pragma once

#include "app/options/BmFontOptionGroup.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace glyfrax {

// The form of a BMFont set's descriptor (text, XML, binary or JSON) and whether it holds kerning pairs.
class DescriptorGroup final : public BmFontOptionGroup
{
public:
    QString title() const override;
    QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) override;
    void store(BmFontOptions& options) const override;
    void showOptions(const BmFontOptions& options) override;
    QString problem() const override;

private:
    std::vector<std::pair<DescriptorForm, QRadioButton*>> m_forms;
    QCheckBox* m_kerning = nullptr;
    QCheckBox* m_fractional = nullptr;
    QComboBox* m_engine = nullptr;
    QLabel* m_engineChoice = nullptr; // what the engine chose
};

} // namespace glyfrax
