#include "app/options/BmFontPropsDialog.h"

#include "app/options/CharacterGridModel.h"
#include "app/options/CharacterGroup.h"
#include "app/options/DescriptorGroup.h"
#include "app/options/FieldGroup.h"
#include "app/options/FontsGroup.h"
#include "app/options/ImagesGroup.h"
#include "app/options/PageGroup.h"
#include "app/shared/AppInfo.h"
#include "app/shared/ControlHelp.h"
#include "app/shared/ScreenFit.h"
#include "app/view/TextureDrawer.h"
#include "export/bmfont/BmFontExport.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace glyfrax {

namespace {

// A page that scrolls where the screen is too small for it (1280 x 900 pixels at a scale of 2),
// so that OK stays on the screen; it looks like the page itself.
// A scroll area that asks for its page's whole size (a plain one asks for a fixed share of the
// font's height), so that the dialog opens as large as its largest page where the screen allows.
class PageScroller final : public QScrollArea
{
public:
    QSize sizeHint() const override
    {
        return widget() ? widget()->sizeHint() + QSize(2, 2) * frameWidth() : QScrollArea::sizeHint();
    }
};

QWidget* scrolled(QWidget* page)
{
    auto* area = new PageScroller;
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    area->viewport()->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
    return area;
}

// "2 Seiten zu 512 × 512, 3 Zeichen fehlen"
QString planSummary(const ViewPicture& plan)
{
    if (!plan.error.isEmpty())
        return plan.error;
    QString summary = plan.pageCount == 1 ? QStringLiteral("1 Seite") : QStringLiteral("%1 Seiten").arg(plan.pageCount);
    summary += QStringLiteral(" zu %1 × %2, ").arg(plan.pageSize.width()).arg(plan.pageSize.height());
    return summary + (plan.missing.empty() ? QStringLiteral("kein Zeichen fehlt")
                                           : lackingText(plan.missing.size(), QStringLiteral("Zeichen")));
}

} // namespace

BmFontPropsDialog::BmFontPropsDialog(const BmFontOptions& options, const FontSettings& font, DialogService& dialogs,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_options(options)
{
    initResources();
    setObjectName(QStringLiteral("BmFontProps"));
    setWindowTitle(QStringLiteral("BMFont-Einstellungen"));
    setWindowIcon(QIcon(QStringLiteral(":/glyfrax/icon.png")));
    setAttribute(Qt::WA_DeleteOnClose);

    // The groups of options, a page each, in the order of their tabs.
    m_groups.push_back(std::make_unique<CharacterGroup>(dialogs, font, m_fallbackFaces));
    m_groups.push_back(std::make_unique<FontsGroup>(dialogs, font, m_fallbackFaces));
    m_groups.push_back(std::make_unique<PageGroup>());
    m_groups.push_back(std::make_unique<DescriptorGroup>());
    m_groups.push_back(std::make_unique<FieldGroup>(dialogs));
    m_groups.push_back(std::make_unique<ImagesGroup>(dialogs));

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("Pages"));
    for (const std::unique_ptr<BmFontOptionGroup>& group : m_groups)
        m_pages->addTab(scrolled(group->buildPage(options, [this] { edited(); })), group->title());

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OKButton"));
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    connect(m_ok, &QPushButton::clicked, this, &BmFontPropsDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_problem = addProblemLabel(this, "OkProblem");
    connect(m_pages, &QTabWidget::currentChanged, this, &BmFontPropsDialog::updateOk);
    m_plan = new QLabel(QStringLiteral("Seiten werden berechnet …"), this);
    m_plan->setObjectName(QStringLiteral("PlanLabel"));
    m_plan->setWordWrap(true);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_pages, 1);
    column->addWidget(m_problem);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_plan, 1);
    bottom->addWidget(buttons);
    column->addLayout(bottom);
    fitToScreen(this, sizeHint().expandedTo(QSize(560, 620))); // room for the chart
    edited();
}

BmFontPropsDialog::~BmFontPropsDialog()
{
    // The pages call into their groups: they go first.
    delete m_pages;
}

BmFontOptions BmFontPropsDialog::shownOptions() const
{
    BmFontOptions options = m_options;
    for (const std::unique_ptr<BmFontOptionGroup>& group : m_groups)
        group->store(options);
    return options;
}

void BmFontPropsDialog::showFont(const FontSettings& font)
{
    for (const std::unique_ptr<BmFontOptionGroup>& group : m_groups)
        group->showFont(font);
}

void BmFontPropsDialog::edited()
{
    updateOk();
    const BmFontOptions shown = shownOptions();
    for (const std::unique_ptr<BmFontOptionGroup>& group : m_groups)
        group->showOptions(shown);
    // Until the set of the options shown is planned, the figures of the last stay, marked as old.
    m_plan->setEnabled(m_ok->isEnabled() && shown == m_plannedFor);
    if (m_ok->isEnabled())
        emit optionsShown(shown);
}

void BmFontPropsDialog::showPlan(const ViewPicture& plan)
{
    if (plan.profile != TextureProfile::BmFont || plan.settings.bmfont != shownOptions())
        return;
    m_plannedFor = plan.settings.bmfont;
    m_plan->setText(planSummary(plan));
    m_plan->setToolTip(plan.missing.empty() ? QString() : describeMissing(plan.missing, true));
    m_plan->setAccessibleDescription(m_plan->toolTip());
    m_plan->setEnabled(true);
}

void BmFontPropsDialog::updateOk()
{
    // A page's own red line names its entry at fault; the line above OK, seen on every page, names
    // those of the other pages with their page, and options of several pages that clash.
    QStringList problems;
    QStringList elsewhere;
    for (std::size_t page = 0; page < m_groups.size(); ++page) {
        const QString problem = m_groups[page]->problem();
        if (problem.isEmpty())
            continue;
        problems.append(problem);
        if (int(page) != m_pages->currentIndex())
            elsewhere.append(QStringLiteral("Seite „%1“: %2").arg(m_pages->tabText(int(page)).remove(u'&'), problem));
    }
    const BmFontOptions shown = shownOptions();
    if (const QString clash = pageContentProblem(shown, shown.image, false, OptionWords::Window); !clash.isEmpty()) {
        problems.append(clash);
        elsewhere.append(clash);
    }
    m_ok->setEnabled(problems.isEmpty());
    m_ok->setToolTip(problems.join(u'\n'));
    m_problem->setText(elsewhere.join(u'\n'));
    m_problem->setVisible(!elsewhere.isEmpty());
}

void BmFontPropsDialog::confirm()
{
    if (!m_ok->isEnabled())
        return;
    // The character file is read now, not at the export: a file that is no text keeps the dialog
    // open with the reason, until the next edit.
    const BmFontOptions shown = shownOptions();
    if (const Result<std::vector<char32_t>> chosen = chosenCharacters(shown); !chosen) {
        m_ok->setEnabled(false);
        m_ok->setToolTip(chosen.error());
        m_problem->setText(QStringLiteral("Seite „Zeichen“: ") + chosen.error());
        m_problem->show();
        return;
    }
    emit optionsConfirmed(shown);
    accept();
}

} // namespace glyfrax
