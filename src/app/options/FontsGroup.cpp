#include "app/options/FontsGroup.h"

#include "app/options/FallbackFaces.h"
#include "app/shared/ControlHelp.h"
#include "app/shared/DialogService.h"
#include "app/shared/FontDrop.h"
#include "base/ShownName.h"
#include "render/FontAxes.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QRadioButton>
#include <QRawFont>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace glyfrax {

namespace {

// Pixels per em of a size in points at 96 dpi, as the descriptor rounds it.
std::int32_t pixelsOfPoints(float points)
{
    return std::clamp(std::int32_t(std::lround(points * 4.0F / 3.0F)), std::int32_t(1), kMaxPixels);
}

// The sizes a box beside its choice offers: the option's range without 0, which means not chosen.
NumberRange chosenRange(QStringView key)
{
    NumberRange range = bmFontOption(key).numbers.front();
    range.least = std::max(range.least, std::int32_t(1));
    return range;
}

} // namespace

FontsGroup::FontsGroup(DialogService& dialogs, const FontSettings& font, FallbackFaces& fallbackFaces)
    : m_dialogs(dialogs), m_fallbackFaces(fallbackFaces), m_font(font)
{
}

QString FontsGroup::title() const
{
    // "S" opens the page "Seiten".
    return QStringLiteral("Sc&hriften");
}

QWidget* FontsGroup::buildPage(const BmFontOptions& options, const std::function<void()>& changed)
{
    m_changed = changed;
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("FontsPage"));
    auto* column = new QVBoxLayout(m_page);
    column->addWidget(buildFallbacks(options.fallbacks), 1);
    column->addWidget(buildSize(options));
    m_monochrome =
        addSwitch(m_page, "MonochromeBox", QStringLiteral("&Monochrom, ohne Kantenglättung"), options.monochrome,
                  QStringLiteral("Jedes Pixel ist ganz gedeckt oder leer, für Pixelschriften, die in genau "
                                 "ihrer Größe scharf sein sollen. Die Zellen folgen dieser Zeichnung."));
    column->addWidget(m_monochrome);
    column->addLayout(buildRaster(options));
    column->addLayout(buildVariation(options));

    QObject::connect(m_monochrome, &QCheckBox::toggled, m_page, changed);
    for (QComboBox* box : {m_hinting, m_supersample})
        QObject::connect(box, &QComboBox::currentIndexChanged, m_page, changed);
    QObject::connect(m_pixels, &QRadioButton::toggled, m_page, [this](bool inPixels) {
        m_pixelBox->setEnabled(inPixels);
        m_changed();
    });
    QObject::connect(m_pixelBox, &QSpinBox::valueChanged, m_page, changed);
    new NumberAfterAccessKey(m_pixels, m_pixelBox);
    for (const HeightChoice& choice : m_heights) {
        new NumberAfterAccessKey(choice.option, choice.box);
        QObject::connect(choice.option, &QRadioButton::toggled, m_page, [this, box = choice.box](bool chosen) {
            box->setEnabled(chosen);
            m_changed();
        });
        QObject::connect(choice.box, &QSpinBox::valueChanged, m_page, changed);
    }
    return m_page;
}

QLayout* FontsGroup::buildRaster(const BmFontOptions& options)
{
    m_hinting = addChoice(m_page, "HintingBox", QStringLiteral("Rasteranpassung"), choiceEntries(u"Hinting"),
                          int(options.hinting),
                          QStringLiteral("Passt die Umrisse vor dem Zeichnen ans Pixelraster an (Hinting): kleine "
                                         "Größen werden schärfer, „Voll“ auch schmaler oder breiter. Breiten und "
                                         "Zeilenhöhe folgen mit; die Texturansicht zeigt es. Distanzfelder entstehen "
                                         "aus den Umrissen wie entworfen."));
    m_supersample =
        addChoice(m_page, "SupersampleBox", QStringLiteral("Überabtastung"),
                  powerEntries(u"Supersample",
                               [](int factor) {
                                   return factor == 1 ? QStringLiteral("Keine") : QStringLiteral("%1 × %1").arg(factor);
                               }),
                  options.supersample,
                  QStringLiteral("Zeichnet jede Glyphe zwei- oder viermal so groß und mittelt je 2 × 2 "
                                 "oder 4 × 4 Pixel: glattere Kanten bei kleinen Größen, auch für Umriss "
                                 "und Schatten. Nicht mit „Monochrom“; Distanzfelder sind ohne sie "
                                 "genau."));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(buddyLabel(m_page, QStringLiteral("Rasteranpassun&g:"), m_hinting), m_hinting);
    form->addRow(buddyLabel(m_page, QStringLiteral("Über&abtastung:"), m_supersample), m_supersample);
    return form;
}

