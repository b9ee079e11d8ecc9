#include "app/options/ImagesGroup.h"

#include "app/shared/ControlHelp.h"
#include "app/shared/DialogService.h"
#include "base/CharacterName.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <set>

namespace glyfrax {

namespace {

// The first character of the Private Use Area: where icons go when their file names no character.
constexpr char32_t kFirstPrivateUse = 0xE000;
constexpr char32_t kLastPrivateUse = 0xF8FF;

} // namespace

ImagesGroup::ImagesGroup(DialogService& dialogs) : m_dialogs(dialogs) {}

QString ImagesGroup::title() const
{
    return QStringLiteral("Ic&ons");
}

QWidget* ImagesGroup::buildPage(const BmFontOptions& options, const std::function<void()>& changed)
{
    m_changed = changed;
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("ImagesPage"));
    auto* frame = new QGroupBox(QStringLiteral("Bilder als Zeichen"), m_page);
    frame->setObjectName(QStringLiteral("ImagesFrame"));
    m_list = new QListWidget(frame);
    m_list->setObjectName(QStringLiteral("ImageList"));
    m_list->setAccessibleName(QStringLiteral("Bilder als Zeichen"));
    m_list->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked);
    explain(m_list, QStringLiteral("Jedes Bild kommt in eine Zelle wie eine Glyphe: ZEICHEN=DATEI, mit @X,Y,VORSCHUB "
                                   "am Ende für die linke obere Ecke vom Stift und vom oberen Rand der Zeile aus und "
                                   "den Vorschub in Pixeln. Ohne sie steht das Bild am Stift auf der Unterkante der "
                                   "Zeile, mit seiner Breite als Vorschub. F2 ändert einen Eintrag. SVG-Bilder sind "
                                   "ein Geviert hoch."));
    for (const ImageGlyph& image : options.images) {
        auto* item = new QListWidgetItem(imageGlyphText(image), m_list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    QPushButton* add = addButton(frame, "ImageAddButton", QStringLiteral("Hinzu&fügen …"));
    explain(add, QStringLiteral("Wählt ein Bild. Nennt sein Name ein Zeichen (E000.png), steht es für dieses, sonst "
                                "für das nächste freie Zeichen ab U+E000."));
    m_remove = addButton(frame, "ImageRemoveButton", QStringLiteral("E&ntfernen"));
    explain(m_remove, QStringLiteral("Nimmt das gewählte Bild aus der Liste."));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list, 1);
    listRow->addLayout(buttons);
    m_problem = addProblemLabel(frame, "ImagesProblem");

    m_folder = addLine(frame, "ImageFolderText", QStringLiteral("Ordner mit Bildern"));
    m_folder->setText(options.imageFolder);
    explain(m_folder, QStringLiteral("Jedes Bild des Ordners, benannt nach seinem Zeichen (E000.png, U+E001.svg), "
                                     "kommt als Zeichen hinzu; ein Bild der Liste geht vor. Glyfrax liest den "
                                     "Ordner bei jedem Export neu."));
    QPushButton* browse = addButton(frame, "ImageFolderButton", QStringLiteral("Durchs&uchen …"));
    explain(browse, QStringLiteral("Wählt den Ordner mit den Bildern."));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(buddyLabel(frame, QStringLiteral("Or&dner mit Bildern:"), m_folder));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);

    auto* frameColumn = new QVBoxLayout(frame);
    frameColumn->addWidget(buddyLabel(frame, QStringLiteral("Bi&lder, je eines für ein Zeichen:"), m_list));
    frameColumn->addLayout(listRow, 1);
    frameColumn->addWidget(m_problem);
    frameColumn->addLayout(folderRow);

    m_colours = addSwitch(m_page, "ColorGlyphsBox", QStringLiteral("&In Farbe: Farbglyphen der Schriften und Bilder"),
                          options.colorGlyphs,
                          QStringLiteral("Emoji und andere Farbglyphen einer Schrift und die Bilder kommen in ihren "
                                         "Farben auf die Seiten, die übrigen Glyphen wie sonst. Aus: nur ihre Deckung, "
                                         "die die Engine wie jede Glyphe färbt. Nicht mit einem Distanzfeld, grauen "
                                         "oder gepackten Seiten."));
    auto* column = new QVBoxLayout(m_page);
    column->addWidget(frame, 1);
    column->addWidget(m_colours);

    QObject::connect(add, &QPushButton::clicked, m_page, [this] { addImage(); });
    QObject::connect(m_remove, &QPushButton::clicked, m_page, [this] {
        delete m_list->currentItem();
        edited();
    });
    QObject::connect(browse, &QPushButton::clicked, m_page, [this] { chooseFolder(); });
    QObject::connect(m_list, &QListWidget::itemChanged, m_page, [this] { edited(); });
    QObject::connect(m_list, &QListWidget::currentRowChanged, m_page,
                     [this] { m_remove->setEnabled(m_list->currentItem() != nullptr); });
    QObject::connect(m_folder, &QLineEdit::textEdited, m_page, [this] { edited(); });
    QObject::connect(m_colours, &QCheckBox::toggled, m_page, changed);
    m_remove->setEnabled(false);
    m_problem->setText(problem());
    m_problem->setVisible(!m_problem->text().isEmpty());
    return m_page;
}

void ImagesGroup::addImage()
{
    const FileAnswer chosen = m_dialogs.chooseFile(
        m_page, {false,
                 QStringLiteral("Bild als Zeichen"),
                 QString(),
                 {QStringLiteral("Bilder (*.png *.svg *.jpg *.jpeg *.bmp *.gif)"), QStringLiteral("Alle Dateien (*)")},
                 {},
                 false});
    if (chosen.path.isEmpty())
        return;
    std::set<char32_t> taken;
    for (int row = 0; row < m_list->count(); ++row) {
        if (const Result<ImageGlyph> image = readImageGlyph(m_list->item(row)->text()))
            taken.insert(image->character);
    }
    char32_t character = characterOfImageName(QFileInfo(chosen.path).fileName()).value_or(kFirstPrivateUse);
    while (taken.contains(character) && character < kLastPrivateUse)
        ++character;
    auto* item = new QListWidgetItem(imageGlyphText({character, chosen.path, {}, {}, {}}), m_list);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    m_list->setCurrentItem(item);
    edited();
}

void ImagesGroup::chooseFolder()
{
    const FileAnswer chosen =
        m_dialogs.chooseFile(m_page, {false, QStringLiteral("Ordner mit Bildern"), m_folder->text(), {}, {}, true});
    if (chosen.path.isEmpty())
        return;
    m_folder->setText(chosen.path);
    edited();
}

void ImagesGroup::edited()
{
    m_problem->setText(problem());
    m_problem->setVisible(!m_problem->text().isEmpty());
    m_changed();
}

QString ImagesGroup::problem() const
{
    for (int row = 0; row < m_list->count(); ++row) {
        if (const Result<ImageGlyph> image = readImageGlyph(m_list->item(row)->text()); !image)
            return QStringLiteral("Bild %1: %2.").arg(row + 1).arg(image.error());
    }
    return {};
}

void ImagesGroup::store(BmFontOptions& options) const
{
    options.images.clear();
    for (int row = 0; row < m_list->count(); ++row) {
        if (const Result<ImageGlyph> image = readImageGlyph(m_list->item(row)->text()))
            options.images.push_back(*image);
    }
    options.imageFolder = m_folder->text().trimmed();
    options.colorGlyphs = m_colours->isChecked();
}

} // namespace glyfrax
