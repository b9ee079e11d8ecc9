#include "CommandLine.h"

#include "settings/Conversions.h"
#include "settings/SettingsStore.h"

#include <QCommandLineParser>

namespace glyfrax {

namespace {

struct Options
{
    QCommandLineOption config{QStringLiteral("config"),
                              QStringLiteral("Einstellungen aus DATEI statt aus config.ini neben dem Programm lesen."),
                              QStringLiteral("DATEI")};
    QCommandLineOption font{QStringLiteral("font"), QStringLiteral("Schriftart (Name einer installierten Schrift)."),
                            QStringLiteral("NAME")};
    QCommandLineOption fontFile{QStringLiteral("font-file"),
                                QStringLiteral("Schrift aus einer TrueType- oder OpenType-Datei, die nicht "
                                               "installiert sein muss."),
                                QStringLiteral("PFAD")};
    QCommandLineOption size{QStringLiteral("size"), QStringLiteral("Schriftgröße in Punkt (0 bis 1638)."),
                            QStringLiteral("PT")};
    QCommandLineOption bold{QStringLiteral("bold"), QStringLiteral("Fett.")};
    QCommandLineOption noBold{QStringLiteral("no-bold"), QStringLiteral("Nicht fett.")};
    QCommandLineOption italic{QStringLiteral("italic"), QStringLiteral("Kursiv.")};
    QCommandLineOption noItalic{QStringLiteral("no-italic"), QStringLiteral("Nicht kursiv.")};
    QCommandLineOption color{QStringLiteral("color"),
                             QStringLiteral("Schriftfarbe: Zahlenwert wie in config.ini oder #RRGGBB."),
                             QStringLiteral("FARBE")};
    QCommandLineOption backColor{QStringLiteral("backcolor"),
                                 QStringLiteral("Hintergrundfarbe: Zahlenwert wie in config.ini oder #RRGGBB."),
                                 QStringLiteral("FARBE")};
    QCommandLineOption binary{QStringLiteral("binary"), QStringLiteral("Binäre Metrikdatei.")};
    QCommandLineOption text{QStringLiteral("text"), QStringLiteral("Lesbare Metrikdatei.")};
    QCommandLineOption longFields{QStringLiteral("long"), QStringLiteral("32-Bit-Felder (VB: Long / C++: int).")};
    QCommandLineOption shortFields{QStringLiteral("short"),
                                   QStringLiteral("16-Bit-Felder (VB: Integer / C++: short).")};
    QCommandLineOption labels{QStringLiteral("labels"),
                              QStringLiteral("Die fünf Beschriftungen einer lesbaren Zeile, durch Kommas getrennt."),
                              QStringLiteral("CHAR,X,Y,W,H")};
    QCommandLineOption xDist{QStringLiteral("xdist"),
                             QStringLiteral("Abstand zwischen den Zeichen in Pixeln (0 bis 32767)."),
                             QStringLiteral("N")};
    QCommandLineOption yDist{QStringLiteral("ydist"),
                             QStringLiteral("Abstand zwischen den Zeilen in Pixeln (0 bis 32767)."),
                             QStringLiteral("N")};
};

// Reads an option's value, or records why it cannot be taken.
class ValueReader
{
public:
    explicit ValueReader(const QCommandLineParser& parser) : m_parser(parser) {}

    template <typename T>
    std::optional<T> read(const QCommandLineOption& option, const std::optional<T>& value, const QString& expected)
    {
        if (!m_parser.isSet(option))
            return std::nullopt;
        if (!value)
            fail(QStringLiteral("Ungültiger Wert „%1“ für --%2: erwartet %3.")
                     .arg(m_parser.value(option), option.names().first(), expected));
        return value;
    }

    // Of two contrary switches, the one given; both together are an error.
    std::optional<bool> choice(const QCommandLineOption& yes, const QCommandLineOption& no)
    {
        if (m_parser.isSet(yes) && m_parser.isSet(no)) {
            fail(QStringLiteral("--%1 und --%2 schließen einander aus.").arg(yes.names().first(), no.names().first()));
            return std::nullopt;
        }
        if (m_parser.isSet(yes) || m_parser.isSet(no))
            return m_parser.isSet(yes);
        return std::nullopt;
    }

    void fail(const QString& message)
    {
        if (m_error.isEmpty())
            m_error = message;
    }
    QString error() const { return m_error; }

private:
    const QCommandLineParser& m_parser;
    QString m_error;
};

std::optional<float> sizeFrom(const QString& text)
{
    const Converted<float> size = toSingle(text);
    if (!size.ok() || size.value < 0.0F || size.value > kMaxFontSize)
        return std::nullopt;
    return size.value;
}

std::optional<std::int32_t> gapFrom(const QString& text)
{
    const Converted<std::int32_t> gap = toInt32(text);
    if (!gap.ok() || gap.value < 0 || gap.value > kMaxGap)
        return std::nullopt;
    return gap.value;
}

std::optional<std::array<QString, 5>> labelsFrom(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 5)
        return std::nullopt;
    return std::array<QString, 5>{parts[0], parts[1], parts[2], parts[3], parts[4]};
}

} // namespace

