#pragma once

#include "app/options/FallbackFaces.h"
#include "settings/BmFontOptions.h"
#include "settings/FontSettings.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTabWidget;

namespace glyfrax {

class BmFontOptionGroup;
class DialogService;
struct ViewPicture;

// Edits the BMFont options, a page for each group of them. Nothing reaches the program until OK,
// which hands every option over at once; options no control changed keep their values. Cancel,
// Esc and the close box discard the edits. The dialog deletes itself on closing.
class BmFontPropsDialog : public QDialog
{
    Q_OBJECT

public:
    BmFontPropsDialog(const BmFontOptions& options, const FontSettings& font, DialogService& dialogs,
                      QWidget* parent = nullptr);
    ~BmFontPropsDialog() override;

    // The options as the controls show them now.
    BmFontOptions shownOptions() const;
    // The characters' chart marks those this font lacks.
    void showFont(const FontSettings& font);
    // Beside OK: the pages and the characters lacking of a set planned in the background, when it
    // was planned for the options shown now.
    void showPlan(const ViewPicture& plan);

signals:
    void optionsConfirmed(const glyfrax::BmFontOptions& options);
    // The options as the controls show them after an edit, when OK could take them: for a preview.
    void optionsShown(const glyfrax::BmFontOptions& options);

private:
    void edited();
    void updateOk();
    void confirm();

    BmFontOptions m_options; // as the dialog opened with them
    FallbackFaces m_fallbackFaces;
    std::vector<std::unique_ptr<BmFontOptionGroup>> m_groups;
    QTabWidget* m_pages = nullptr;
    QPushButton* m_ok = nullptr;
    QLabel* m_problem = nullptr;               // above OK: what keeps it off that the page shown does not tell
    QLabel* m_plan = nullptr;                  // beside OK: the pages and missing characters of the options shown
    std::optional<BmFontOptions> m_plannedFor; // the options m_plan tells of
};

} // namespace glyfrax
