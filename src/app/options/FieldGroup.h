#pragma once

#include "app/options/BmFontOptionGroup.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace glyfrax {

class DialogService;

// What the pages hold besides plain coverage: a distance field of one kind and range, or an outline
// and a shadow beneath each glyph, each in a colour with alpha. While a field is chosen, the effects
// are off (the dialog names a clash of options across its pages).
class FieldGroup final : public BmFontOptionGroup
{
public:
    explicit FieldGroup(DialogService& dialogs);

    QString title() const override;
    QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) override;
    void store(BmFontOptions& options) const override;
    QString problem() const override;

private:
    QLineEdit* addColor(QWidget* page, const char* name, const QString& what, QRgb value);
    void chooseColor(QLineEdit* edit, const QString& what);
    void enableControls();

    DialogService& m_dialogs;
    std::function<void()> m_changed;
    QWidget* m_page = nullptr;
    QComboBox* m_field = nullptr;
    QSpinBox* m_range = nullptr;
    QSpinBox* m_outline = nullptr;
    QLineEdit* m_outlineColor = nullptr;
    QCheckBox* m_shadow = nullptr;
    QSpinBox* m_shadowX = nullptr;
    QSpinBox* m_shadowY = nullptr;
    QSpinBox* m_blur = nullptr;
    QLineEdit* m_shadowColor = nullptr;
    QPushButton* m_shadowColorButton = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace glyfrax