QLayout* FontsGroup::buildVariation(const BmFontOptions& options)
{
    m_instance = addLine(m_page, "InstanceText", QStringLiteral("Instanz der variablen Schrift"));
    m_instance->setText(options.variation.instance);
    m_instance->setPlaceholderText(QStringLiteral("etwa Bold Condensed; leer: die Vorgabe der Schrift"));
    explain(m_instance, QStringLiteral("Eine benannte Instanz einer variablen Schrift, wie sie sie nennt: Ihre "
                                       "Umrisse, Breiten und Unterschneidungen gelten für den Satz."));
    m_axes = addLine(m_page, "AxesText", QStringLiteral("Achsenwerte"));
    m_axes->setText(axisValuesText(options.variation.axes));
    m_axes->setPlaceholderText(QStringLiteral("etwa wght=700,wdth=87.5"));
    explain(m_axes, QStringLiteral("Werte auf den Achsen einer variablen Schrift, über die Instanz gelegt: ACHSE=WERT, "
                                   "durch Kommas getrennt."));
    m_axesOfFont = new QLabel(m_page);
    m_axesOfFont->setObjectName(QStringLiteral("AxesOfFont"));
    m_axesOfFont->setWordWrap(true);
    showAxes();
    auto* form = new QFormLayout;
    form->addRow(buddyLabel(m_page, QStringLiteral("Instanz &der variablen Schrift:"), m_instance), m_instance);
    form->addRow(buddyLabel(m_page, QStringLiteral("Achsen&werte:"), m_axes), m_axes);
    form->addRow(m_axesOfFont);
    for (QLineEdit* line : {m_instance, m_axes})
        QObject::connect(line, &QLineEdit::textEdited, m_page, [this] { m_changed(); });
    return form;
}

// What the font offers: its axes with their ranges and its named instances, or that it has none.
void FontsGroup::showAxes()
{
    const FontAxes axes = readFontAxes(installedFaceBytes(QRawFont::fromFont(realizeFont(m_font))));
    if (axes.axes.empty()) {
        m_axesOfFont->setText(QStringLiteral("Die Schrift ist keine variable Schrift."));
        return;
    }
    QStringList ranges;
    for (const FontAxis& axis : axes.axes)
        ranges.append(QStringLiteral("%1 %2 bis %3 (Vorgabe %4)")
                          .arg(axis.tag, axisNumberText(axis.minimum), axisNumberText(axis.maximum),
                               axisNumberText(axis.defaultValue)));
    QStringList instances;
    for (const FontInstance& instance : axes.instances)
        instances.append(instance.name);
    m_axesOfFont->setText(QStringLiteral("Achsen der Schrift: %1. Instanzen: %2.")
                              .arg(ranges.join(QStringLiteral(", ")), instances.isEmpty()
                                                                          ? QStringLiteral("keine")
                                                                          : instances.join(QStringLiteral(", "))));
}

QString FontsGroup::problem() const
{
    if (const Result<std::vector<AxisValue>> axes = parseAxisValues(m_axes->text()); !axes)
        return QStringLiteral("Achsenwerte: %1").arg(axes.error());
    return {};
}

