#include "app/DescriptorGroup.h"

#include "app/ControlHelp.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace glyfrax {

namespace {

struct FormChoice
{
    DescriptorForm form;
    const char* name;
    const char16_t* caption;
    const char16_t* help;
};
constexpr FormChoice kForms[] = {
    {DescriptorForm::Text, "TextForm", u"&Text (.fnt)",
     u"Zeilen wie „char id=65 x=0 y=0 …“: die Form, die fast jede Engine liest (libGDX, Godot, Phaser, MonoGame)."},
    {DescriptorForm::Xml, "XmlForm", u"&XML (.fnt)",
     u"Dieselben Angaben als XML, etwa für Cocos und Unity-Erweiterungen."},
    {DescriptorForm::Binary, "BinaryForm", u"B&inär, Version 3 (.fnt)",
     u"Kompakte Binärform mit festen Feldbreiten; Werte, die nicht hineinpassen, werden begrenzt."},
    {DescriptorForm::Json, "JsonForm", u"&JSON (.json)", u"Dieselben Angaben als JSON, für Web-Engines und Skripte."},
};

} // namespace

QString DescriptorGroup::title() const
{
    return QStringLiteral("&Beschreibung");
}

QWidget* DescriptorGroup::buildPage(const BmFontOptions& options, const std::function<void()>& changed)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("DescriptorPage"));
    auto* frame = new QGroupBox(QStringLiteral("Form der Beschreibung"), page);
    frame->setObjectName(QStringLiteral("FormFrame"));
    auto* choices = new QVBoxLayout(frame);
    for (const FormChoice& choice : kForms) {
        auto* button = new QRadioButton(QString::fromUtf16(choice.caption), frame);
        button->setObjectName(QString::fromLatin1(choice.name));
        button->setChecked(choice.form == options.descriptor);
        explain(button, QString::fromUtf16(choice.help));
        QObject::connect(button, &QRadioButton::toggled, page, changed);
        choices->addWidget(button);
        m_forms.emplace_back(choice.form, button);
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
}

void DescriptorGroup::showOptions(const BmFontOptions& options)
{
    for (const auto& [form, button] : m_forms) {
        if (form == DescriptorForm::Binary)
            offWithField(button, options.field, button->isChecked());
    }
}

} // namespace glyfrax
