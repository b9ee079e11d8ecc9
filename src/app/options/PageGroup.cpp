#include "app/options/PageGroup.h"

#include "app/shared/ControlHelp.h"
#include "base/ShownName.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace glyfrax {

QString PageGroup::title() const
{
    return QStringLiteral("&Seiten");
}

QWidget* PageGroup::buildPage(const BmFontOptions& options, const std::function<void()>& changed)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("PagesPage"));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);

    // One box a side: a value the user does not touch stays as the settings hold it.
    auto* paddings = new QHBoxLayout;
    const std::pair<const char*, QString> sides[] = {{"PaddingUpBox", QStringLiteral("Rand oben")},
                                                     {"PaddingRightBox", QStringLiteral("Rand rechts")},
                                                     {"PaddingDownBox", QStringLiteral("Rand unten")},
                                                     {"PaddingLeftBox", QStringLiteral("Rand links")}};
    const int paddingValues[] = {options.padding.up, options.padding.right, options.padding.down, options.padding.left};
    for (std::size_t side = 0; side < m_padding.size(); ++side) {
        m_padding[side] = addPixels(page, sides[side].first, sides[side].second, bmFontOption(u"Padding").numbers[side],
                                    paddingValues[side]);
        explain(m_padding[side], QStringLiteral("Freie Pixel um die Tinte jedes Zeichens in seiner Zelle (%1); Platz "
                                                "etwa für Effekte, die eine Engine später zeichnet.")
                                     .arg(sides[side].second));
        paddings->addWidget(m_padding[side]);
    }
    // A row of several boxes gets no buddy from the form: without one the access key would show as "&".
    form->addRow(buddyLabel(page, QStringLiteral("&Rand (oben, rechts, unten, links):"), m_padding[0]), paddings);
    auto* spacings = new QHBoxLayout;
    const int spacingValues[] = {options.spacing.horizontal, options.spacing.vertical};
    const char* spacingNames[] = {"SpacingAcrossBox", "SpacingDownBox"};
    const QString spacingTexts[] = {QStringLiteral("Abstand waagerecht"), QStringLiteral("Abstand senkrecht")};
    for (std::size_t way = 0; way < m_spacing.size(); ++way) {
        m_spacing[way] = addPixels(page, spacingNames[way], spacingTexts[way], bmFontOption(u"Spacing").numbers[way],
                                   spacingValues[way]);
        explain(m_spacing[way], QStringLiteral("Pixel, die zwischen zwei Zellen mindestens frei bleiben (%1), damit "
                                               "eine filternde Engine keine Nachbarzelle mitliest.")
                                    .arg(spacingTexts[way]));
        spacings->addWidget(m_spacing[way]);
    }
    form->addRow(buddyLabel(page, QStringLiteral("&Abstand (waagerecht, senkrecht):"), m_spacing[0]), spacings);

    m_maxTexture = addChoice(
        page, "MaxTextureBox", QStringLiteral("Größte Seite"),
        powerEntries(u"MaxTexture", [](int side) { return QStringLiteral("%1 x %1").arg(side); }), options.maxTexture,
        QStringLiteral("Die größte Seitenlänge einer Texturseite in Pixeln. Passen die Zeichen nicht auf eine Seite "
                       "dieser Größe, folgen weitere Seiten."));
    form->addRow(QStringLiteral("&Größte Seite:"), m_maxTexture);

    m_nonSquare = addSwitch(page, "NonSquareBox", QStringLiteral("&Nicht quadratisch: Seiten dürfen Rechtecke sein"),
                            options.nonSquare,
                            QStringLiteral("Die Seiten sind das kleinste Rechteck, dessen Seiten Zweierpotenzen sind, "
                                           "statt des kleinsten Quadrats; das spart oft die Hälfte der Fläche."));
    form->addRow(m_nonSquare);

    // Its access key is not the Z of "zuschneiden", which opens the page "Zeichen".
    m_crop = addSwitch(page, "CropBox", QStringLiteral("Einzelne Seite zus&chneiden"), options.crop,
                       QStringLiteral("Braucht der Satz nur eine Seite, endet sie nach der letzten belegten Zeile und "
                                      "Spalte, auf ein Vielfaches von 4 aufgerundet, statt bei einer Zweierpotenz. "
                                      "Mehrere Seiten bleiben gleich groß: scaleW und scaleH gelten für alle."));
    form->addRow(m_crop);

    m_keepLayout =
        addSwitch(page, "KeepLayoutBox", QStringLiteral("Zellen behalten, nur Neues h&inzufügen"), options.keepLayout,
                  QStringLiteral("Jedes Zeichen, das der frühere Satz schon hatte, bleibt in seiner Zelle, "
                                 "solange Schrift und Größe gleich sind; nur neue Zeichen kommen in freien "
                                 "Platz. So ändern sich die Seiten nur, wo sich etwas ändert."));
    form->addRow(m_keepLayout);

    m_image = new QComboBox(page);
    m_image->setObjectName(QStringLiteral("ImageBox"));
    m_image->setAccessibleName(QStringLiteral("Bildformat"));
    for (const PageImageFacts& facts : kPageImages)
        m_image->addItem(QString::fromUtf16(facts.caption), int(facts.value));
    m_image->setCurrentIndex(m_image->findData(int(options.image)));
    explain(m_image, QStringLiteral("Das Format, das „BMFont exportieren“ zuerst anbietet. Es entscheidet die "
                                    "Endung des gewählten Namens: %1.")
                         .arg(alternatives(pageExtensions())));
    form->addRow(QStringLiteral("Bild&format:"), m_image);

    auto* look = new QGroupBox(QStringLiteral("Pixel der Seiten"), page);
    look->setObjectName(QStringLiteral("LookFrame"));
    m_alpha = new QRadioButton(QStringLiteral("Weiß, die Deckung im A&lphakanal (BMP: weiß auf Schwarz)"), look);
    m_alpha->setObjectName(QStringLiteral("AlphaOpt"));
    m_opaque = new QRadioButton(QStringLiteral("&Deckend, in Schrift- und Hintergrundfarbe"), look);
    m_opaque->setObjectName(QStringLiteral("OpaqueOpt"));
    (options.opaque ? m_opaque : m_alpha)->setChecked(true);
    explain(m_alpha, QStringLiteral("PNG-Seiten sind überall weiß, jedes Zeichen steht als Deckung im Alphakanal: "
                                    "die Engine färbt es beim Zeichnen. BMP-Seiten haben keinen Alphakanal und "
                                    "zeigen weiße Zeichen auf Schwarz."));
    explain(m_opaque, QStringLiteral("Die Seiten zeigen die Zeichen in der Schriftfarbe auf der Hintergrundfarbe "
                                     "(Extras), ohne Alphakanal."));
    m_channels =
        addChoice(look, "ChannelsBox", QStringLiteral("Kanäle"), choiceEntries(u"Channels"), int(options.channels),
                  QStringLiteral("Die Kanäle der PNG-Seiten. „Grau“ hält die Glyphe weiß auf Schwarz in einem "
                                 "Byte je Pixel, „Grau mit Alpha“ weiß mit der Glyphe im Alpha in zwei: ein "
                                 "Viertel oder die Hälfte des Speichers. Für Glyphen und sdf-Felder ohne "
                                 "Farben und Effekte."));
    m_premultiplied =
        addSwitch(look, "PremultipliedBox", QStringLiteral("&Vormultipliziertes Alpha"), options.premultiplied,
                  QStringLiteral("Jede Farbe mit ihrem Alpha multipliziert, Effekte eingeschlossen, wie "
                                 "Engines sie brauchen, die vormultipliziert mischen: sonst zeigen sich "
                                 "dunkle Säume oder helle Kästen. Die Beschreibung sagt es nicht; die "
                                 "Engine wird dafür eingestellt."));
    m_packed = addSwitch(look, "PackChannelsBox", QStringLiteral("Vier Seiten je Bild, ein Kanal je Seite (ge&packt)"),
                         options.packChannels,
                         QStringLiteral("Blau, Grün, Rot und Alpha halten je die Zellen eigener Zeichen; packed=1 "
                                        "und chnl jedes Zeichens sagen welchen: ein Viertel der Seiten. Die "
                                        "Texturansicht zeigt jeden Kanal als eigene Seite. Für Glyphen und sdf-Felder "
                                        "ohne Farben und Effekte."));
    auto* lookColumn = new QVBoxLayout(look);
    lookColumn->addWidget(m_alpha);
    lookColumn->addWidget(m_opaque);
    auto* channelsRow = new QHBoxLayout;
    channelsRow->addWidget(buddyLabel(look, QStringLiteral("&Kanäle:"), m_channels));
    channelsRow->addWidget(m_channels);
    channelsRow->addStretch(1);
    lookColumn->addLayout(channelsRow);
    lookColumn->addWidget(m_premultiplied);
    lookColumn->addWidget(m_packed);
    QObject::connect(m_channels, &QComboBox::currentIndexChanged, page, changed);
    for (QCheckBox* box : {m_premultiplied, m_packed})
        QObject::connect(box, &QCheckBox::toggled, page, changed);

    auto* cells = new QGroupBox(QStringLiteral("Zellen"), page);
    cells->setObjectName(QStringLiteral("CellsFrame"));
    m_grid = addSwitch(cells, "GridBox", QStringLiteral("Als Ras&ter: alle Zellen gleich groß, nach Zeichencode"),
                       options.grid,
                       QStringLiteral("Jede Zelle so groß wie die größte, in Zeilen und Spalten nach den Zeichencodes, "
                                      "jede Glyphe am selben Ursprung: Die Stelle einer Zelle folgt aus ihrer Nummer. "
                                      "Alle Zeichen haben dieselben Maße und Versätze, auch das Leerzeichen."));
    m_equalHeight =
        addSwitch(cells, "EqualHeightBox", QStringLiteral("Alle Zellen so hoch &wie die Zeile"), options.equalHeight,
                  QStringLiteral("Jede Zelle reicht vom oberen bis zum unteren Rand der Zeile (weiter, "
                                 "wenn eine Glyphe darüber hinausreicht), die Glyphe an der Grundlinie."));
    m_zeroOffsets = addSwitch(cells, "ZeroOffsetsBox", QStringLiteral("Versätze a&uf null"), options.zeroOffsets,
                              QStringLiteral("Jede Zelle beginnt an der Stiftposition und am oberen Rand der Zeile, "
                                             "xoffset und yoffset sind 0. Tinte links vom Stift oder über der Zeile "
                                             "wird abgeschnitten."));
    auto* cellsColumn = new QVBoxLayout(cells);
    for (QCheckBox* box : {m_grid, m_equalHeight, m_zeroOffsets}) {
        cellsColumn->addWidget(box);
        QObject::connect(box, &QCheckBox::toggled, page, changed);
    }

    auto* column = new QVBoxLayout(page);
    column->addLayout(form);
    column->addWidget(look);
    column->addWidget(cells);
    column->addStretch(1);

    for (QSpinBox* box : m_padding)
        QObject::connect(box, &QSpinBox::valueChanged, page, changed);
    for (QSpinBox* box : m_spacing)
        QObject::connect(box, &QSpinBox::valueChanged, page, changed);
    for (QComboBox* box : {m_maxTexture, m_image})
        QObject::connect(box, &QComboBox::currentIndexChanged, page, changed);
    for (QCheckBox* box : {m_nonSquare, m_crop, m_keepLayout})
        QObject::connect(box, &QCheckBox::toggled, page, changed);
    QObject::connect(m_opaque, &QRadioButton::toggled, page, changed);
    return page;
}

