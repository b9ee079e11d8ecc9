#pragma once

#include "app/options/BmFontOptionGroup.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace glyfrax {

class DialogService;

// Images drawn as characters (button icons, symbols), listed one by one or as a folder of files
// named by their characters, and whether colour glyphs and images keep their colours.
class ImagesGroup final : public BmFontOptionGroup
{
public:
    explicit ImagesGroup(DialogService& dialogs);

    QString title() const override;
    QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) override;
    void store(BmFontOptions& options) const override;
    QString problem() const override;

private:
    void addImage();
    void chooseFolder();
    void edited();

    DialogService& m_dialogs;
    std::function<void()> m_changed;
    QWidget* m_page = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_problem = nullptr;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_colours = nullptr;
};

} // namespace glyfrax