QWidget* FontsGroup::buildFallbacks(const QStringList& fallbacks)
{
    // A group box's own access key does nothing once a control in it has had the focus: a label's does.
    auto* frame = new QGroupBox(QStringLiteral("Ersatzschriften"), m_page);
    frame->setObjectName(QStringLiteral("FallbackFrame"));
    m_list = new QListWidget(frame);
    m_list->setObjectName(QStringLiteral("FallbackList"));
    m_list->setAccessibleName(QStringLiteral("Ersatzschriften"));
    m_list->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked);
    acceptFontDrops(m_list->viewport(), [this](const QString& path) { addEntry(path); });
    explain(m_list, QStringLiteral("Ein Zeichen, das der Schrift fehlt, kommt aus der ersten Ersatzschrift der Liste, "
                                   "die es hat, in derselben Größe und auf der Grundlinie der Schrift. F2 ändert "
                                   "einen Eintrag, etwa PFAD#1 für die zweite Schrift einer Sammlung (.ttc)."));
    for (const QString& entry : fallbacks) {
        auto* item = new QListWidgetItem(entry, m_list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        mark(item);
    }
    m_up = addButton(frame, "FallbackUpButton", QStringLiteral("Na&ch oben"));
    m_down = addButton(frame, "FallbackDownButton", QStringLiteral("Nach &unten"));
    m_remove = addButton(frame, "FallbackRemoveButton", QStringLiteral("E&ntfernen"));
    explain(m_up, QStringLiteral("Die gewählte Ersatzschrift wird vor der vorigen gefragt."));
    explain(m_down, QStringLiteral("Die gewählte Ersatzschrift wird nach der nächsten gefragt."));
    explain(m_remove, QStringLiteral("Nimmt die gewählte Ersatzschrift aus der Liste."));
    auto* moves = new QVBoxLayout;
    for (QPushButton* button : {m_up, m_down, m_remove})
        moves->addWidget(button);
    moves->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list, 1);
    listRow->addLayout(moves);

    m_families = new QComboBox(frame);
    m_families->setObjectName(QStringLiteral("FamilyBox"));
    m_families->setAccessibleName(QStringLiteral("Installierte Schrift"));
    for (const QString& line : installedFontList())
        m_families->addItem(line.section(u'\t', 0, 0));
    m_families->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_families->setMinimumContentsLength(16);
    explain(m_families, QStringLiteral("Eine installierte Schrift, die „Hinzufügen“ ans Ende der Liste setzt."));
    QPushButton* add = addButton(frame, "FallbackAddButton", QStringLiteral("Hinzu&fügen"));
    explain(add, QStringLiteral("Setzt die gewählte installierte Schrift ans Ende der Liste."));
    QPushButton* addFile = addButton(frame, "FallbackFileButton", QStringLiteral("Schriftda&tei …"));
    explain(addFile, QStringLiteral("Setzt eine TrueType- oder OpenType-Datei ans Ende der Liste; sie muss nicht "
                                    "installiert sein."));
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(buddyLabel(frame, QStringLiteral("&Installierte Schrift:"), m_families));
    addRow->addWidget(m_families, 1);
    addRow->addWidget(add);
    addRow->addWidget(addFile);

    m_notFound = addProblemLabel(frame, "FallbackProblem");

    auto* frameColumn = new QVBoxLayout(frame);
    frameColumn->addWidget(
        buddyLabel(frame, QStringLiteral("Fü&r Zeichen, die der Schrift fehlen, in dieser Reihenfolge:"), m_list));
    frameColumn->addLayout(listRow, 1);
    frameColumn->addLayout(addRow);
    frameColumn->addWidget(m_notFound);

    QObject::connect(m_list, &QListWidget::currentRowChanged, m_page, [this] { showEntries(); });
    QObject::connect(m_list, &QListWidget::itemChanged, m_page, [this](QListWidgetItem* item) { entryEdited(item); });
    QObject::connect(m_up, &QPushButton::clicked, m_page, [this] { moveEntry(-1); });
    QObject::connect(m_down, &QPushButton::clicked, m_page, [this] { moveEntry(1); });
    QObject::connect(m_remove, &QPushButton::clicked, m_page, [this] { removeEntry(); });
    QObject::connect(add, &QPushButton::clicked, m_page, [this] { addEntry(m_families->currentText()); });
    QObject::connect(addFile, &QPushButton::clicked, m_page, [this] { addFontFile(); });
    showEntries();
    return frame;
}

