#pragma once

#include "base/ChoiceTable.h"

#include <QString>

namespace glyfrax {

// The forms of a BMFont descriptor.
enum class DescriptorForm
{
    Text,
    Xml,
    Binary,
    Json
};

// What each form is: the one place a form's name, extension, captions and abilities live. How a
// form is written and read lies beside the export (export/bmfont/forms/), one file per form.
struct DescriptorFormFacts
{
    DescriptorForm value;
    const char16_t* name;      // as the settings file and --descriptor spell it: "text"
    const char16_t* extension; // of the descriptor's file, with the dot: ".fnt"
    const char* control;       // the window's object name of its choice
    const char16_t* caption;   // the window's choice, its extension added in brackets
    const char16_t* help;      // the window's tip on it
    bool namesField;           // has a place that names a distance field
    bool fractions;            // holds advances and kerning with fractions
};

constexpr DescriptorFormFacts kDescriptorForms[] = {
    {DescriptorForm::Text, u"text", u".fnt", "TextForm", u"&Text",
     u"Zeilen wie „char id=65 x=0 y=0 …“: die Form, die fast jede Engine liest (libGDX, Godot, Phaser, MonoGame).",
     true, false},
    {DescriptorForm::Xml, u"xml", u".fnt", "XmlForm", u"&XML",
     u"Dieselben Angaben als XML, etwa für Cocos und Unity-Erweiterungen.", true, false},
    {DescriptorForm::Binary, u"binary", u".fnt", "BinaryForm", u"B&inär, Version 3",
     u"Kompakte Binärform mit festen Feldbreiten; Werte, die nicht hineinpassen, werden begrenzt.", false, false},
    {DescriptorForm::Json, u"json", u".json", "JsonForm", u"&JSON",
     u"Dieselben Angaben als JSON, für Web-Engines und Skripte.", true, true},
};

constexpr bool isDescriptorForm(DescriptorForm form)
{
    switch (form) {
    case DescriptorForm::Text:
    case DescriptorForm::Xml:
    case DescriptorForm::Binary:
    case DescriptorForm::Json:
        return true;
    }
    return false;
}
static_assert(oneRowEach(kDescriptorForms, &isDescriptorForm), "every descriptor form has one row in kDescriptorForms");

constexpr const DescriptorFormFacts& descriptorFormFacts(DescriptorForm form)
{
    return rowOf(kDescriptorForms, form);
}

} // namespace glyfrax
