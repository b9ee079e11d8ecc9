#include "app/BmFontPropsDialog.h"

#include "app/AppInfo.h"
#include "app/CharacterGroup.h"
#include "app/DescriptorGroup.h"
#include "app/FieldGroup.h"
#include "app/FontsGroup.h"
#include "app/PageGroup.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QIcon>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace glyfrax {

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
    m_groups.push_back(std::make_unique<FieldGroup>(dialogs, [this] { return shownOptions(); }));

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("Pages"));
    for (const std::unique_ptr<BmFontOptionGroup>& group : m_groups)
        m_pages->addTab(group->buildPage(options, [this] { edited(); }), group->title());

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

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_pages, 1);
    column->addWidget(buttons);
    // Room for the chart, but never larger than the screen leaves, at any scale factor.
    QSize size(560, 620);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 9 / 10).expandedTo(minimumSizeHint());
    resize(size);
    updateOk();
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
}

void BmFontPropsDialog::updateOk()
{
    QStringList problems;
    for (const std::unique_ptr<BmFontOptionGroup>& group : m_groups) {
        if (const QString problem = group->problem(); !problem.isEmpty())
            problems.append(problem);
    }
    m_ok->setEnabled(problems.isEmpty());
    m_ok->setToolTip(problems.join(u'\n'));
}

void BmFontPropsDialog::confirm()
{
    if (!m_ok->isEnabled())
        return;
    emit optionsConfirmed(shownOptions());
    accept();
}

} // namespace glyfrax