void SettingOverrides::applyTo(Settings& settings) const
{
    FontSettings& font = settings.font;
    ExportOptions& options = settings.options;
    font.face = face.value_or(font.face);
    font.size = size.value_or(font.size);
    font.bold = bold.value_or(font.bold);
    font.italic = italic.value_or(font.italic);
    font.textColor = textColor.value_or(font.textColor);
    font.backColor = backColor.value_or(font.backColor);
    options.WriteBinary = writeBinary.value_or(options.WriteBinary);
    options.TakeLong = takeLong.value_or(options.TakeLong);
    if (labels) {
        options.CharTxt = (*labels)[0];
        options.XTxt = (*labels)[1];
        options.YTxt = (*labels)[2];
        options.WTxt = (*labels)[3];
        options.HTxt = (*labels)[4];
    }
    options.XDist = xDist.value_or(options.XDist);
    options.YDist = yDist.value_or(options.YDist);
}

std::optional<std::int32_t> parseColor(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'#')) {
        bool ok = false;
        const uint rgb = trimmed.mid(1).toUInt(&ok, 16);
        if (!ok || trimmed.size() != 7)
            return std::nullopt;
        // Stored with red in the low byte.
        return std::int32_t(((rgb >> 16) & 0xFFU) | (rgb & 0xFF00U) | ((rgb & 0xFFU) << 16));
    }
    const Converted<std::int32_t> value = toInt32(trimmed);
    return value.ok() ? std::optional<std::int32_t>(value.value) : std::nullopt;
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Exportiert eine Texturschrift ohne Fenster: die Bitmap nach BITMAP und die Metrikdatei "
                       "(.fnt) daneben, genau wie „Bitmap exportieren“ in Glyfrax. Die Einstellungen kommen aus "
                       "config.ini; die Optionen ersetzen einzelne davon. config.ini wird nie geschrieben."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options o;
    parser.addOptions({o.config, o.font, o.fontFile, o.size, o.bold, o.noBold, o.italic, o.noItalic, o.color,
                       o.backColor, o.binary, o.text, o.longFields, o.shortFields, o.labels, o.xDist, o.yDist});
    parser.addPositionalArgument(QStringLiteral("BITMAP"), QStringLiteral("Pfad der Bitmap, die geschrieben wird."));

    CommandLine line;
    line.helpText = parser.helpText();
    auto usageError = [&line](const QString& message) {
        line.action = CommandLine::Action::UsageError;
        line.error = message;
        return line;
    };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return usageError(unknown.isEmpty()
                              ? parser.errorText()
                              : QStringLiteral("Unbekannte Option: %1")
                                    .arg((unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) +
                                         unknown.first()));
    }
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::ShowHelp;
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::ShowVersion;
        return line;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("Es fehlt der Pfad der Bitmap (BITMAP)."));
    if (positional.size() > 1)
        return usageError(QStringLiteral("Nur eine Bitmap auf einmal: „%1“ ist zu viel.").arg(positional.at(1)));
    if (parser.isSet(o.font) && parser.isSet(o.fontFile))
        return usageError(QStringLiteral("--font und --font-file schließen einander aus."));

    ValueReader in(parser);
    SettingOverrides& s = line.overrides;
    if (parser.isSet(o.font))
        s.face = parser.value(o.font);
    s.size = in.read(o.size, sizeFrom(parser.value(o.size)), QStringLiteral("eine Zahl von 0 bis 1638"));
    s.bold = in.choice(o.bold, o.noBold);
    s.italic = in.choice(o.italic, o.noItalic);
    s.textColor = in.read(o.color, parseColor(parser.value(o.color)), QStringLiteral("eine Zahl oder #RRGGBB"));
    s.backColor = in.read(o.backColor, parseColor(parser.value(o.backColor)), QStringLiteral("eine Zahl oder #RRGGBB"));
    s.writeBinary = in.choice(o.binary, o.text);
    s.takeLong = in.choice(o.longFields, o.shortFields);
    s.labels =
        in.read(o.labels, labelsFrom(parser.value(o.labels)), QStringLiteral("fünf durch Kommas getrennte Texte"));
    s.xDist = in.read(o.xDist, gapFrom(parser.value(o.xDist)), QStringLiteral("eine ganze Zahl von 0 bis 32767"));
    s.yDist = in.read(o.yDist, gapFrom(parser.value(o.yDist)), QStringLiteral("eine ganze Zahl von 0 bis 32767"));
    if (!in.error().isEmpty())
        return usageError(in.error());

    line.bitmapPath = positional.first();
    line.configPath = parser.value(o.config);
    line.fontFile = parser.value(o.fontFile);
    return line;
}

} // namespace glyfrax
