#include "app/options/FieldGroup.h"

#include "app/shared/ControlHelp.h"
#include "app/shared/DialogService.h"
#include "settings/ColorValue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace glyfrax {

FieldGroup::FieldGroup(DialogService& dialogs) : m_dialogs(dialogs) {}

QString FieldGroup::title() const
{
    return QStringLiteral("Distanzfeld und &Effekte");
}

QLineEdit* FieldGroup::addColor(QWidget* page, const char* name, const QString& what, QRgb value)
{
    auto* edit = new QLineEdit(colorWithAlphaText(value), page);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(what);
    edit->setMaxLength(40);
    explain(edit, QStringLiteral("%1: #RRGGBB oder #RRGGBBAA, AA die Deckkraft von 00 (durchsichtig) bis FF "
                                 "(deckend).")
                      .arg(what));
    QObject::connect(edit, &QLineEdit::textChanged, page, m_changed);
    return edit;
}

void FieldGroup::chooseColor(QLineEdit* edit, const QString& what)
{
    const QRgb current = colorWithAlphaFromText(edit->text()).value_or(qRgba(0, 0, 0, 255));
    if (const std::optional<QColor> chosen = m_dialogs.chooseColor(m_page, QColor(current), what)) {
        // The colour dialog offers no alpha: the one written stays.
        edit->setText(colorWithAlphaText(qRgba(chosen->red(), chosen->green(), chosen->blue(), qAlpha(current))));
    }
}

QWidget* FieldGroup::buildPage(const BmFontOptions& options, const std::function<void()>& changed)
{
    m_changed = [this, changed] {
        enableControls();
        changed();
    };
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("FieldPage"));

    auto* fieldFrame = new QGroupBox(QStringLiteral("Distanzfeld"), m_page);
    fieldFrame->setObjectName(QStringLiteral("FieldFrame"));
    m_field = new QComboBox(fieldFrame);
    m_field->setObjectName(QStringLiteral("FieldBox"));
    m_field->setAccessibleName(QStringLiteral("Distanzfeld"));
    for (const PageFieldFacts& facts : kPageFields)
        m_field->addItem(QString::fromUtf16(facts.caption), int(facts.value));
    m_field->setCurrentIndex(m_field->findData(int(options.field)));
    explain(m_field, QStringLiteral("Ein Distanzfeld hält statt der Deckung den Abstand jedes Pixels vom Umriss der "
                                    "Glyphe; eine Engine zeichnet daraus Schrift in jeder Größe scharf. Die Seiten "
                                    "sind PNG mit Alphakanal; die Beschreibung nennt Art und Breite."));
    m_range = addPixels(fieldFrame, "RangeBox", QStringLiteral("Breite des Distanzfelds"),
                        bmFontOption(u"DistanceRange").numbers[0], options.distanceRange);
    explain(m_range, QStringLiteral("Die Breite, über die das Feld vom dunkelsten zum hellsten Wert geht; der Umriss "
                                    "liegt bei 128. Jede Zelle wächst um die Hälfte davon auf jeder Seite."));
    auto* fieldForm = new QFormLayout(fieldFrame);
    fieldForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    fieldForm->addRow(QStringLiteral("&Feld:"), m_field);
    fieldForm->addRow(QStringLiteral("B&reite:"), m_range);

    auto* effectsFrame = new QGroupBox(QStringLiteral("Effekte in Seiten mit Deckung"), m_page);
    effectsFrame->setObjectName(QStringLiteral("EffectsFrame"));
    m_outline = addPixels(effectsFrame, "OutlineBox", QStringLiteral("Umriss"), bmFontOption(u"Outline").numbers[0],
                          options.outline);
    explain(m_outline, QStringLiteral("Ein Umriss dieser Breite um jede Glyphe, unter ihrer eigenen Farbe; 0: keiner. "
                                      "Die Zellen wachsen um ihn, der Vorschub bleibt der der Glyphe."));
    m_outlineColor = addColor(effectsFrame, "OutlineColorText", QStringLiteral("Umrissfarbe"), options.outlineColor);
    m_shadow = new QCheckBox(QStringLiteral("Scha&tten"), effectsFrame);
    m_shadow->setObjectName(QStringLiteral("ShadowBox"));
    m_shadow->setChecked(options.shadow.has_value());
    explain(m_shadow, QStringLiteral("Ein Schatten unter jeder Glyphe und ihrem Umriss, versetzt und verwischt."));
    const GlyphShadow shadow = options.shadow.value_or(GlyphShadow{2, 2, 2});
    const std::vector<NumberRange>& shadowRanges = bmFontOption(u"Shadow").numbers;
    m_shadowX =
        addPixels(effectsFrame, "ShadowXBox", QStringLiteral("Schatten nach rechts"), shadowRanges[0], shadow.dx);
    m_shadowY =
        addPixels(effectsFrame, "ShadowYBox", QStringLiteral("Schatten nach unten"), shadowRanges[1], shadow.dy);
    m_blur =
        addPixels(effectsFrame, "BlurBox", QStringLiteral("Unschärfe des Schattens"), shadowRanges[2], shadow.blur);
    explain(m_blur, QStringLiteral("Wie weit der Schatten verwischt: die Hälfte davon ist die Standardabweichung "
                                   "einer Gaußschen Unschärfe, wie bei text-shadow in CSS."));
    m_shadowColor = addColor(effectsFrame, "ShadowColorText", QStringLiteral("Schattenfarbe"), options.shadowColor);

    auto* effectsForm = new QFormLayout(effectsFrame);
    effectsForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    // A row of several controls: its label's access key leads to the first.
    auto addRow = [effectsFrame, effectsForm](const QString& label, std::initializer_list<QWidget*> controls) {
        auto* caption = new QLabel(label, effectsFrame);
        caption->setBuddy(*controls.begin());
        auto* row = new QHBoxLayout;
        for (QWidget* control : controls)
            row->addWidget(control);
        effectsForm->addRow(caption, row);
    };
    auto colorButton = [this, effectsFrame](QLineEdit* edit, const char* name, const QString& what) {
        auto* button = new QPushButton(QStringLiteral("Wählen …"), effectsFrame);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(what + QStringLiteral(" wählen"));
        QObject::connect(button, &QPushButton::clicked, m_page, [this, edit, what] { chooseColor(edit, what); });
        return button;
    };
    QPushButton* outlineButton = colorButton(m_outlineColor, "OutlineColorButton", QStringLiteral("Umrissfarbe"));
    m_shadowColorButton = colorButton(m_shadowColor, "ShadowColorButton", QStringLiteral("Schattenfarbe"));
    effectsForm->addRow(QStringLiteral("&Umriss:"), m_outline);
    addRow(QStringLiteral("U&mrissfarbe:"), {m_outlineColor, outlineButton});
    effectsForm->addRow(m_shadow);
    addRow(QStringLiteral("&Versatz (rechts, unten):"), {m_shadowX, m_shadowY});
    effectsForm->addRow(QStringLiteral("U&nschärfe:"), m_blur);
    addRow(QStringLiteral("Schattenf&arbe:"), {m_shadowColor, m_shadowColorButton});

    auto* note = new QLabel(QStringLiteral("Mit einem Distanzfeld zeichnet die Engine Umriss und Schatten selbst aus "
                                           "dem Feld; beides zusammen geht nicht. Seiten mit Effekten und Alphakanal "
                                           "zeigen die Glyphen weiß über den Effekten in deren Farben."),
                            m_page);
    note->setWordWrap(true);
    m_problem = addProblemLabel(m_page, "FieldProblem");
    auto* column = new QVBoxLayout(m_page);
    column->addWidget(fieldFrame);
    column->addWidget(effectsFrame);
    column->addWidget(m_problem);
    column->addWidget(note);
    column->addStretch(1);

    // The tab key goes through the controls as they stand, top to bottom.
    QWidget* const order[] = {m_field,   m_range,   m_outline, m_outlineColor, outlineButton,      m_shadow,
                              m_shadowX, m_shadowY, m_blur,    m_shadowColor,  m_shadowColorButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    QObject::connect(m_field, &QComboBox::currentIndexChanged, m_page, m_changed);
    for (QSpinBox* box : {m_range, m_outline, m_shadowX, m_shadowY, m_blur})
        QObject::connect(box, &QSpinBox::valueChanged, m_page, m_changed);
    QObject::connect(m_shadow, &QCheckBox::toggled, m_page, m_changed);
    enableControls();
    return m_page;
}

