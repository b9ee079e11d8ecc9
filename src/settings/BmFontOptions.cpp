#include "settings/BmFontOptions.h"

#include "base/CodePage.h"
#include "settings/CharacterRanges.h"
#include "settings/Conversions.h"

#include <algorithm>
#include <bit>
#include <optional>

namespace glyfrax {

namespace {

QString flagText(bool flag)
{
    return flag ? QStringLiteral("255") : QStringLiteral("0");
}

std::optional<std::int32_t> wholeNumber(const QString& text, std::int32_t lowest, std::int32_t highest)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= lowest && value <= highest ? std::optional<std::int32_t>(value) : std::nullopt;
}

Result<void> readByte(std::int32_t& member, const QString& text)
{
    const std::optional<std::int32_t> value = wholeNumber(text, 0, 255);
    if (!value)
        return failure(QStringLiteral("erwartet eine ganze Zahl von 0 bis 255"));
    member = *value;
    return {};
}

Result<void> readFlag(bool& member, const QString& text)
{
    const Result<bool> flag = toFlag(text);
    if (!flag)
        return failure(QStringLiteral("erwartet 0 oder 255 (auch false oder true)"));
    member = *flag;
    return {};
}

struct FormName
{
    DescriptorForm form;
    const char16_t* name;
};
constexpr FormName kFormNames[] = {{DescriptorForm::Text, u"text"},
                                   {DescriptorForm::Xml, u"xml"},
                                   {DescriptorForm::Binary, u"binary"},
                                   {DescriptorForm::Json, u"json"}};

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
         true,
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
         false,
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
         false,
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
        {QStringLiteral("Padding"),
         QStringLiteral("padding"),
         QStringLiteral("N"),
         {},
         QStringLiteral("Rand um jedes Zeichen in seiner Zelle, in Pixeln (0 bis 255, Vorgabe 1)."),
         false,
         [](O& o, const QString& text) { return readByte(o.padding, text); },
         [](const O& o) { return QString::number(o.padding); }},
        {QStringLiteral("Spacing"),
         QStringLiteral("spacing"),
         QStringLiteral("N"),
         {},
         QStringLiteral("Abstand zwischen den Zellen in Pixeln (0 bis 255, Vorgabe 1)."),
         false,
         [](O& o, const QString& text) { return readByte(o.spacing, text); },
         [](const O& o) { return QString::number(o.spacing); }},
        {QStringLiteral("MaxTexture"),
         QStringLiteral("max-texture"),
         QStringLiteral("N"),
         {},
         QStringLiteral("Größte Seitenlänge einer Texturseite, eine Zweierpotenz von 16 bis 16384 (Vorgabe 4096); "
                        "mehr Zeichen kommen auf weitere Seiten."),
         false,
         [](O& o, const QString& text) -> Result<void> {
             const std::optional<std::int32_t> side = wholeNumber(text, 16, 16384);
             if (!side || !std::has_single_bit(std::uint32_t(*side)))
                 return failure(QStringLiteral("erwartet eine Zweierpotenz von 16 bis 16384"));
             o.maxTexture = *side;
             return {};
         },
         [](const O& o) { return QString::number(o.maxTexture); }},
        {QStringLiteral("NonSquare"),
         QStringLiteral("non-square"),
         {},
         QStringLiteral("square"),
         QStringLiteral("Die Seiten dürfen Rechtecke sein, Seiten weiter Zweierpotenzen (Vorgabe: quadratisch, "
                        "--square)."),
         false,
         [](O& o, const QString& text) { return readFlag(o.nonSquare, text); },
         [](const O& o) { return flagText(o.nonSquare); }},
        {QStringLiteral("Descriptor"),
         QStringLiteral("descriptor"),
         QStringLiteral("FORM"),
         {},
         QStringLiteral("Form der BMFont-Beschreibung: text (Vorgabe), xml, binary oder json."),
         false,
         [](O& o, const QString& text) -> Result<void> {
             for (const FormName& form : kFormNames) {
                 if (text.trimmed() == QStringView(form.name)) {
                     o.descriptor = form.form;
                     return {};
                 }
             }
             return failure(QStringLiteral("erwartet text, xml, binary oder json"));
         },
         [](const O& o) {
             for (const FormName& form : kFormNames) {
                 if (form.form == o.descriptor)
                     return QString::fromUtf16(form.name);
             }
             return QString();
         }},
        {QStringLiteral("Image"),
         {},
         QStringLiteral("FORM"),
         {},
         QStringLiteral("Das Seitenformat, das das Fenster beim Export vorschlägt und in der Texturansicht zeigt: "
                        "png (Vorgabe) oder bmp. Auf der Befehlszeile entscheidet die Endung des Namens."),
         false,
         [](O& o, const QString& text) -> Result<void> {
             const QString name = text.trimmed();
             if (name != u"png" && name != u"bmp")
                 return failure(QStringLiteral("erwartet png oder bmp"));
             o.image = name == u"png" ? PageImage::Png : PageImage::Bmp;
             return {};
         },
         [](const O& o) { return o.image == PageImage::Png ? QStringLiteral("png") : QStringLiteral("bmp"); }},
        {QStringLiteral("Opaque"),
         QStringLiteral("opaque"),
         {},
         QStringLiteral("alpha"),
         QStringLiteral("Deckende Seiten in Schrift- und Hintergrundfarbe der Einstellungen (Vorgabe: PNG-Seiten weiß "
                        "mit der Deckung im Alphakanal, --alpha; --color oder --backcolor machen die Seiten ebenfalls "
                        "deckend)."),
         false,
         [](O& o, const QString& text) { return readFlag(o.opaque, text); },
         [](const O& o) { return flagText(o.opaque); }},
    };
}

} // namespace

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