void PageGroup::store(BmFontOptions& options) const
{
    options.padding = {m_padding[0]->value(), m_padding[1]->value(), m_padding[2]->value(), m_padding[3]->value()};
    options.spacing = {m_spacing[0]->value(), m_spacing[1]->value()};
    options.maxTexture = m_maxTexture->currentData().toInt();
    options.nonSquare = m_nonSquare->isChecked();
    options.crop = m_crop->isChecked();
    options.keepLayout = m_keepLayout->isChecked();
    options.image = PageImage(m_image->currentData().toInt());
    options.opaque = m_opaque->isChecked();
    options.channels = PageChannels(m_channels->currentData().toInt());
    options.premultiplied = m_premultiplied->isChecked();
    options.packChannels = m_packed->isChecked();
    options.grid = m_grid->isChecked();
    options.equalHeight = m_equalHeight->isChecked();
    options.zeroOffsets = m_zeroOffsets->isChecked();
}

void PageGroup::showOptions(const BmFontOptions& options)
{
    offWithField(m_opaque, options.field, m_opaque->isChecked());
    // The combo box's own model: each entry is an item that can be switched off.
    if (auto* entries = qobject_cast<QStandardItemModel*>(m_image->model())) {
        for (const PageImageFacts& facts : kPageImages) {
            QStandardItem* entry = entries->item(m_image->findData(int(facts.value)));
            const bool off = !facts.alpha && options.field != PageField::None && options.image != facts.value;
            entry->setEnabled(!off);
            entry->setToolTip(off ? notWithFieldNote() : QString());
        }
    }
}

} // namespace glyfrax