void FieldGroup::enableControls()
{
    const auto field = PageField(m_field->currentData().toInt());
    m_range->setEnabled(field != PageField::None);
    offWithField(m_outline, field, m_outline->value() > 0);
    offWithField(m_shadow, field, m_shadow->isChecked());
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_shadowX, m_shadowY, m_blur, m_shadowColor, m_shadowColorButton})
        control->setEnabled(m_shadow->isChecked());
}

void FieldGroup::store(BmFontOptions& options) const
{
    options.field = PageField(m_field->currentData().toInt());
    options.distanceRange = m_range->value();
    options.outline = m_outline->value();
    options.outlineColor = colorWithAlphaFromText(m_outlineColor->text()).value_or(options.outlineColor);
    options.shadow =
        m_shadow->isChecked()
            ? std::optional<GlyphShadow>(GlyphShadow{m_shadowX->value(), m_shadowY->value(), m_blur->value()})
            : std::nullopt;
    options.shadowColor = colorWithAlphaFromText(m_shadowColor->text()).value_or(options.shadowColor);
}

QString FieldGroup::problem() const
{
    QString problem;
    for (const auto& [edit, what] : {std::pair{m_outlineColor, QStringLiteral("Umrissfarbe")},
                                     std::pair{m_shadowColor, QStringLiteral("Schattenfarbe")}}) {
        if (problem.isEmpty() && edit->isEnabled() && !colorWithAlphaFromText(edit->text()))
            problem = QStringLiteral("%1: „%2“ ist keine Farbe (erwartet #RGB, #RRGGBB oder #RRGGBBAA).")
                          .arg(what, edit->text());
    }
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    return problem;
}

} // namespace glyfrax
