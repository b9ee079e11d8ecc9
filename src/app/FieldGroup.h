#pragma once

#include "app/BmFontOptionGroup.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace glyfrax {

class DialogService;

// What the pages hold besides plain coverage: a distance field of one kind and range, or an outline
// and a shadow beneath each glyph, each in a colour with alpha. Options that cannot go together, here
// or with those of other pages (BMP, binary descriptor, monochrome, opaque), are its problem.
class FieldGroup final : public BmFontOptionGroup
{
public:
    // shown gives the options as every page of the dialog shows them now.
    FieldGroup(DialogService& dialogs, std::function<BmFontOptions()> shown);

    QString title() const override;
    QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) override;
    void store(BmFontOptions& options) const override;
    QString problem() const override;

private:
    QLineEdit* addColor(QWidget* page, const char* name, const QString& what, QRgb value);
    void chooseColor(QLineEdit* edit, const QString& what);
    void enableControls();

    DialogService& m_dialogs;
    std::function<BmFontOptions()> m_shown;
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
