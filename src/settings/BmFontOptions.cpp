#include "settings/BmFontOptions.h"

#include "base/CharacterName.h"
#include "base/CodePage.h"
#include "base/ShownName.h"
#include "settings/CharacterRanges.h"
#include "settings/ColorValue.h"
#include "settings/Conversions.h"
#include "settings/EnginePresets.h"

#include <algorithm>
#include <bit>
#include <optional>

namespace glyfrax {

namespace {

std::optional<std::int32_t> wholeNumber(const QString& text, std::int32_t lowest, std::int32_t highest)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= lowest && value <= highest ? std::optional<std::int32_t>(value) : std::nullopt;
}

// Pixels of padding and spacing: what the descriptor's bytes hold.
constexpr NumberRange kCellPixels{0, 255};
// A shadow's offset either way and its blur.
constexpr NumberRange kShadowOffset{-kLargestShadowOffset, kLargestShadowOffset};
constexpr NumberRange kShadowBlur{0, kLargestShadowBlur};
// The sides a page may have.
constexpr NumberRange kPageSides{16, 16384, true};

// One number of kCellPixels, or as many as one of the counts allows, separated by commas.
std::optional<std::vector<std::int32_t>> bytesList(const QString& text, std::initializer_list<qsizetype> counts)
{
    const QStringList parts = text.split(u',');
    if (std::find(counts.begin(), counts.end(), parts.size()) == counts.end())
        return std::nullopt;
    std::vector<std::int32_t> values;
    for (const QString& part : parts) {
        const std::optional<std::int32_t> value = wholeNumber(part, kCellPixels.least, kCellPixels.greatest);
        if (!value)
            return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

QString numbersText(std::initializer_list<std::int32_t> values)
{
    QStringList parts;
    for (const std::int32_t value : values)
        parts.append(QString::number(value));
    // All alike: the one number, as the settings file held it before there were several.
    return parts.count(parts.first()) == parts.size() ? parts.first() : parts.join(u',');
}

// An option that is one whole number of range: its reader, its writer and what the window offers,
// all from the one range. expected: what a wrong value is told, when not the range.
BmFontOption numberOption(BmFontOption row, std::int32_t BmFontOptions::*member, NumberRange range,
                          QString expected = {})
{
    if (expected.isEmpty())
        expected = (range.powersOfTwo ? QStringLiteral("erwartet eine Zweierpotenz von %1 bis %2")
                                      : QStringLiteral("erwartet eine ganze Zahl von %1 bis %2"))
                       .arg(range.least)
                       .arg(range.greatest);
    row.read = [member, range, expected](BmFontOptions& options, const QString& text) -> Result<void> {
        const std::optional<std::int32_t> value = wholeNumber(text, range.least, range.greatest);
        if (!value || (range.powersOfTwo && !std::has_single_bit(std::uint32_t(*value))))
            return failure(expected);
        options.*member = *value;
        return {};
    };
    row.write = [member](const BmFontOptions& options) { return QString::number(options.*member); };
    row.numbers = {range};
    return row;
}

// An option that is one of a few named values: its reader, its writer and what the window offers,
// all from the one list of choices.
template <typename E>
BmFontOption choiceOption(BmFontOption row, E BmFontOptions::*member, std::vector<OptionChoice> choices)
{
    QStringList names;
    for (const OptionChoice& choice : choices)
        names.append(choice.name);
    const QString expected = QStringLiteral("erwartet ") + alternatives(names);
    row.read = [member, choices, expected](BmFontOptions& options, const QString& text) -> Result<void> {
        for (const OptionChoice& choice : choices) {
            if (text.trimmed() == choice.name) {
                options.*member = E(choice.value);
                return {};
            }
        }
        return failure(expected);
    };
    row.write = [member, choices](const BmFontOptions& options) {
        for (const OptionChoice& choice : choices) {
            if (choice.value == int(options.*member))
                return choice.name;
        }
        return QString();
    };
    row.choices = std::move(choices);
    return row;
}

Result<void> readFlag(bool& member, const QString& text)
{
    const Result<bool> flag = toFlag(text);
    if (!flag)
        return failure(QStringLiteral("erwartet 0 oder 255 (auch false oder true)"));
    member = *flag;
    return {};
}

// The names of a table's rows, in its order; the default's followed by "(Vorgabe)" when given.
template <typename Row, std::size_t N, typename E> QStringList namesOf(const Row (&rows)[N], std::optional<E> marked)
{
    QStringList names;
    for (const Row& row : rows)
        names.append(QString::fromUtf16(row.name) + (row.value == marked ? QStringLiteral(" (Vorgabe)") : QString()));
    return names;
}

// "png (Vorgabe) oder bmp"
template <typename Row, std::size_t N, typename E> QString namesWithDefault(const Row (&rows)[N], E value)
{
    return alternatives(namesOf(rows, std::optional<E>(value)));
}

// Sets member to the value of the row named text; a name no row has is refused with the names there are.
template <typename Row, std::size_t N, typename E>
Result<void> readName(E& member, const QString& text, const Row (&rows)[N])
{
    for (const Row& row : rows) {
        if (text.trimmed() == QStringView(row.name)) {
            member = row.value;
            return {};
        }
    }
    return failure(QStringLiteral("erwartet ") + alternatives(namesOf(rows, std::optional<E>())));
}

template <typename Row, std::size_t N, typename E> QString nameOf(E value, const Row (&rows)[N])
{
    for (const Row& row : rows) {
        if (row.value == value)
            return QString::fromUtf16(row.name);
    }
    return {};
}

Result<void> readColor(QRgb& member, const QString& text)
{
    const std::optional<QRgb> color = colorWithAlphaFromText(text);
    if (!color)
        return failure(QStringLiteral("erwartet #RGB, #RRGGBB, #RRGGBBAA oder einen Farbwert wie in config.ini"));
    member = *color;
    return {};
}

// "DX,DY" or "DX,DY,BLUR"; "none" (or nothing) for no shadow.
Result<void> readShadow(std::optional<GlyphShadow>& member, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == u"none") {
        member.reset();
        return {};
    }
    const QStringList parts = trimmed.split(u',');
    std::vector<std::int32_t> values;
    for (qsizetype i = 0; i < parts.size() && parts.size() <= 3; ++i) {
        const std::optional<std::int32_t> value =
            i < 2 ? wholeNumber(parts[i], kShadowOffset.least, kShadowOffset.greatest)
                  : wholeNumber(parts[i], kShadowBlur.least, kShadowBlur.greatest);
        if (value)
            values.push_back(*value);
    }
    if (values.size() < 2 || values.size() != std::size_t(parts.size()))
        return failure(QStringLiteral("erwartet none oder DX,DY[,UNSCHÄRFE]: Versatz je -%1 bis %1, Unschärfe 0 bis %2")
                           .arg(kLargestShadowOffset)
                           .arg(kLargestShadowBlur));
    member = GlyphShadow{values[0], values[1], values.size() > 2 ? values[2] : 0};
    return {};
}

QString shadowText(const std::optional<GlyphShadow>& shadow)
{
    if (!shadow)
        return QStringLiteral("none");
    const QString offset = QStringLiteral("%1,%2").arg(shadow->dx).arg(shadow->dy);
    return shadow->blur == 0 ? offset : offset + QStringLiteral(",%1").arg(shadow->blur);
}

// "none" (or nothing), "notdef", one character that is no digit, or a character's value as --chars
// takes it.
Result<void> readMissingGlyph(MissingGlyph& member, const QString& text)
{
    const QString trimmed = text.trimmed();
    const QList<uint> own = trimmed.toUcs4();
    if (trimmed.isEmpty() || trimmed == u"none" || trimmed == u"notdef") {
        member = {trimmed == u"notdef", 0};
        return {};
    }
    if (own.size() == 1 && !QChar::isDigit(own[0])) {
        member = {false, char32_t(own[0])};
        return {};
    }
    const Result<std::vector<char32_t>> listed = parseCharacterRanges(trimmed);
    if (!listed || listed->size() != 1 || trimmed.contains(u','))
        return failure(QStringLiteral("erwartet none, notdef, ein Zeichen oder seinen Wert wie 0xFFFD oder U+25A1"));
    member = {false, listed->front()};
    return {};
}

QString missingGlyphText(const MissingGlyph& glyph)
{
    if (!glyph.wanted())
        return QStringLiteral("none");
    return glyph.notdef ? QStringLiteral("notdef") : codePointText(glyph.character);
}

QString fieldName(PageField field)
{
    return nameOf(field, kPageFields);
}

// "… sdf (ein Abstand in allen Kanälen), msdf (…) oder mtsdf (…); immer PNG (Vorgabe: none, die Deckung)."
QString fieldHelp()
{
    const PageFieldFacts& none = pageFieldFacts(BmFontOptions().field);
    QStringList fields;
    for (const PageFieldFacts& facts : kPageFields) {
        if (facts.value != none.value)
            fields.append(
                QStringLiteral("%1 (%2)").arg(QString::fromUtf16(facts.name), QString::fromUtf16(facts.help)));
    }
    return QStringLiteral("Die Seiten halten statt der Deckung ein Distanzfeld aus dem Umriss jeder Glyphe, das eine "
                          "Engine in jeder Größe scharf zeichnet: %1; immer %2 (Vorgabe: %3, %4).")
        .arg(alternatives(fields), alternatives(pageImagesWithAlpha()), QString::fromUtf16(none.name),
             QString::fromUtf16(none.help));
}

// An empty value reads as the first choice, any engine.
BmFontOption anyEngineWhenEmpty(BmFontOption row)
{
    row.read = [choose = row.read](BmFontOptions& options, const QString& text) {
        return choose(options, text.trimmed().isEmpty() ? QStringLiteral("none") : text);
    };
    return row;
}

// Any engine, then those of the engine table.
std::vector<OptionChoice> engineChoices()
{
    std::vector<OptionChoice> choices{
        {int(Engine::None), QStringLiteral("none"), QStringLiteral("Jede, ohne Vorgabe")}};
    for (const EngineRules& rules : engineTable())
        choices.push_back({int(rules.engine), QString::fromUtf16(rules.key), QString::fromUtf16(rules.shown)});
    return choices;
}

QString engineHelp()
{
    QStringList engines;
    for (const EngineRules& rules : engineTable())
        engines.append(QStringLiteral("%1 (%2)").arg(QString::fromUtf16(rules.key), QString::fromUtf16(rules.shown)));
    return QStringLiteral(
               "Die Engine, für die der Satz ist: Sie wählt die Form der Beschreibung, die die Engine liest, "
               "und das Alpha, das sie mischt, und weist ab, was sie nicht lesen kann (etwa ein msdf-Feld "
               "für Godot 4): %1 (Vorgabe: none, für jede).")
        .arg(engines.join(QStringLiteral(", ")));
}

std::vector<BmFontOption> makeTable()
{
    using O = BmFontOptions;
    return {
        {QStringLiteral("Chars"),
         QStringLiteral("chars"),
         QStringLiteral("LISTE"),
         {},
         QStringLiteral("Zeichen als Unicode-Werte und Bereiche, etwa 32-126,160-255,0x20AC; mehrmals angegeben "
                        "zählen alle (Vorgabe: die Zeichen 32 bis 255 der Codepage)."),
         [](const QStringList& values) { return values.join(u','); },
         [](O& o, const QString& text) -> Result<void> {
             if (!text.trimmed().isEmpty()) {
                 const Result<std::vector<char32_t>> list = parseCharacterRanges(text);
                 if (!list)
                     return failure(list.error());
                 if (list->empty()) // surrogates only: no character at all
                     return failure(QStringLiteral("Die Liste nennt kein Zeichen."));
             }
             o.chars = text.trimmed();
             return {};
         },
         [](const O& o) { return o.chars; }},
        {QStringLiteral("CharsFile"),
         QStringLiteral("chars-file"),
         QStringLiteral("DATEI"),
         {},
         QStringLiteral("Alle Zeichen einer UTF-8-Textdatei (Vorgabe: keine)."),
         nullptr,
         [](O& o, const QString& text) -> Result<void> {
             o.charsFile = text.trimmed();
             return {};
         },
         [](const O& o) { return o.charsFile; }},
        {QStringLiteral("CodePage"),
         QStringLiteral("codepage"),
         QStringLiteral("N"),
         {},
         QStringLiteral("Die Zeichen der Codes 32 bis 255 einer Windows-Codepage (etwa 1250, 1251, 1253); gilt auch "
                        "für classic (Vorgabe: 1252)."),
         nullptr,
         [](O& o, const QString& text) -> Result<void> {
             const std::optional<std::int32_t> number = wholeNumber(text, 0, 65535);
             if (!number)
                 return failure(QStringLiteral("erwartet die Nummer einer Windows-Codepage, etwa 1250"));
             if (*number != 0) {
                 if (const Result<CodePage> page = CodePage::windows(*number); !page)
                     return failure(page.error());
             }
             o.codePage = *number;
             return {};
         },
         [](const O& o) { return QString::number(o.codePage); }},
        {QStringLiteral("Fallback"),
         QStringLiteral("fallback"),
         QStringLiteral("SCHRIFT"),
         {},
         QStringLiteral("Ersatzschrift für die Zeichen, die der Schrift fehlen: Name einer installierten Schrift oder "
                        "Pfad einer Schriftdatei (PFAD#N: die N-te Schrift einer Sammlung, ab 0); mehrmals angegeben "
                        "gilt die erste, die das Zeichen hat (Vorgabe: keine)."),
         [](const QStringList& values) { return joinFontList(values); },
         [](O& o, const QString& text) -> Result<void> {
             o.fallbacks = splitFontList(text);
             return {};
         },
         [](const O& o) { return joinFontList(o.fallbacks); }},
        {QStringLiteral("Instance"),
         QStringLiteral("instance"),
         QStringLiteral("NAME"),
         {},
         QStringLiteral("Eine benannte Instanz der variablen Schrift aus --font-file, etwa „Bold Condensed“ "
                        "(Liste: --list-fonts --axes DATEI); --axis setzt Achsen darüber (Vorgabe: keine, die "
                        "Vorgabewerte der Schrift)."),
         nullptr,
         [](O& o, const QString& text) -> Result<void> {
             o.variation.instance = text.trimmed();
             return {};
         },
         [](const O& o) { return o.variation.instance; }},
        {QStringLiteral("Axes"),
         QStringLiteral("axis"),
         QStringLiteral("ACHSE=WERT"),
         {},
         QStringLiteral("Eine Achse der variablen Schrift aus --font-file auf einen Wert in ihrem Bereich setzen, "
                        "etwa wght=700; mehrmals angegeben gelten alle, in den Einstellungen durch Kommas getrennt "
                        "(Vorgabe: die Vorgabewerte der Schrift oder der Instanz)."),
         [](const QStringList& values) { return values.join(u','); },
         [](O& o, const QString& text) -> Result<void> {
             Result<std::vector<AxisValue>> axes = parseAxisValues(text);
             if (!axes)
                 return failure(axes.error());
             o.variation.axes = std::move(*axes);
             return {};
         },
         [](const O& o) { return axisValuesText(o.variation.axes); }},
        {QStringLiteral("MissingGlyph"),
         QStringLiteral("missing-glyph"),
         QStringLiteral("ZEICHEN|notdef"),
         {},
         QStringLiteral("Eine Zelle für Zeichen, die keine Schrift hat, in der Beschreibung als Zeichen -1 (in JSON "
                        "ein Eintrag mit \"id\": -1), wie BMFont sein „invalid char glyph“ schreibt: notdef die "
                        "Glyphe, die die Schrift dafür hat (meist ein Kasten), oder die Glyphe eines Zeichens, "
                        "selbst geschrieben (?) oder als Wert wie bei --chars (0xFFFD, U+25A1) (Vorgabe: none, "
                        "keine)."),
         nullptr,
         [](O& o, const QString& text) { return readMissingGlyph(o.missingGlyph, text); },
         [](const O& o) { return missingGlyphText(o.missingGlyph); }},
        {QStringLiteral("Images"),
         QStringLiteral("image"),
         QStringLiteral("ZEICHEN=DATEI[@X,Y,VORSCHUB]"),
         {},
         QStringLiteral("Ein Bild als Zeichen, etwa U+E000=icons/play.png: PNG, JPEG, BMP oder SVG (in der Höhe eines "
                        "Gevierts), in einer Zelle wie eine Glyphe; @X,Y,VORSCHUB gibt die linke obere Ecke vom "
                        "Stift und vom oberen Rand der Zeile aus und den Vorschub in Pixeln, jede Zahl darf fehlen "
                        "(Vorgabe: am Stift, die Unterkante auf der Unterkante der Zeile, Vorschub die Breite des "
                        "Bildes); mehrmals angegeben, mehrere Bilder. Mit --color-glyphs in seinen Farben, sonst "
                        "seine Deckung wie eine Glyphe (Vorgabe: keine)."),
         [](const QStringList& values) { return joinFontList(values); },
         [](O& o, const QString& text) -> Result<void> {
             std::vector<ImageGlyph> images;
             for (const QString& entry : splitFontList(text)) {
                 Result<ImageGlyph> image = readImageGlyph(entry);
                 if (!image)
                     return failure(image.error());
                 images.push_back(std::move(*image));
             }
             o.images = std::move(images);
             return {};
         },
         [](const O& o) {
             QStringList entries;
             for (const ImageGlyph& image : o.images)
                 entries.append(imageGlyphText(image));
             return joinFontList(entries);
         }},
        {QStringLiteral("ImageFolder"),
         QStringLiteral("images"),
         QStringLiteral("ORDNER"),
         {},
         QStringLiteral("Jedes Bild eines Ordners als Zeichen, benannt nach dem Zeichen: E000.png oder U+E000.svg; "
                        "andere Dateien bleiben außer Acht, ein mit --image genanntes Zeichen geht vor (Vorgabe: "
                        "keiner)."),
         nullptr,
         [](O& o, const QString& text) -> Result<void> {
             o.imageFolder = text.trimmed();
             return {};
         },
         [](const O& o) { return o.imageFolder; }},
        {QStringLiteral("ColorGlyphs"),
         QStringLiteral("color-glyphs"),
         {},
         QStringLiteral("no-color-glyphs"),
         QStringLiteral("Farbglyphen der Schriften (Emoji: Ebenen aus COLR/CPAL, Bilder aus CBDT oder sbix) und die "
                        "Bilder in ihren Farben auf Seiten mit Farbe; nicht mit einem Distanzfeld, gepackten oder "
                        "grauen Seiten (Vorgabe: nur ihre Deckung, --no-color-glyphs)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.colorGlyphs, text); },
         [](const O& o) { return flagText(o.colorGlyphs); }},
        numberOption(
            {QStringLiteral("Pixels"),
             QStringLiteral("pixels"),
             QStringLiteral("N"),
             {},
             QStringLiteral("Schriftgröße in Pixeln je Geviert, wie BMFont sie als size nennt, statt --size in Punkt "
                            "(0 bis %1; 0, die Vorgabe: die Größe in Punkt aus den Einstellungen).")
                 .arg(kMaxPixels),
             nullptr},
            &O::pixels, {0, kMaxPixels}),
        numberOption({QStringLiteral("LineHeight"),
                      QStringLiteral("line-height"),
                      QStringLiteral("N"),
                      {},
                      QStringLiteral(
                          "Die Größe so gewählt, dass die Zeile (lineHeight der Beschreibung) N Pixel hoch ist, statt "
                          "--size oder --pixels: die größte ganze Zahl von Pixeln je Geviert, deren Zeile nicht höher "
                          "ist (1 bis %1; Vorgabe 0: nicht).")
                          .arg(kMaxHeight),
                      nullptr},
                     &O::lineHeight, {0, kMaxHeight}),
        numberOption(
            {QStringLiteral("CapHeight"),
             QStringLiteral("cap-height"),
             QStringLiteral("N"),
             {},
             QStringLiteral("Die Größe so gewählt, dass die Großbuchstaben (die Versalhöhe der Schrift) N Pixel hoch "
                            "sind, statt --size oder --pixels: die größte ganze Zahl von Pixeln je Geviert, deren "
                            "Versalhöhe nicht höher ist (1 bis %1; Vorgabe 0: nicht).")
                 .arg(kMaxHeight),
             nullptr},
            &O::capHeight, {0, kMaxHeight}),
        {QStringLiteral("Padding"),
         QStringLiteral("padding"),
         QStringLiteral("N|O,R,U,L"),
         {},
         QStringLiteral("Rand um jedes Zeichen in seiner Zelle in Pixeln, einer für alle Seiten oder vier: oben, "
                        "rechts, unten, links (je 0 bis 255, Vorgabe 1)."),
         nullptr,
         [](O& o, const QString& text) -> Result<void> {
             const std::optional<std::vector<std::int32_t>> v = bytesList(text, {1, 4});
             if (!v)
                 return failure(QStringLiteral("erwartet eine oder vier ganze Zahlen von 0 bis 255, durch Kommas "
                                               "getrennt"));
             o.padding = v->size() == 1 ? CellPadding{(*v)[0], (*v)[0], (*v)[0], (*v)[0]}
                                        : CellPadding{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
             return {};
         },
         [](const O& o) {
             return numbersText({o.padding.up, o.padding.right, o.padding.down, o.padding.left});
         },
         {kCellPixels, kCellPixels, kCellPixels, kCellPixels}},
        {QStringLiteral("Spacing"),
         QStringLiteral("spacing"),
         QStringLiteral("N|H,V"),
         {},
         QStringLiteral("Abstand zwischen den Zellen in Pixeln, einer oder zwei: waagrecht, senkrecht (je 0 bis 255, "
                        "Vorgabe 1)."),
         nullptr,
         [](O& o, const QString& text) -> Result<void> {
             const std::optional<std::vector<std::int32_t>> v = bytesList(text, {1, 2});
             if (!v)
                 return failure(QStringLiteral("erwartet eine oder zwei ganze Zahlen von 0 bis 255, durch Kommas "
                                               "getrennt"));
             o.spacing = {v->front(), v->back()};
             return {};
         },
         [](const O& o) {
             return numbersText({o.spacing.horizontal, o.spacing.vertical});
         },
         {kCellPixels, kCellPixels}},
        numberOption({QStringLiteral("MaxTexture"),
                      QStringLiteral("max-texture"),
                      QStringLiteral("N"),
                      {},
                      QStringLiteral("Größte Seitenlänge einer Texturseite, eine Zweierpotenz von %1 bis %2 "
                                     "(Vorgabe 4096); mehr Zeichen kommen auf weitere Seiten.")
                          .arg(kPageSides.least)
                          .arg(kPageSides.greatest),
                      nullptr},
                     &O::maxTexture, kPageSides),
        {QStringLiteral("NonSquare"),
         QStringLiteral("non-square"),
         {},
         QStringLiteral("square"),
         QStringLiteral("Die Seiten dürfen Rechtecke sein, Seiten weiter Zweierpotenzen (Vorgabe: quadratisch, "
                        "--square)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.nonSquare, text); },
         [](const O& o) { return flagText(o.nonSquare); }},
        {QStringLiteral("Crop"),
         QStringLiteral("crop"),
         {},
         QStringLiteral("no-crop"),
         QStringLiteral("Eine einzige Seite endet nach der letzten belegten Zeile und Spalte, auf ein Vielfaches von 4 "
                        "aufgerundet; mehrere Seiten bleiben gleich groß, wie scaleW und scaleH sie nennen (Vorgabe: "
                        "Seiten als Zweierpotenzen, --no-crop)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.crop, text); },
         [](const O& o) { return flagText(o.crop); }},
        {QStringLiteral("KeepLayout"),
         QStringLiteral("keep-layout"),
         {},
         QStringLiteral("repack"),
         QStringLiteral("Jedes Zeichen, das der frühere Satz daneben schon hatte, bleibt in seiner Zelle (dieselbe "
                        "Seite, dieselbe Stelle), solange Schrift und Größe gleich sind; nur neue Zeichen kommen in "
                        "freien Platz, auf eine neue Seite, wenn nötig, und ein entferntes Zeichen gibt seine Zelle "
                        "frei. So ändern sich die Seiten nur, wo sich etwas ändert (Vorgabe: alles neu packen, "
                        "--repack)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.keepLayout, text); },
         [](const O& o) { return flagText(o.keepLayout); }},
        {QStringLiteral("Grid"),
         QStringLiteral("grid"),
         {},
         QStringLiteral("no-grid"),
         QStringLiteral("Alle Zellen gleich groß, so groß wie die größte, in Zeilen und Spalten nach den "
                        "Zeichencodes geordnet und jede Glyphe am selben Ursprung: Die Stelle einer Zelle folgt "
                        "aus ihrer Nummer. In der Beschreibung haben alle Zeichen dieselben width, height, xoffset "
                        "und yoffset, xadvance bleibt das der Glyphe; auch Zeichen ohne Tinte bekommen eine Zelle "
                        "(Vorgabe: dicht gepackt, --no-grid)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.grid, text); },
         [](const O& o) { return flagText(o.grid); }},
        {QStringLiteral("EqualHeight"),
         QStringLiteral("equal-height"),
         {},
         QStringLiteral("no-equal-height"),
         QStringLiteral("Jede Zelle so hoch wie die Zeile (lineHeight; höher, wenn eine Glyphe über die Zeile "
                        "hinausreicht), die Glyphe an der Grundlinie: In der Beschreibung haben alle Zeichen mit "
                        "Tinte dieselben height und yoffset (Vorgabe: jede Zelle so hoch wie ihre Tinte, "
                        "--no-equal-height)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.equalHeight, text); },
         [](const O& o) { return flagText(o.equalHeight); }},
        {QStringLiteral("ZeroOffsets"),
         QStringLiteral("zero-offsets"),
         {},
         QStringLiteral("no-zero-offsets"),
         QStringLiteral("Jede Zelle beginnt an der Stiftposition und am oberen Rand der Zeile, so dass xoffset und "
                        "yoffset in der Beschreibung 0 sind; Tinte links vom Stift oder über der Zeile wird "
                        "abgeschnitten (--verbose nennt die Zeichen). Wie „Force offsets to zero“ in BMFont "
                        "(Vorgabe: Versätze wie die Tinte, --no-zero-offsets)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.zeroOffsets, text); },
         [](const O& o) { return flagText(o.zeroOffsets); }},
        {QStringLiteral("Kerning"),
         QStringLiteral("kerning"),
         {},
         QStringLiteral("no-kerning"),
         QStringLiteral("Die Unterschneidungspaare der Schrift in die Beschreibung (Vorgabe; --no-kerning: keine)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.kerning, text); },
         [](const O& o) { return flagText(o.kerning); }},
        {QStringLiteral("Monochrome"),
         QStringLiteral("monochrome"),
         {},
         QStringLiteral("antialias"),
         QStringLiteral("Zeichen ohne Kantenglättung, nur ganz gedeckte oder leere Pixel, für Pixelschriften "
                        "(Vorgabe: geglättet, --antialias)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.monochrome, text); },
         [](const O& o) { return flagText(o.monochrome); }},
        choiceOption(
            {QStringLiteral("Hinting"),
             QStringLiteral("hinting"),
             QStringLiteral("MODUS"),
             {},
             QStringLiteral("Die Umrisse vor dem Zeichnen ans Pixelraster angepasst: none, wie entworfen (Vorgabe); "
                            "light, nur senkrecht, die Formen bleiben; full, wie die Hinweise der Schrift es sagen, am "
                            "schärfsten bei kleinen Größen. Breiten und Zeilenhöhe folgen mit. Distanzfelder entstehen "
                            "aus den Umrissen wie entworfen."),
             nullptr},
            &O::hinting,
            {{int(Hinting::None), QStringLiteral("none"), QStringLiteral("Keine, wie entworfen")},
             {int(Hinting::Light), QStringLiteral("light"), QStringLiteral("Leicht, nur senkrecht")},
             {int(Hinting::Full), QStringLiteral("full"), QStringLiteral("Voll, nach den Hinweisen der Schrift")}}),
        numberOption(
            {QStringLiteral("Supersample"),
             QStringLiteral("supersample"),
             QStringLiteral("N"),
             {},
             QStringLiteral(
                 "Jede Glyphe N-mal so groß gezeichnet und auf ihre Größe verkleinert, je N×N Pixel gemittelt: "
                 "glattere Kanten bei kleinen Größen, auch für Umriss und Schatten; 1 (Vorgabe), 2 oder 4. "
                 "Distanzfelder rechnen ohnehin mit den genauen Umrissen; monochrome Zeichen haben keine "
                 "Zwischenstufen."),
             nullptr},
            &O::supersample, {1, kLargestSupersample, true}, QStringLiteral("erwartet 1, 2 oder 4")),
        {QStringLiteral("Descriptor"),
         QStringLiteral("descriptor"),
         QStringLiteral("FORM"),
         {},
         QStringLiteral("Form der BMFont-Beschreibung: %1.").arg(namesWithDefault(kDescriptorForms, O().descriptor)),
         nullptr,
         [](O& o, const QString& text) { return readName(o.descriptor, text, kDescriptorForms); },
         [](const O& o) { return nameOf(o.descriptor, kDescriptorForms); }},
        anyEngineWhenEmpty(choiceOption(
            {QStringLiteral("Engine"), QStringLiteral("engine"), QStringLiteral("ENGINE"), {}, engineHelp(), nullptr},
            &O::engine, engineChoices())),
        {QStringLiteral("Fractional"),
         QStringLiteral("fractional"),
         {},
         QStringLiteral("whole"),
         QStringLiteral("Nur mit --descriptor json: xadvance und die Unterschneidung als Zahlen mit Bruchteil, genau "
                        "aus den Einheiten der Schrift bei ihrer Größe, damit sich die Rundung über eine Zeile nicht "
                        "aufsummiert; Zellen und Versätze bleiben ganz, denn die Glyphen stehen auf ganzen Pixeln "
                        "(Vorgabe: ganze Pixel, --whole)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.fractional, text); },
         [](const O& o) { return flagText(o.fractional); }},
        {QStringLiteral("Image"),
         {},
         QStringLiteral("FORM"),
         {},
         QStringLiteral("Das Seitenformat, das das Fenster beim Export vorschlägt und in der Texturansicht zeigt: "
                        "%1. Auf der Befehlszeile entscheidet die Endung des Namens.")
             .arg(namesWithDefault(kPageImages, O().image)),
         nullptr,
         [](O& o, const QString& text) { return readName(o.image, text, kPageImages); },
         [](const O& o) { return nameOf(o.image, kPageImages); }},
        {QStringLiteral("Opaque"),
         QStringLiteral("opaque"),
         {},
         QStringLiteral("alpha"),
         QStringLiteral("Deckende Seiten in Schrift- und Hintergrundfarbe der Einstellungen (Vorgabe: PNG-Seiten weiß "
                        "mit der Deckung im Alphakanal, --alpha; --color oder --backcolor machen die Seiten ebenfalls "
                        "deckend)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.opaque, text); },
         [](const O& o) { return flagText(o.opaque); }},
        choiceOption({QStringLiteral("Channels"),
                      QStringLiteral("channels"),
                      QStringLiteral("FORM"),
                      {},
                      QStringLiteral(
                          "Die Kanäle der PNG-Seiten: rgba (Vorgabe); gray, ein Grauwert je Pixel, die Glyphe weiß auf "
                          "Schwarz (ein Viertel der Bytes); alpha, Grau mit Alpha, weiß mit der Glyphe im Alphakanal "
                          "(die Hälfte). Für Glyphen und sdf-Felder ohne Farben und Effekte."),
                      nullptr},
                     &O::channels,
                     {{int(PageChannels::Rgba), QStringLiteral("rgba"), QStringLiteral("RGBA, 32 Bit")},
                      {int(PageChannels::Gray), QStringLiteral("gray"), QStringLiteral("Grau, 8 Bit")},
                      {int(PageChannels::Alpha), QStringLiteral("alpha"), QStringLiteral("Grau mit Alpha, 16 Bit")}}),
        {QStringLiteral("Premultiplied"),
         QStringLiteral("premultiplied"),
         {},
         QStringLiteral("straight"),
         QStringLiteral("Farben mit ihrem Alpha multipliziert (vormultipliziert), wie Engines sie wollen, die so "
                        "mischen: ohne dunkle Säume und helle Kästen; Effekte eingeschlossen (Vorgabe: gerade, "
                        "--straight)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.premultiplied, text); },
         [](const O& o) { return flagText(o.premultiplied); }},
        {QStringLiteral("PackChannels"),
         QStringLiteral("pack-channels"),
         {},
         {},
         QStringLiteral("Vier Seiten in einer: jeder Kanal (blau, grün, rot, alpha) hält Zellen eigener Zeichen, "
                        "packed=1 und chnl jedes Zeichens sagen welchen; ein Viertel der Seiten. Für Glyphen und "
                        "sdf-Felder ohne Farben und Effekte (Vorgabe: aus)."),
         nullptr,
         [](O& o, const QString& text) { return readFlag(o.packChannels, text); },
         [](const O& o) { return flagText(o.packChannels); }},
        {QStringLiteral("Field"),
         QStringLiteral("field"),
         QStringLiteral("ART"),
         {},
         fieldHelp(),
         nullptr,
         [](O& o, const QString& text) { return readName(o.field, text, kPageFields); },
         [](const O& o) { return fieldName(o.field); }},
        numberOption(
            {QStringLiteral("DistanceRange"),
             QStringLiteral("distance-range"),
             QStringLiteral("N"),
             {},
             QStringLiteral(
                 "Breite in Pixeln, über die ein Distanzfeld vom dunkelsten zum hellsten Wert geht; der Umriss "
                 "liegt bei 128 von 255 (1 bis %1, Vorgabe 4).")
                 .arg(kLargestDistanceRange),
             nullptr},
            &O::distanceRange, {1, kLargestDistanceRange}),
        numberOption({QStringLiteral("Outline"),
                      QStringLiteral("outline"),
                      QStringLiteral("N"),
                      {},
                      QStringLiteral(
                          "Ein Umriss von N Pixeln um jede Glyphe, unter ihrer eigenen Farbe; nicht mit --field (0 bis "
                          "%1, Vorgabe 0: keiner).")
                          .arg(kLargestOutline),
                      nullptr},
                     &O::outline, {0, kLargestOutline}),
        {QStringLiteral("OutlineColor"),
         QStringLiteral("outline-color"),
         QStringLiteral("FARBE"),
         {},
         QStringLiteral("Farbe des Umrisses: #RGB, #RRGGBB, #RRGGBBAA (AA: Deckkraft) oder ein Farbwert wie in "
                        "config.ini (Vorgabe #000000, schwarz)."),
         nullptr,
         [](O& o, const QString& text) { return readColor(o.outlineColor, text); },
         [](const O& o) { return colorWithAlphaText(o.outlineColor); }},
        {QStringLiteral("Shadow"),
         QStringLiteral("shadow"),
         QStringLiteral("DX,DY[,UNSCHÄRFE]"),
         {},
         QStringLiteral(
             "Ein Schatten unter jeder Glyphe und ihrem Umriss, um DX, DY Pixel versetzt (je -%1 bis %1) und "
             "über UNSCHÄRFE Pixel verwischt (0 bis %2); nicht mit --field (Vorgabe none: keiner).")
             .arg(kLargestShadowOffset)
             .arg(kLargestShadowBlur),
         nullptr,
         [](O& o, const QString& text) { return readShadow(o.shadow, text); },
         [](const O& o) { return shadowText(o.shadow); },
         {kShadowOffset, kShadowOffset, kShadowBlur}},
        {QStringLiteral("ShadowColor"),
         QStringLiteral("shadow-color"),
         QStringLiteral("FARBE"),
         {},
         QStringLiteral("Farbe des Schattens wie bei --outline-color (Vorgabe #00000080, schwarz mit halber "
                        "Deckkraft)."),
         nullptr,
         [](O& o, const QString& text) { return readColor(o.shadowColor, text); },
         [](const O& o) { return colorWithAlphaText(o.shadowColor); }},
    };
}

} // namespace

QString joinFontList(const QStringList& fonts)
{
    QStringList escaped;
    for (const QString& font : fonts)
        escaped.append(QString(font).replace(u'|', QStringLiteral("\\|")));
    return escaped.join(u'|');
}

QStringList splitFontList(const QString& text)
{
    QStringList fonts{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'|')
            fonts.last() += text[++i];
        else if (text[i] == u'|')
            fonts.append(QString());
        else
            fonts.last() += text[i];
    }
    QStringList named;
    for (const QString& font : fonts) {
        if (!font.trimmed().isEmpty())
            named.append(font.trimmed());
    }
    return named;
}

namespace {

// The window's name of an option: its control's caption and the page of the settings dialog that
// holds it, as the user reads them there.
struct WindowName
{
    const char16_t* key;
    const char16_t* control;
    const char16_t* page;
};
constexpr WindowName kWindowNames[] = {
    {u"Field", u"Feld", u"Distanzfeld und Effekte"},
    {u"Outline", u"Umriss", u"Distanzfeld und Effekte"},
    {u"Shadow", u"Schatten", u"Distanzfeld und Effekte"},
    {u"Image", u"Bildformat", u"Seiten"},
    {u"Opaque", u"Deckend, in Schrift- und Hintergrundfarbe", u"Seiten"},
    {u"MaxTexture", u"Größte Seite", u"Seiten"},
    {u"Descriptor", u"Form der Beschreibung", u"Beschreibung"},
    {u"Engine", u"Engine", u"Beschreibung"},
    {u"Monochrome", u"Monochrom, ohne Kantenglättung", u"Schriften"},
    {u"Supersample", u"Überabtastung", u"Schriften"},
    {u"Channels", u"Kanäle", u"Seiten"},
    {u"Premultiplied", u"Vormultipliziertes Alpha", u"Seiten"},
    {u"PackChannels", u"Vier Seiten je Bild, ein Kanal je Seite (gepackt)", u"Seiten"},
    {u"Images", u"Bilder als Zeichen", u"Icons"},
    {u"ImageFolder", u"Ordner mit Bildern", u"Icons"},
    {u"ColorGlyphs", u"In Farbe: Farbglyphen der Schriften und Bilder", u"Icons"},
};

QString fieldWording(PageField field, OptionWords words)
{
    if (words == OptionWords::CommandLine)
        return QStringLiteral("--field ") + fieldName(field);
    return QStringLiteral("„Feld“: %1 auf der Seite „Distanzfeld und Effekte“").arg(fieldName(field).toUpper());
}

// A page form that is not the plain RGBA one, as the reader knows it.
QString formWording(const BmFontOptions& options, OptionWords words)
{
    if (options.packChannels)
        return optionWording(u"PackChannels", words);
    if (words == OptionWords::CommandLine)
        return QStringLiteral("--channels ") + bmFontOption(u"Channels").write(options);
    return QStringLiteral("„Kanäle“: %1 auf der Seite „Seiten“")
        .arg(options.channels == PageChannels::Gray ? QStringLiteral("Grau") : QStringLiteral("Grau mit Alpha"));
}

// Why the page form the options ask for (fewer channels, packed channels, premultiplied colours)
// cannot hold the pages; empty when it can.
QString pageFormProblem(const BmFontOptions& options, PageImage pages, bool coloursGiven, OptionWords words)
{
    const PageImageFacts& image = pageImageFacts(pages);
    const bool fewerChannels = options.channels != PageChannels::Rgba || options.packChannels;
    const QString form = formWording(options, words);
    const QString premultiplied = optionWording(u"Premultiplied", words);
    if ((fewerChannels || options.premultiplied) && !image.alpha)
        return QStringLiteral("%1 gibt es nur für %2-Seiten; eine %3-Seite hat immer drei Farbkanäle und kein Alpha.")
            .arg(fewerChannels ? form : premultiplied, alternatives(pageImagesWithAlpha()),
                 QString::fromUtf16(image.name).toUpper());
    if (fewerChannels && pageFieldFacts(options.field).severalDistances) {
        QStringList withAlpha; // the fields with a distance in alpha too
        for (const PageFieldFacts& facts : kPageFields) {
            if (facts.severalDistances && !facts.alphaIsOne)
                withAlpha.append(QString::fromUtf16(facts.name));
        }
        return QStringLiteral("Ein %1-Feld braucht drei Farbkanäle (%2 auch den Alphakanal); %3 hält je Zeichen nur "
                              "einen. Nehmen Sie ein sdf-Feld oder alle Kanäle.")
            .arg(fieldName(options.field), alternatives(withAlpha), form);
    }
    if (fewerChannels && (options.hasEffects() || options.opaque || coloursGiven))
        return QStringLiteral("Umriss, Schatten und Farben brauchen alle Kanäle; %1 hält je Zeichen nur einen Wert.")
            .arg(form);
    if (options.packChannels && options.channels != PageChannels::Rgba)
        return QStringLiteral("%1 braucht die vier Kanäle einer RGBA-Seite; wählen Sie sie oder weniger Kanäle ohne "
                              "Packen.")
            .arg(optionWording(u"PackChannels", words));
    if (options.premultiplied && (options.field != PageField::None || options.packChannels))
        return QStringLiteral("%1 passt nur zu Farben: %2 hält in den Kanälen Werte, die das Multiplizieren "
                              "verdürbe.")
            .arg(premultiplied,
                 options.packChannels ? optionWording(u"PackChannels", words) : QStringLiteral("ein Distanzfeld"));
    return {};
}

} // namespace

QString optionWording(QStringView key, OptionWords words)
{
    if (words == OptionWords::Window) {
        for (const WindowName& name : kWindowNames) {
            if (key == QStringView(name.key))
                return QStringLiteral("„%1“ auf der Seite „%2“")
                    .arg(QString::fromUtf16(name.control), QString::fromUtf16(name.page));
        }
    }
    return QStringLiteral("--") + bmFontOption(key).option;
}

QString pageContentProblem(const BmFontOptions& given, PageImage pages, bool coloursGiven, OptionWords words)
{
    const BmFontOptions options = withEngineChoices(given);
    if (const QString problem = engineProblem(options, words); !problem.isEmpty())
        return problem;
    if (const QString problem = pageFormProblem(options, pages, coloursGiven, words); !problem.isEmpty())
        return problem;
    if (options.monochrome && options.supersample > 1 && options.field == PageField::None)
        return QStringLiteral("Monochrome Zeichen (%1) decken jedes Pixel ganz oder gar nicht; eine Überabtastung "
                              "(%2) gäbe ihnen Zwischenstufen. Lassen Sie eines von beiden weg.")
            .arg(optionWording(u"Monochrome", words), optionWording(u"Supersample", words));
    if (options.colorGlyphs) {
        const QString colours = optionWording(u"ColorGlyphs", words);
        if (options.field != PageField::None)
            return QStringLiteral("Ein Distanzfeld (%1) hält Abstände, keine Farben; Farbglyphen (%2) passen nicht "
                                  "dazu. Lassen Sie eines von beiden weg.")
                .arg(fieldWording(options.field, words), colours);
        if (options.packChannels || options.channels != PageChannels::Rgba)
            return QStringLiteral("Farbglyphen (%1) brauchen Seiten mit Rot, Grün, Blau und Alpha; %2 hält keine "
                                  "Farben. Lassen Sie eines von beiden weg.")
                .arg(colours, optionWording(options.packChannels ? u"PackChannels" : u"Channels", words));
    }
    if (options.field == PageField::None)
        return {};
    const QString field = fieldWording(options.field, words);
    const bool window = words == OptionWords::Window;
    if (options.hasEffects())
        return QStringLiteral("Umriss und Schatten (%1) zeichnet eine Engine aus dem Distanzfeld selbst; in die Seiten "
                              "eines Distanzfelds (%2) kommen sie nicht. %3")
            .arg(window ? QStringLiteral("„Umriss“, „Schatten“") : QStringLiteral("--outline, --shadow"), field,
                 window ? QStringLiteral("Setzen Sie „Umriss“ auf 0 Pixel und schalten Sie „Schatten“ aus, oder "
                                         "wählen Sie „Feld“: Keines.")
                        : QStringLiteral("Lassen Sie eines von beiden weg."));
    if (const PageImageFacts& image = pageImageFacts(pages); !image.alpha) {
        const QString withAlpha = alternatives(pageImagesWithAlpha());
        const QString named = QStringLiteral("einen Namen auf %1").arg(alternatives(pageExtensions(true)));
        return QStringLiteral("Ein Distanzfeld (%1) braucht %2-Seiten mit Alphakanal; eine %3-Datei kann es nicht "
                              "halten. %4")
            .arg(field, withAlpha, QString::fromUtf16(image.name).toUpper(),
                 window ? QStringLiteral("Wählen Sie %1 als %2 (beim Export: %3).")
                              .arg(withAlpha, optionWording(u"Image", words), named)
                        : QStringLiteral("Wählen Sie %1.").arg(named));
    }
    if (!descriptorFormFacts(options.descriptor).namesField) {
        QStringList names;
        QStringList captions;
        for (const DescriptorFormFacts& facts : kDescriptorForms) {
            if (facts.namesField) {
                names.append(QString::fromUtf16(facts.name));
                captions.append(QString::fromUtf16(facts.caption).remove(u'&'));
            }
        }
        return QStringLiteral("Die binäre BMFont-Beschreibung hat keinen Block, der ein Distanzfeld (%1) nennt: Eine "
                              "Engine läse die Seiten als gewöhnliche Glyphen. %2")
            .arg(field, window ? QStringLiteral("Wählen Sie %1 als %2.")
                                     .arg(alternatives(captions), optionWording(u"Descriptor", words))
                               : QStringLiteral("Wählen Sie --descriptor %1.").arg(alternatives(names)));
    }
    if (options.monochrome)
        return QStringLiteral("Ein Distanzfeld (%1) entsteht aus dem Umriss der Glyphen und ist immer geglättet; "
                              "%2 passt nicht dazu.")
            .arg(field, optionWording(u"Monochrome", words));
    if (options.opaque || coloursGiven)
        return QStringLiteral("Ein Distanzfeld (%1) hält in allen Kanälen Abstände, keine Farben; %2 nicht dazu "
                              "(die Engine färbt die Glyphen beim Zeichnen).")
            .arg(field, window ? optionWording(u"Opaque", words) + QStringLiteral(" passt")
                               : QStringLiteral("--opaque, --color und --backcolor passen"));
    return {};
}

QString fractionalProblem(const BmFontOptions& options)
{
    if (!options.fractional || descriptorFormFacts(options.descriptor).fractions)
        return {};
    QStringList exact;
    QStringList whole;
    for (const DescriptorFormFacts& facts : kDescriptorForms)
        (facts.fractions ? exact : whole).append(QString::fromUtf16(facts.name));
    return QStringLiteral("--fractional braucht --descriptor %1: Die Formen %2 halten nur ganze Zahlen, und Engines "
                          "lesen dort keine Bruchteile.")
        .arg(alternatives(exact), alternatives(whole, u"und"));
}

const std::vector<BmFontOption>& bmFontOptionTable()
{
    static const std::vector<BmFontOption> table = makeTable();
    return table;
}

const BmFontOption& bmFontOption(QStringView key)
{
    const std::vector<BmFontOption>& table = bmFontOptionTable();
    const auto found = std::find_if(table.begin(), table.end(), [key](const BmFontOption& o) { return o.key == key; });
    Q_ASSERT(found != table.end());
    return *found;
}

} // namespace glyfrax