QWidget* FontsGroup::buildSize(const BmFontOptions& options)
{
    const std::int32_t pixels = options.pixels;
    auto* frame = new QGroupBox(QStringLiteral("Größe"), m_page);
    frame->setObjectName(QStringLiteral("SizeFrame"));
    m_points = new QRadioButton(frame);
    m_points->setObjectName(QStringLiteral("PointsOpt"));
    explain(m_points, QStringLiteral("Die Größe der Schriftart (Extras → Schriftart einstellen) in Punkt bei 96 dpi."));
    m_pixels = new QRadioButton(QStringLiteral("in Pi&xeln je Geviert:"), frame);
    m_pixels->setObjectName(QStringLiteral("PixelsOpt"));
    explain(m_pixels, QStringLiteral("Die Größe, die die Beschreibung als size nennt und andere Werkzeuge als "
                                     "Schriftgröße in Pixeln nehmen: 32 Pixel je Geviert sind 24 Punkt."));
    const NumberRange pixelRange = chosenRange(u"Pixels");
    m_pixelBox = addPixels(frame, "PixelsBox", QStringLiteral("Pixel je Geviert"),
                           {pixelRange.least, std::max(pixelRange.greatest, pixels)}, pixelRange.least);
    explain(m_pixelBox, QStringLiteral("Die Schriftgröße in Pixeln je Geviert, %1 bis %2.")
                            .arg(pixelRange.least)
                            .arg(pixelRange.greatest));
    (pixels > 0 ? m_pixels : m_points)->setChecked(true);
    m_pixelBox->setEnabled(pixels > 0);
    if (pixels > 0)
        m_pixelBox->setValue(pixels);
    showPointSize();

    auto* pixelRow = new QHBoxLayout;
    pixelRow->addWidget(m_pixels);
    pixelRow->addWidget(m_pixelBox);
    pixelRow->addStretch(1);
    auto* frameColumn = new QVBoxLayout(frame);
    frameColumn->addWidget(m_points);
    frameColumn->addLayout(pixelRow);

    // A size by the height of the line or of the capitals: the largest whose height is not beyond it.
    const QString heightHelp = QStringLiteral("Die größte Größe in ganzen Pixeln je Geviert, bei der %1 nicht höher "
                                              "ist als diese Zahl von Pixeln.");
    const std::pair<std::int32_t, const char*> heights[] = {{options.lineHeight, "LineHeight"},
                                                            {options.capHeight, "CapHeight"}};
    const QString captions[] = {QStringLiteral("nach Zei&lenhöhe:"), QStringLiteral("nach &Versalhöhe:")};
    const QString what[] = {QStringLiteral("die Zeile (lineHeight)"), QStringLiteral("ein Großbuchstabe")};
    for (std::size_t i = 0; i < m_heights.size(); ++i) {
        HeightChoice& choice = m_heights[i];
        choice.option = new QRadioButton(captions[i], frame);
        choice.option->setObjectName(QString::fromLatin1(heights[i].second) + QStringLiteral("Opt"));
        explain(choice.option, heightHelp.arg(what[i]));
        const QString key = QString::fromLatin1(heights[i].second);
        choice.box = addPixels(frame, "", captions[i].chopped(1).remove(u'&'), chosenRange(key),
                               heights[i].first > 0 ? heights[i].first : m_pixelBox->value());
        choice.box->setObjectName(key + QStringLiteral("Box"));
        choice.box->setEnabled(false);
        explain(choice.box, heightHelp.arg(what[i]));
        auto* row = new QHBoxLayout;
        row->addWidget(choice.option);
        row->addWidget(choice.box);
        row->addStretch(1);
        frameColumn->addLayout(row);
    }
    // The first height given decides, as in the export.
    for (std::size_t i = 0; i < m_heights.size(); ++i) {
        if (heights[i].first > 0) {
            m_heights[i].option->setChecked(true);
            m_heights[i].box->setEnabled(true);
            m_pixelBox->setEnabled(false);
            break;
        }
    }
    return frame;
}

void FontsGroup::store(BmFontOptions& options) const
{
    QStringList fallbacks;
    for (int row = 0; row < m_list->count(); ++row) {
        if (const QString entry = m_list->item(row)->text(); !entry.trimmed().isEmpty())
            fallbacks.append(entry);
    }
    options.fallbacks = fallbacks;
    options.pixels = m_pixels->isChecked() ? m_pixelBox->value() : 0;
    options.lineHeight = m_heights[0].option->isChecked() ? m_heights[0].box->value() : 0;
    options.capHeight = m_heights[1].option->isChecked() ? m_heights[1].box->value() : 0;
    options.monochrome = m_monochrome->isChecked();
    options.hinting = Hinting(m_hinting->currentData().toInt());
    options.supersample = m_supersample->currentData().toInt();
    options.variation.instance = m_instance->text().trimmed();
    if (const Result<std::vector<AxisValue>> axes = parseAxisValues(m_axes->text()))
        options.variation.axes = *axes;
}

void FontsGroup::showFont(const FontSettings& font)
{
    m_font = font;
    if (m_page) {
        showPointSize();
        showAxes();
    }
}

void FontsGroup::showPointSize()
{
    m_points->setText(QStringLiteral("in &Punkt, wie die Schriftart (%1 pt)")
                          .arg(QLocale(QLocale::German).toString(double(m_font.size))));
    // Points in force: the box shows what they come to, the start when pixels are chosen.
    if (!m_pixels->isChecked()) {
        const QSignalBlocker quiet(m_pixelBox);
        m_pixelBox->setValue(pixelsOfPoints(m_font.size));
    }
}

