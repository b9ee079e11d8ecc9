#pragma once

#include "settings/BmFontOptions.h"

#include <QString>

#include <vector>

namespace glyfrax {

// What one engine's loader reads of a BMFont set, from its published source: the forms it parses,
// those in which it also reads a distance field, the fields its shaders draw, and the page forms
// its textures take. A preset chooses the form and the alpha it wants and refuses the rest.
struct EngineRules
{
    Engine engine;
    const char16_t* key;   // "pixi": the value of --engine and of the settings key
    const char16_t* shown; // "pixi.js 8": the name in messages and in the window
    std::vector<DescriptorForm> forms;
    std::vector<DescriptorForm> fieldForms; // forms whose field the loader reads; empty: none
    std::vector<PageField> fields;          // the fields it draws as fields
    DescriptorForm preferred;               // the form a preset chooses when the given one will not do
    std::vector<PageChannels> channels;     // the page channels its textures take
    bool packed = false;                    // it reads packed pages by each character's channel
    bool premultiplied = false;             // the alpha its blending expects
    const char16_t* why;                    // what goes wrong otherwise, for the help and the notes
    bool onePage = false;                   // it takes one texture per font and reads no page=
    bool blankInNames = true;               // it reads a page's file name past a blank
};

// Every engine a preset is known for, in the order the help and the window list them.
const std::vector<EngineRules>& engineTable();

// The rules of an engine; null for Engine::None.
const EngineRules* engineRules(Engine engine);

// The options as the chosen engine wants them: its form where the given one will not do, and
// premultiplied pages where it blends so. Unchanged without an engine.
BmFontOptions withEngineChoices(const BmFontOptions& options);

// Why the chosen engine cannot read a set of this many page images (it reads one), naming the
// engine and the option that gives larger pages in the reader's words; empty when it can.
QString enginePageProblem(const BmFontOptions& options, int pageImages, OptionWords words);

// Why the chosen engine cannot find a page of this file name (it ends a name at a blank), naming
// the engine and the option in the reader's words; empty when it can.
QString enginePageNameProblem(const BmFontOptions& options, const QString& name, OptionWords words);

// When the chosen engine's form replaces the one given: which, and why, in one German note naming
// the options in the reader's words; empty when the form given stays.
QString engineFormNote(const BmFontOptions& given, OptionWords words);

// Why the chosen engine cannot use these options (after its choices), naming the option in the
// reader's words and the engine; empty when it can.
QString engineProblem(const BmFontOptions& options, OptionWords words);

// Without a preset: the known engines that would read this set differently from what it means
// (a field in a form their loader skips it in, a field their shaders do not draw, packed pages
// read whole), in one German note; empty when none would.
QString misreadingEngines(const BmFontOptions& options);

} // namespace glyfrax
