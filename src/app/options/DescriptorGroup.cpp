#include "app/options/DescriptorGroup.h"

#include "app/shared/ControlHelp.h"
#include "settings/EnginePresets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace glyfrax {

QString DescriptorGroup::title() const
{
    return QStringLiteral("&Beschreibung");
}

QWidget* DescriptorGroup::buildPage(const BmFontOptions& options, const std::function<void()>& changed)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("DescriptorPage"));
    m_engine = addChoice(page, "EngineBox", QStringLiteral("Engine"), choiceEntries(u"Engine"), int(options.engine),
                         QStringLiteral("Die Engine, für die der Satz ist: Sie wählt die Form, die die Engine liest, "
                                        "und das Alpha, das sie mischt; was sie nicht lesen kann (etwa ein "
                                        "msdf-Feld für Godot 4), hält OK aus und sagt warum."));
    QObject::connect(m_engine, &QComboBox::currentIndexChanged, page, changed);
    m_engineChoice = new QLabel(page);
    m_engineChoice->setObjectName(QStringLiteral("EngineChoice"));
    m_engineChoice->setWordWrap(true);
    auto* engineRow = new QHBoxLayout;
    engineRow->addWidget(buddyLabel(page, QStringLiteral("E&ngine:"), m_engine));
    engineRow->addWidget(m_engine, 1);
    auto* frame = new QGroupBox(QStringLiteral("Form der Beschreibung"), page);
    frame->setObjectName(QStringLiteral("FormFrame"));
    auto* choices = new QVBoxLayout(frame);
    for (const DescriptorFormFacts& facts : kDescriptorForms) {
        auto* button = new QRadioButton(
            QStringLiteral("%1 (%2)").arg(QString::fromUtf16(facts.caption), QString::fromUtf16(facts.extension)),
            frame);
        button->setObjectName(QString::fromLatin1(facts.control));
        button->setChecked(facts.value == options.descriptor);
        explain(button, QString::fromUtf16(facts.help));
        QObject::connect(button, &QRadioButton::toggled, page, changed);
        choices->addWidget(button);
        m_forms.emplace_back(facts.value, button);
    }
    auto* note =
        new QLabel(QStringLiteral("Die Beschreibung liegt neben den Seiten und nennt für jedes Zeichen seine "
                                  "Zelle, seinen Versatz und Vorschub, auf Wunsch dazu die Unterschneidungspaare."),
                   page);
    note->setWordWrap(true);
    m_kerning = addSwitch(page, "KerningBox", QStringLiteral("&Unterschneidung (Kerning)"), options.kerning,
                          QStringLiteral("Die Unterschneidungspaare der Schrift (aus ihren Tabellen GPOS oder kern) "
                                         "zwischen den gewählten Zeichen, in ganzen Pixeln; Paare nur innerhalb einer "
                                         "Schrift, nicht zwischen Schrift und Ersatzschrift."));
    QObject::connect(m_kerning, &QCheckBox::toggled, page, changed);
    m_fractional = addSwitch(page, "FractionalBox",
                             QStringLiteral("&Genau: Vorschub und Unterschneidung mit Bruchteil"), options.fractional,
                             QStringLiteral("Nur in JSON: xadvance und die Unterschneidung als Zahlen mit Bruchteil, "
                                            "genau aus den Einheiten der Schrift; Zellen und Versätze bleiben ganz."));
    QObject::connect(m_fractional, &QCheckBox::toggled, page, changed);
    auto* column = new QVBoxLayout(page);
    column->addLayout(engineRow);
    column->addWidget(m_engineChoice);
    column->addWidget(frame);
    column->addWidget(m_kerning);
    column->addWidget(note);
    column->addWidget(m_fractional);
    column->addStretch(1);
    return page;
}

QString DescriptorGroup::problem() const
{
    BmFontOptions shown;
    store(shown);
    return fractionalProblem(shown);
}

void DescriptorGroup::store(BmFontOptions& options) const
{
    for (const auto& [form, button] : m_forms) {
        if (button->isChecked())
            options.descriptor = form;
    }
    options.kerning = m_kerning->isChecked();
    options.fractional = m_fractional->isChecked();
    options.engine = Engine(m_engine->currentData().toInt());
}

void DescriptorGroup::showOptions(const BmFontOptions& options)
{
    // The engine's form shown as chosen; its alpha is told, for it lies on another page.
    const BmFontOptions chosen = withEngineChoices(options);
    const EngineRules* rules = engineRules(options.engine);
    m_engineChoice->setVisible(rules != nullptr);
    if (rules)
        m_engineChoice->setText(
            QStringLiteral("%1 %2. Gewählt: diese Form, %3 Alpha.")
                .arg(QString::fromUtf16(rules->shown), QString::fromUtf16(rules->why),
                     rules->premultiplied ? QStringLiteral("vormultipliziertes") : QStringLiteral("gerades")));
    for (const auto& [form, button] : m_forms) {
        if (rules && form == chosen.descriptor && !button->isChecked())
            button->setChecked(true);
    }
    for (const auto& [form, button] : m_forms) {
        if (!descriptorFormFacts(form).namesField)
            offWithField(button, options.field, button->isChecked());
    }
}

} // namespace glyfrax