void FontsGroup::addEntry(const QString& entry)
{
    if (entry.trimmed().isEmpty())
        return;
    const QList<QListWidgetItem*> listed = m_list->findItems(entry, Qt::MatchExactly);
    QListWidgetItem* item = listed.value(0);
    if (!item) {
        const QSignalBlocker quiet(m_list);
        item = new QListWidgetItem(entry, m_list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        mark(item);
    }
    m_list->setCurrentItem(item);
    entriesChanged();
}

void FontsGroup::addFontFile()
{
    // The folder of the last font file listed that is still there.
    QString folder;
    for (int row = m_list->count() - 1; row >= 0 && folder.isEmpty(); --row) {
        const QString entry = m_list->item(row)->text();
        const QFileInfo file(splitFaceNumber(entry).path);
        if (namesFontFile(entry) && file.dir().exists())
            folder = file.absolutePath();
    }
    const FileAnswer answer = m_dialogs.chooseFile(
        m_page, {false,
                 QStringLiteral("Ersatzschrift wählen"),
                 folder,
                 {QStringLiteral("Schriftdateien (*.ttf *.otf *.ttc *.otc)"), QStringLiteral("Alle Dateien (*)")},
                 {}});
    addEntry(answer.path);
}

void FontsGroup::moveEntry(int by)
{
    const int row = m_list->currentRow();
    if (row < 0 || row + by < 0 || row + by >= m_list->count())
        return;
    const QSignalBlocker quiet(m_list);
    QListWidgetItem* item = m_list->takeItem(row);
    m_list->insertItem(row + by, item);
    m_list->setCurrentItem(item);
    entriesChanged();
}

void FontsGroup::removeEntry()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    {
        const QSignalBlocker quiet(m_list);
        delete m_list->takeItem(row);
        m_list->setCurrentRow(std::min(row, m_list->count() - 1));
    }
    entriesChanged();
}

void FontsGroup::entryEdited(QListWidgetItem* item)
{
    // Spaces around a name would keep the export from finding it.
    const QString entry = item->text().trimmed();
    if (entry.isEmpty()) {
        // An emptied entry goes once its editor has closed, which still refers to it now.
        QMetaObject::invokeMethod(
            m_page,
            [this] {
                const QSignalBlocker quiet(m_list);
                for (int row = m_list->count() - 1; row >= 0; --row) {
                    if (m_list->item(row)->text().trimmed().isEmpty())
                        delete m_list->takeItem(row);
                }
                entriesChanged();
            },
            Qt::QueuedConnection);
        return;
    }
    const QSignalBlocker quiet(m_list);
    item->setText(entry);
    mark(item);
    entriesChanged();
}

void FontsGroup::mark(QListWidgetItem* item)
{
    const Result<RegisteredFont>& found = m_fallbackFaces.find(item->text());
    if (found) {
        const QString tip = found->file.isEmpty()
                                ? QStringLiteral("Installierte Schrift")
                                : QStringLiteral("Schriftdatei mit der Schrift „%1“").arg(found->displayName);
        item->setForeground(QBrush());
        item->setToolTip(tip);
        item->setData(Qt::AccessibleDescriptionRole, tip);
    } else {
        // Kept as it is: the font may come back (a drive not mounted, a font to be installed).
        item->setForeground(QColor(176, 0, 0));
        item->setToolTip(QStringLiteral("Nicht gefunden: ") + found.error());
        item->setData(Qt::AccessibleDescriptionRole, item->toolTip());
    }
}

void FontsGroup::entriesChanged()
{
    showEntries();
    m_changed();
}

void FontsGroup::showEntries()
{
    const int row = m_list->currentRow();
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < m_list->count());
    m_remove->setEnabled(row >= 0);
    QStringList lost;
    for (int i = 0; i < m_list->count(); ++i) {
        if (!m_fallbackFaces.find(m_list->item(i)->text()))
            lost.append(QStringLiteral("„%1“").arg(shownName(m_list->item(i)->text())));
    }
    m_notFound->setText(lost.isEmpty()
                            ? QString()
                            : QStringLiteral("Nicht gefunden (rot): %1. Der Export bricht ab, solange eine "
                                             "Ersatzschrift fehlt; entfernen Sie sie oder machen Sie sie verfügbar.")
                                  .arg(lost.join(QStringLiteral(", "))));
    m_notFound->setVisible(!lost.isEmpty());
}

void FontsGroup::showOptions(const BmFontOptions& options)
{
    offWithField(m_monochrome, options.field, m_monochrome->isChecked());
    // Without a choice of their own for a field: it is made from the exact outlines either way.
    offWithField(m_hinting, options.field, false);
    offWithField(m_supersample, options.field, false);
}

} // namespace glyfrax
