#include "settings/EnginePresets.h"

#include "base/ShownName.h"

#include <algorithm>

namespace glyfrax {

namespace {

template <typename T> bool has(const std::vector<T>& list, T value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

using F = DescriptorForm;
using P = PageField;
using C = PageChannels;

std::vector<EngineRules> makeTable()
{
    // Grey pages have no alpha: loaders that tint by the texture's alpha show them as boxes, so
    // only engines that take one-channel textures as coverage get them.
    return {
        {Engine::Pixi,
         u"pixi",
         u"pixi.js 8",
         {F::Text, F::Xml},
         {F::Xml},
         {P::Sdf, P::Msdf},
         F::Xml,
         {C::Rgba, C::Alpha},
         false,
         false,
         u"liest in der Textform nur Zeilen aus Kleinbuchstaben und überspringt „distanceField“; ein Feld "
         u"liest es nur in XML"},
        {Engine::Phaser,
         u"phaser",
         u"Phaser 3",
         {F::Xml},
         {},
         {},
         F::Xml,
         {C::Rgba, C::Alpha},
         false,
         false,
         u"liest nur die XML-Form und zeichnet keine Distanzfelder",
         true},
        {Engine::Three,
         u"three",
         u"three.js (three-bmfont-text, three-msdf-text-utils)",
         {F::Text, F::Xml, F::Binary, F::Json},
         {F::Text, F::Xml, F::Json},
         {P::Sdf, P::Msdf, P::Mtsdf},
         F::Json,
         {C::Rgba, C::Alpha},
         false,
         false,
         u"liest alle Formen; das Feld zeichnet erst sein Shader"},
        {Engine::Love,
         u"love",
         u"LÖVE 11",
         {F::Text},
         {},
         {},
         F::Text,
         {C::Rgba, C::Alpha},
         false,
         false,
         u"liest nur die Textform und zeichnet die Seiten als Deckung"},
        {Engine::Godot3,
         u"godot3",
         u"Godot 3",
         {F::Text},
         {},
         {},
         F::Text,
         {C::Rgba, C::Alpha},
         false,
         false,
         u"liest nur die Textform und zeichnet die Seiten als Deckung"},
        // Godot 4 takes the unicode flag of the binary form from another bit than the format's
        // writers set (ids above U+00FF become 0), and loads grey pages with alpha not at all.
        {Engine::Godot4,
         u"godot4",
         u"Godot 4",
         {F::Text},
         {},
         {},
         F::Text,
         {C::Rgba, C::Gray},
         true,
         false,
         u"liest in der Binärform das Unicode-Kennzeichen an anderer Stelle (Zeichen über U+00FF gingen "
         u"verloren), nimmt den ersten Kanal, den alphaChnl oder chnl als Glyphe nennen, als Deckung und liest "
         u"„distanceField“ nicht"},
        {Engine::Libgdx,
         u"libgdx",
         u"libGDX",
         {F::Text},
         {F::Text},
         {P::Sdf},
         F::Text,
         {C::Rgba, C::Alpha},
         false,
         false,
         u"liest nur die Textform (mit padding= in der info-Zeile); als Feld nur sdf im Alphakanal",
         false,
         false},
    };
}

QString engineName(const EngineRules& rules)
{
    return QString::fromUtf16(rules.shown);
}

// Why an engine cannot take pages of these channels: %1 the engine, %2 the option, %3 the preset.
QString channelsProblem(PageChannels channels)
{
    struct Refusal
    {
        PageChannels channels;
        const char16_t* text;
    };
    static const Refusal refusals[] = {
        {C::Gray,
         u"%1 färbt Glyphen nach dem Alphakanal; graue Seiten ohne Alpha (%2) zeigte es als Kästen. Wählen Sie RGBA "
         u"oder Grau mit Alpha, oder eine andere Engine bei %3."},
        {C::Alpha,
         u"%1 lädt Seiten aus Grau mit Alpha (%2) nicht: Sein Lader nimmt nur RGBA oder Grau ohne Alpha als Glyphen. "
         u"Wählen Sie RGBA oder Grau, oder eine andere Engine bei %3."},
    };
    for (const Refusal& refusal : refusals)
        if (refusal.channels == channels)
            return QString::fromUtf16(refusal.text);
    return {};
}

} // namespace

const std::vector<EngineRules>& engineTable()
{
    static const std::vector<EngineRules> table = makeTable();
    return table;
}

const EngineRules* engineRules(Engine engine)
{
    const std::vector<EngineRules>& table = engineTable();
    const auto found =
        std::find_if(table.begin(), table.end(), [engine](const EngineRules& r) { return r.engine == engine; });
    return found == table.end() ? nullptr : &*found;
}

BmFontOptions withEngineChoices(const BmFontOptions& options)
{
    const EngineRules* rules = engineRules(options.engine);
    if (!rules)
        return options;
    BmFontOptions chosen = options;
    const bool field = options.field != PageField::None;
    if (!has(rules->forms, options.descriptor) || (field && !has(rules->fieldForms, options.descriptor)))
        chosen.descriptor = rules->preferred;
    chosen.premultiplied = options.premultiplied || rules->premultiplied;
    return chosen;
}

QString engineFormNote(const BmFontOptions& given, OptionWords words)
{
    const BmFontOptions chosen = withEngineChoices(given);
    const EngineRules* rules = engineRules(given.engine);
    if (!rules || chosen.descriptor == given.descriptor)
        return {};
    const BmFontOption& form = bmFontOption(u"Descriptor");
    return QStringLiteral("%1: Die Beschreibung hat die Form %2 statt %3 (%4): %5 %6.")
        .arg(optionWording(u"Engine", words), form.write(chosen), form.write(given),
             optionWording(u"Descriptor", words), engineName(*rules), QString::fromUtf16(rules->why));
}

QString engineProblem(const BmFontOptions& options, OptionWords words)
{
    const EngineRules* rules = engineRules(options.engine);
    if (!rules)
        return {};
    const QString engine = engineName(*rules);
    const QString preset = optionWording(u"Engine", words);
    if (options.field != PageField::None &&
        (!has(rules->fields, options.field) || !has(rules->fieldForms, options.descriptor)))
        return QStringLiteral(
                   "%1 zeichnet dieses Distanzfeld (%2) nicht als Feld: %1 %3. Wählen Sie ein anderes Feld oder "
                   "keines, oder eine andere Engine bei %4.")
            .arg(engine, optionWording(u"Field", words), QString::fromUtf16(rules->why), preset);
    if (options.premultiplied && !rules->premultiplied)
        return QStringLiteral("%1 mischt gerades Alpha; vormultiplizierte Seiten (%2) zeigten dunkle Säume. Schalten "
                              "Sie es aus, oder wählen Sie eine andere Engine bei %3.")
            .arg(engine, optionWording(u"Premultiplied", words), preset);
    if (options.packChannels && !rules->packed)
        return QStringLiteral("%1 liest keine gepackten Seiten (%2): Es zeichnete jede Seite mit allen Kanälen. "
                              "Schalten Sie es aus, oder wählen Sie eine andere Engine bei %3.")
            .arg(engine, optionWording(u"PackChannels", words), preset);
    if (!has(rules->channels, options.channels))
        return channelsProblem(options.channels).arg(engine, optionWording(u"Channels", words), preset);
    return {};
}

QString misreadingEngines(const BmFontOptions& options)
{
    if (options.engine != Engine::None)
        return {};
    QStringList engines;
    for (const EngineRules& rules : engineTable()) {
        if (!has(rules.forms, options.descriptor))
            continue; // it reads nothing of this form: no set it would misread
        const bool fieldMisread = options.field != PageField::None &&
                                  (!has(rules.fieldForms, options.descriptor) || !has(rules.fields, options.field));
        const bool packedMisread = options.packChannels && !rules.packed;
        if (fieldMisread || packedMisread)
            engines.append(QStringLiteral("%1 (%2)").arg(engineName(rules),
                                                         fieldMisread ? QString::fromUtf16(rules.why)
                                                                      : QStringLiteral("zeichnet gepackte Seiten mit "
                                                                                       "allen Kanälen")));
    }
    if (engines.isEmpty())
        return {};
    return QStringLiteral("Diese Engines lesen die Beschreibung, aber nicht, was die Seiten halten: %1. Mit --engine "
                          "wählt Glyfrax, was eine Engine liest.")
        .arg(engines.join(QStringLiteral("; ")));
}

QString enginePageProblem(const BmFontOptions& options, int pageImages, OptionWords words)
{
    const EngineRules* rules = engineRules(options.engine);
    if (!rules || !rules->onePage || pageImages <= 1)
        return {};
    return QStringLiteral("%1 lädt nur eine Textur je Schrift und liest „page=“ nicht; die Zeichen brauchen %2 Seiten. "
                          "Wählen Sie eine größere %3 oder weniger Zeichen.")
        .arg(engineName(*rules))
        .arg(pageImages)
        .arg(optionWording(u"MaxTexture", words));
}

QString enginePageNameProblem(const BmFontOptions& options, const QString& name, OptionWords words)
{
    const EngineRules* rules = engineRules(options.engine);
    if (!rules || rules->blankInNames || !name.contains(u' '))
        return {};
    return QStringLiteral("%1 liest den Namen einer Seite nur bis zum ersten Leerzeichen und fände „%2“ nicht. "
                          "Wählen Sie für die Textur einen Namen ohne Leerzeichen, oder eine andere Engine bei %3.")
        .arg(engineName(*rules), shownName(name), optionWording(u"Engine", words));
}

} // namespace glyfrax
