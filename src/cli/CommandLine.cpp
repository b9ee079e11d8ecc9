#include "cli/CommandLine.h"

#include "base/ShownName.h"
#include "project/Project.h"
#include "render/BmpWriter.h"
#include "settings/CharacterRanges.h"
#include "settings/ColorValue.h"
#include "settings/SettingLimits.h"

#include <QCommandLineParser>
#include <QLocale>

#include <algorithm>
#include <bit>

namespace glyfrax {

namespace {

struct Options
{
    QCommandLineOption config{
        QStringLiteral("config"),
        QStringLiteral("Einstellungen aus DATEI lesen (Vorgabe: config.ini neben dem Programm, bei einer "
                       "installierten Kopie die des Benutzers)."),
        QStringLiteral("DATEI")};
    QCommandLineOption font{
        QStringLiteral("font"),
        QStringLiteral("Schriftart, Name einer installierten Schrift (Vorgabe: aus den Einstellungen; "
                       "Liste: --list-fonts)."),
        QStringLiteral("NAME")};
    QCommandLineOption fontFile{QStringLiteral("font-file"),
                                QStringLiteral("Schrift aus einer TrueType- oder OpenType-Datei, die nicht "
                                               "installiert sein muss (Vorgabe: keine)."),
                                QStringLiteral("PFAD")};
    QCommandLineOption size{
        QStringLiteral("size"),
        QStringLiteral("Schriftgröße in Punkt, %1 (Vorgabe: aus den Einstellungen).").arg(fontSizeRangeText()),
        QStringLiteral("PT")};
    QCommandLineOption bold{QStringLiteral("bold"), QStringLiteral("Fett (Vorgabe: aus den Einstellungen).")};
    QCommandLineOption noBold{QStringLiteral("no-bold"),
                              QStringLiteral("Nicht fett (Vorgabe: aus den Einstellungen).")};
    QCommandLineOption italic{QStringLiteral("italic"), QStringLiteral("Kursiv (Vorgabe: aus den Einstellungen).")};
    QCommandLineOption noItalic{QStringLiteral("no-italic"),
                                QStringLiteral("Nicht kursiv (Vorgabe: aus den Einstellungen).")};
    QCommandLineOption color{
        QStringLiteral("color"),
        QStringLiteral("Schriftfarbe: Zahlenwert wie in config.ini, #RGB oder #RRGGBB (Vorgabe: aus den "
                       "Einstellungen)."),
        QStringLiteral("FARBE")};
    QCommandLineOption backColor{
        QStringLiteral("backcolor"),
        QStringLiteral("Hintergrundfarbe: Zahlenwert wie in config.ini, #RGB oder #RRGGBB (Vorgabe: "
                       "aus den Einstellungen)."),
        QStringLiteral("FARBE")};
    QCommandLineOption binary{QStringLiteral("binary"),
                              QStringLiteral("Binäre Metrikdatei (Vorgabe: aus den Einstellungen).")};
    QCommandLineOption text{QStringLiteral("text"),
                            QStringLiteral("Lesbare Metrikdatei (Vorgabe: aus den Einstellungen).")};
    QCommandLineOption longFields{
        QStringLiteral("long"), QStringLiteral("32-Bit-Felder, VB: Long / C++: int (Vorgabe: aus den Einstellungen).")};
    QCommandLineOption shortFields{QStringLiteral("short"),
                                   QStringLiteral("16-Bit-Felder, VB: Integer / C++: short (Vorgabe: aus den "
                                                  "Einstellungen).")};
    QCommandLineOption labels{
        QStringLiteral("labels"),
        QStringLiteral("Die fünf Beschriftungen einer lesbaren Zeile, durch Kommas getrennt (Vorgabe: "
                       "aus den Einstellungen)."),
        QStringLiteral("CHAR,X,Y,W,H")};
    QCommandLineOption xDist{
        QStringLiteral("xdist"),
        QStringLiteral("Abstand zwischen den Zeichen in Pixeln, %1 (Vorgabe: aus den Einstellungen).")
            .arg(gapRangeText()),
        QStringLiteral("N")};
    QCommandLineOption yDist{
        QStringLiteral("ydist"),
        QStringLiteral("Abstand zwischen den Zeilen in Pixeln, %1 (Vorgabe: aus den Einstellungen).")
            .arg(gapRangeText()),
        QStringLiteral("N")};
    QCommandLineOption format{
        QStringLiteral("format"),
        QStringLiteral("classic: Bitmap und Metrikdatei wie bisher (Vorgabe); bmfont: Texturseiten "
                       "mit BMFont-Beschreibung für Spiel-Engines."),
        QStringLiteral("FORMAT")};
    QCommandLineOption listFonts{QStringLiteral("list-fonts"),
                                 QStringLiteral("Die installierten Schriftarten mit ihren Schnitten ausgeben, eine je "
                                                "Zeile, Name und Schnitte durch einen Tabulator getrennt; mit "
                                                "--font-file die Schrift in der Datei. Es wird nichts exportiert.")};
    QCommandLineOption axes{QStringLiteral("axes"),
                            QStringLiteral("Mit --list-fonts: die Achsen der variablen Schrift in DATEI (Kennung, "
                                           "Name, kleinster Wert, Vorgabe, größter Wert) und ihre benannten "
                                           "Instanzen ausgeben, für --axis und --instance."),
                            QStringLiteral("DATEI")};
    QCommandLineOption finish{
        QStringLiteral("finish"),
        QStringLiteral("Ein im ORDNER abgebrochenes Ersetzen von Dateien (ein getöteter Export) vollenden und Reste "
                       "abgebrochener Exporte entfernen, unter der Sperre des Ordners; es wird nichts exportiert."),
        QStringLiteral("ORDNER")};
    QCommandLineOption allowLarge{
        QStringLiteral("allow-large"),
        QStringLiteral("Auch Texturen über %1 x %1 Pixel erzeugen (Vorgabe: solche ablehnen, bevor etwas "
                       "geschrieben wird).")
            .arg(kLargeTextureSide)};
    QCommandLineOption quiet{QStringLiteral("quiet"),
                             QStringLiteral("Keine Fortschrittsanzeige und keine Ausgabe auf stdout, nur Fehler auf "
                                            "stderr (Vorgabe: Fortschritt auf einem Terminal, Dateien auf stdout).")};
    QCommandLineOption project{
        QStringLiteral("project"),
        QStringLiteral("Alle Sätze der Projektdatei DATEI bauen (ein INI-Abschnitt je Satz, [defaults] für alle), "
                       "auf allen Kernen, nur die, deren Eingaben sich seit dem letzten Bau geändert haben; statt "
                       "BITMAP und der Einstellungsoptionen."),
        QStringLiteral("DATEI")};
    QCommandLineOption force{QStringLiteral("force"),
                             QStringLiteral("Mit --project: jeden Satz bauen, auch einen aktuellen.")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("Mit --project: nur nennen, welche Sätze gebaut würden und warum; es "
                                             "wird nichts geschrieben.")};
    QCommandLineOption watch{QStringLiteral("watch"),
                             QStringLiteral("Mit --project: nach dem Bau wach bleiben und neu bauen, was sich "
                                            "ändert, wenn sich eine Schrift, eine Zeichendatei oder die "
                                            "Projektdatei ändert, bis zum Abbruch (Strg+C).")};
    QCommandLineOption scales{
        QStringLiteral("scales"),
        QStringLiteral("Mit --project: jeden Satz in diesen Maßstäben bauen, etwa 1,2 (NAME.fnt und NAME@2x.fnt), "
                       "statt der Scales= des Projekts."),
        QStringLiteral("LISTE")};
    QCommandLineOption depfile{
        QStringLiteral("depfile"),
        QStringLiteral("Die Eingaben der Sätze als Regeln für make und Ninja nach DATEI schreiben (mit "
                       "--format bmfont oder --project)."),
        QStringLiteral("DATEI")};
    QCommandLineOption verbose{
        QStringLiteral("verbose"),
        QStringLiteral("Auf stderr nennen, welche Zeichen der Schrift fehlen, welche aus welcher Ersatzschrift kommen, "
                       "wie weit die Zellen die Seiten füllen und welche Werte die Beschreibung begrenzen musste "
                       "(Vorgabe: nicht nennen).")};
};

// The command-line options of the BMFont options, in table order: a switch also gets its
// opposite, which the table's read takes as "0".
struct TableOption
{
    const BmFontOption* entry;
    QCommandLineOption option;
    std::optional<QCommandLineOption> negation;
};

std::vector<TableOption> tableOptions()
{
    std::vector<TableOption> options;
    for (const BmFontOption& entry : bmFontOptionTable()) {
        if (entry.option.isEmpty())
            continue;
        TableOption option{&entry, QCommandLineOption(entry.option, entry.help, entry.valueName), std::nullopt};
        if (!entry.negation.isEmpty())
            option.negation = QCommandLineOption(
                entry.negation, QStringLiteral("Gegenteil von --%1 (ersetzt die Einstellung).").arg(entry.option));
        options.push_back(std::move(option));
    }
    return options;
}

template <typename T>
std::optional<T> oneOf(const QString& text, std::initializer_list<std::pair<const char16_t*, T>> names)
{
    for (const auto& [name, value] : names) {
        if (text == QStringView(name))
            return value;
    }
    return std::nullopt;
}

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
                     .arg(shownName(m_parser.value(option)), option.names().first(), expected));
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

template <typename T> std::optional<T> valueOf(const Result<T>& result)
{
    return result ? std::optional<T>(*result) : std::nullopt;
}

std::optional<std::array<QString, 5>> labelsFrom(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 5)
        return std::nullopt;
    return std::array<QString, 5>{parts[0], parts[1], parts[2], parts[3], parts[4]};
}

// One size at most: in points, in pixels, or by the line's or the capitals' height; the one given
// replaces the others the settings may hold, and --pixels 0 asks for the settings' size in points,
// as Pixels=0 in the settings does. No size at all would silently be some other size.
Result<void> readBmFontSize(const QCommandLineParser& parser, const Options& o, CommandLine& line)
{
    static const char16_t* const kSizeKeys[] = {u"Pixels", u"LineHeight", u"CapHeight"};
    QStringList given;
    if (parser.isSet(o.size))
        given.append(QStringLiteral("--size"));
    for (const auto& [key, value] : line.overrides.bmfont) {
        if (std::find(std::begin(kSizeKeys), std::end(kSizeKeys), QStringView(key)) == std::end(kSizeKeys))
            continue;
        const QString option = QStringLiteral("--") + bmFontOption(key).option;
        if (value.trimmed().toInt() == 0 && key != u"Pixels")
            return failure(QStringLiteral("%1 0 gibt keine Größe; geben Sie eine Größe in Pixeln an.").arg(option));
        given.append(option);
    }
    if (given.size() > 1)
        return failure(QStringLiteral("%1 und %2 schließen einander aus: Geben Sie die Größe nur auf eine Art an.")
                           .arg(given[0], given[1]));
    if (line.overrides.size == 0.0F)
        return failure(QStringLiteral("--size 0 gibt keine Größe für --format bmfont; geben Sie eine Größe in Punkt "
                                      "oder mit --pixels in Pixeln an."));
    if (given.isEmpty())
        return {};
    for (const char16_t* key : kSizeKeys) {
        if (given.front() != QStringLiteral("--") + bmFontOption(QStringView(key)).option)
            line.overrides.bmfont.append({QString::fromUtf16(key), QStringLiteral("0")});
    }
    return {};
}

// The options of the BMFont format and the code page; each of the first ones given with the
// classic format is an error, as is a classic option with the BMFont format, not silently ignored.
Result<void> readBmFontOptions(const QCommandLineParser& parser, const Options& o,
                               const std::vector<TableOption>& table, CommandLine& line)
{
    const bool bmfont = line.format == CommandLine::Format::BmFont;
    std::vector<const QCommandLineOption*> bmfontOnly = {&o.verbose};
    for (const TableOption& option : table) {
        if (option.entry->key != u"CodePage")
            bmfontOnly.push_back(&option.option);
        if (option.negation)
            bmfontOnly.push_back(&*option.negation);
    }
    const std::vector<const QCommandLineOption*> classicOnly = {&o.binary, &o.text,  &o.longFields, &o.shortFields,
                                                                &o.labels, &o.xDist, &o.yDist};
    for (const QCommandLineOption* option : bmfont ? classicOnly : bmfontOnly) {
        if (parser.isSet(*option))
            return failure(
                QStringLiteral("--%1 gilt nur mit --format %2.")
                    .arg(option->names().first(), bmfont ? QStringLiteral("classic") : QStringLiteral("bmfont")));
    }
    line.verbose = parser.isSet(o.verbose);

    // Each value is checked as the settings file's would be; repeated values of an option that
    // adds up are read as one list.
    BmFontOptions scratch;
    for (const TableOption& option : table) {
        const BmFontOption& entry = *option.entry;
        const bool on = parser.isSet(option.option);
        const bool off = option.negation && parser.isSet(*option.negation);
        if (on && off)
            return failure(QStringLiteral("--%1 und --%2 schließen einander aus.").arg(entry.option, entry.negation));
        if (!on && !off)
            continue;
        const QStringList values = parser.values(option.option);
        const QString text = off                         ? QStringLiteral("0")
                             : entry.valueName.isEmpty() ? QStringLiteral("255")
                             : entry.addUp               ? entry.addUp(values)
                                                         : values.value(0);
        if (const Result<void> read = entry.read(scratch, text); !read)
            return failure(read.error().startsWith(u"erwartet ")
                               ? QStringLiteral("Ungültiger Wert „%1“ für --%2: %3.")
                                     .arg(shownName(text), entry.option, read.error())
                               : QStringLiteral("--%1: %2").arg(entry.option, read.error()));
        line.overrides.bmfont.append({entry.key, text});
        if (entry.key == u"CodePage" && scratch.codePage != 0)
            line.codePage = *CodePage::windows(scratch.codePage);
    }
    // The form may come from the settings file; given here, it is checked here.
    const bool formGiven = std::any_of(line.overrides.bmfont.begin(), line.overrides.bmfont.end(),
                                       [](const auto& entry) { return entry.first == u"Descriptor"; });
    if (const QString problem = fractionalProblem(scratch); formGiven && !problem.isEmpty())
        return failure(problem);
    return bmfont ? readBmFontSize(parser, o, line) : Result<void>();
}

} // namespace

void SettingOverrides::applyTo(Settings& settings) const
{
    FontSettings& font = settings.font;
    ClassicOptions& options = settings.options;
    font.face = face.value_or(font.face);
    font.size = size.value_or(font.size);
    font.bold = bold.value_or(font.bold);
    font.italic = italic.value_or(font.italic);
    font.textColor = textColor.value_or(font.textColor);
    font.backColor = backColor.value_or(font.backColor);
    options.writeBinary = writeBinary.value_or(options.writeBinary);
    options.takeLong = takeLong.value_or(options.takeLong);
    if (labels) {
        options.charTxt = (*labels)[0];
        options.xTxt = (*labels)[1];
        options.yTxt = (*labels)[2];
        options.wTxt = (*labels)[3];
        options.hTxt = (*labels)[4];
    }
    options.xDist = xDist.value_or(options.xDist);
    options.yDist = yDist.value_or(options.yDist);
    for (const auto& [key, text] : bmfont) {
        for (const BmFontOption& entry : bmFontOptionTable()) {
            if (entry.key == key)
                static_cast<void>(entry.read(settings.bmfont, text)); // checked when the command line was read
        }
    }
}

namespace {

QList<QCommandLineOption> optionList(const Options& o, const std::vector<TableOption>& table)
{
    QList<QCommandLineOption> options{o.config,     o.font,        o.fontFile, o.size,      o.bold,   o.noBold,
                                      o.italic,     o.noItalic,    o.color,    o.backColor, o.binary, o.text,
                                      o.longFields, o.shortFields, o.labels,   o.xDist,     o.yDist,  o.format};
    for (const TableOption& option : table) {
        options.append(option.option);
        if (option.negation)
            options.append(*option.negation);
    }
    return options + QList<QCommandLineOption>{o.listFonts, o.axes,  o.finish, o.allowLarge, o.quiet,  o.verbose,
                                               o.project,   o.force, o.dryRun, o.watch,      o.scales, o.depfile};
}

void describeOptions(QCommandLineParser& parser, const Options& o, const std::vector<TableOption>& table)
{
    parser.addOptions(optionList(o, table));
    parser.addPositionalArgument(QStringLiteral("BITMAP"), QStringLiteral("Pfad der Bitmap, die geschrieben wird."));
}

QString wrapped(const QString& text, int width)
{
    QStringList lines;
    for (const QString& paragraph : text.split(u'\n')) {
        QString line;
        for (const QString& word : paragraph.split(u' ', Qt::SkipEmptyParts)) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
                lines.append(line);
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        lines.append(line);
    }
    return lines.join(u'\n');
}

// A project's build takes its settings from the project file: of the other options only those that
// say how it runs.
Result<CommandLine> readProjectLine(const QCommandLineParser& parser, const Options& o,
                                    const std::vector<TableOption>& table, CommandLine& line)
{
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("--project baut die Sätze der Projektdatei und nimmt keine BITMAP: „%1“ ist "
                                      "zu viel.")
                           .arg(shownName(parser.positionalArguments().first())));
    const std::vector<const QCommandLineOption*> ruling = {&o.project, &o.force,      &o.dryRun, &o.watch,  &o.scales,
                                                           &o.depfile, &o.allowLarge, &o.quiet,  &o.verbose};
    for (const QCommandLineOption& option : optionList(o, table)) {
        const bool rules = std::any_of(ruling.begin(), ruling.end(),
                                       [&option](const QCommandLineOption* r) { return r->names() == option.names(); });
        if (!rules && parser.isSet(option))
            return failure(QStringLiteral("--%1 gilt nicht mit --project: Geben Sie den Wert in der Projektdatei an, "
                                          "für alle Sätze in [defaults].")
                               .arg(option.names().first()));
    }
    line.projectPath = parser.value(o.project);
    if (line.projectPath.isEmpty())
        return failure(QStringLiteral("--project braucht einen Namen."));
    if (parser.isSet(o.dryRun) && (parser.isSet(o.watch) || parser.isSet(o.depfile)))
        return failure(QStringLiteral("--dry-run schreibt nichts und schließt --watch und --depfile aus."));
    if (parser.isSet(o.scales)) {
        const Result<std::vector<double>> scales = scalesFromText(parser.value(o.scales));
        if (!scales)
            return failure(QStringLiteral("Ungültiger Wert „%1“ für --scales: %2.")
                               .arg(shownName(parser.value(o.scales)), scales.error()));
        line.scales = *scales;
    }
    line.action = CommandLine::Action::Project;
    line.force = parser.isSet(o.force);
    line.dryRun = parser.isSet(o.dryRun);
    line.watch = parser.isSet(o.watch);
    line.verbose = parser.isSet(o.verbose);
    return line;
}

} // namespace

QString commandLineHelp(int width)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    const Options o;
    describeOptions(parser, o, tableOptions());
    const QString description = QStringLiteral(
        "Exportiert eine Texturschrift ohne Fenster: die Bitmap nach BITMAP und die Metrikdatei (.fnt) daneben, "
        "genau wie „Bitmap exportieren“ in Glyfrax. Die Einstellungen kommen aus config.ini; die Optionen ersetzen "
        "einzelne davon. config.ini wird nie geschrieben.\n"
        "Mit --format bmfont entstehen stattdessen Texturseiten (PNG mit Alpha oder BMP) und eine "
        "BMFont-Beschreibung daneben, wie Spiel-Engines sie lesen.\n"
        "Mit --project FONTS.INI entstehen alle Sätze einer Projektdatei, nur die, deren Eingaben sich geändert "
        "haben; dann ohne BITMAP.");
    // Qt's text starts with the usage line; the description follows it, wrapped to the terminal.
    QString help = parser.helpText();
    const qsizetype usageEnd = help.indexOf(u'\n');
    help.insert(usageEnd + 1, u'\n' + wrapped(description, std::max(40, width - 1)) + u'\n');
    return help + QStringLiteral("\nRückgabewerte:\n"
                                 "  0  Die Dateien sind geschrieben (oder die Liste ausgegeben).\n"
                                 "  1  Der Export oder eine Eingabe ist gescheitert; die früheren Dateien\n"
                                 "     bleiben, wie sie waren.\n"
                                 "  2  Die Befehlszeile ist falsch.\n");
}

Result<CommandLine> parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options o;
    const std::vector<TableOption> table = tableOptions();
    describeOptions(parser, o, table);

    CommandLine line;
    auto usageError = [](const QString& message) { return failure(message); };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return usageError(
            unknown.isEmpty()
                ? parser.errorText()
                : QStringLiteral("Unbekannte Option: %1")
                      .arg(shownName((unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) +
                                     unknown.first())));
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        line.action = CommandLine::Action::ShowHelp;
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::ShowVersion;
        return line;
    }

    // A second value would silently replace the first, unless the option's values add up.
    for (const QCommandLineOption& option : optionList(o, table)) {
        const bool addsUp = std::any_of(table.begin(), table.end(), [&option](const TableOption& entry) {
            return entry.entry->addUp && entry.option.names() == option.names();
        });
        if (!option.valueName().isEmpty() && !addsUp && parser.values(option).size() > 1)
            return usageError(
                QStringLiteral("--%1 ist mehrfach angegeben, gilt aber nur einmal.").arg(option.names().first()));
    }

    const QStringList positional = parser.positionalArguments();
    line.quiet = parser.isSet(o.quiet);
    line.allowLarge = parser.isSet(o.allowLarge);
    if (parser.isSet(o.listFonts)) {
        if (!positional.isEmpty() || parser.isSet(o.font))
            return usageError(QStringLiteral("--list-fonts exportiert nichts: Es nimmt weder BITMAP noch --font."));
        if (parser.isSet(o.axes) && parser.isSet(o.fontFile))
            return usageError(QStringLiteral("--axes und --font-file schließen einander aus: --axes nennt die Datei."));
        line.action = CommandLine::Action::ListFonts;
        line.fontFile = parser.value(o.fontFile);
        line.axesFile = parser.value(o.axes);
        if (parser.isSet(o.axes) && line.axesFile.isEmpty())
            return usageError(QStringLiteral("--axes braucht einen Namen."));
        return line;
    }
    if (parser.isSet(o.axes))
        return usageError(QStringLiteral("--axes gilt nur mit --list-fonts."));
    if (parser.isSet(o.finish)) {
        if (!positional.isEmpty())
            return usageError(QStringLiteral("--finish exportiert nichts: Es nimmt keine BITMAP."));
        line.action = CommandLine::Action::Finish;
        line.bitmapPath = parser.value(o.finish);
        return line;
    }
    line.depfile = parser.value(o.depfile);
    if (parser.isSet(o.depfile) && line.depfile.isEmpty())
        return usageError(QStringLiteral("--depfile braucht einen Namen."));
    if (parser.isSet(o.project))
        return readProjectLine(parser, o, table, line);
    for (const QCommandLineOption* option : {&o.force, &o.dryRun, &o.watch, &o.scales}) {
        if (parser.isSet(*option))
            return usageError(QStringLiteral("--%1 gilt nur mit --project.").arg(option->names().first()));
    }
    if (positional.isEmpty())
        return usageError(QStringLiteral("Es fehlt der Pfad der Bitmap (BITMAP)."));
    if (positional.first().isEmpty())
        return usageError(QStringLiteral("Der Pfad der Bitmap (BITMAP) ist leer."));
    if (positional.size() > 1)
        return usageError(
            QStringLiteral("Nur eine Bitmap auf einmal: „%1“ ist zu viel.").arg(shownName(positional.at(1))));
    if (parser.isSet(o.font) && parser.isSet(o.fontFile))
        return usageError(QStringLiteral("--font und --font-file schließen einander aus."));
    // An empty name would quietly mean the usual file or face instead of the one meant.
    for (const QCommandLineOption* named : {&o.config, &o.font, &o.fontFile}) {
        if (parser.isSet(*named) && parser.value(*named).isEmpty())
            return usageError(QStringLiteral("--%1 braucht einen Namen.").arg(named->names().first()));
    }

    ValueReader in(parser);
    SettingOverrides& s = line.overrides;
    if (parser.isSet(o.font))
        s.face = parser.value(o.font);
    s.size = in.read(o.size, valueOf(fontSizeFromText(parser.value(o.size))),
                     QStringLiteral("eine Zahl von ") + fontSizeRangeText());
    s.bold = in.choice(o.bold, o.noBold);
    s.italic = in.choice(o.italic, o.noItalic);
    s.textColor =
        in.read(o.color, colorValueFromText(parser.value(o.color)), QStringLiteral("eine Zahl, #RGB oder #RRGGBB"));
    s.backColor = in.read(o.backColor, colorValueFromText(parser.value(o.backColor)),
                          QStringLiteral("eine Zahl, #RGB oder #RRGGBB"));
    s.writeBinary = in.choice(o.binary, o.text);
    s.takeLong = in.choice(o.longFields, o.shortFields);
    s.labels =
        in.read(o.labels, labelsFrom(parser.value(o.labels)), QStringLiteral("fünf durch Kommas getrennte Texte"));
    s.xDist = in.read(o.xDist, valueOf(gapFromText(parser.value(o.xDist))),
                      QStringLiteral("eine ganze Zahl von ") + gapRangeText());
    s.yDist = in.read(o.yDist, valueOf(gapFromText(parser.value(o.yDist))),
                      QStringLiteral("eine ganze Zahl von ") + gapRangeText());
    line.format =
        in.read(o.format,
                oneOf<CommandLine::Format>(parser.value(o.format), {{u"classic", CommandLine::Format::Classic},
                                                                    {u"bmfont", CommandLine::Format::BmFont}}),
                QStringLiteral("classic oder bmfont"))
            .value_or(CommandLine::Format::Classic);
    if (!in.error().isEmpty())
        return usageError(in.error());
    if (const Result<void> bmfontOptions = readBmFontOptions(parser, o, table, line); !bmfontOptions)
        return usageError(bmfontOptions.error());

    if (!line.depfile.isEmpty() && line.format != CommandLine::Format::BmFont)
        return usageError(QStringLiteral("--depfile gilt nur mit --format bmfont oder --project."));
    line.bitmapPath = positional.first();
    line.configPath = parser.value(o.config);
    line.fontFile = parser.value(o.fontFile);
    return line;
}

Result<void> approveTextureSize(bool allowLarge, std::int32_t width, std::int32_t height)
{
    if ((width <= kLargeTextureSide && height <= kLargeTextureSide) || allowLarge)
        return {};
    const double mebibytes = double(bmpRowBytes(width)) * height / (1024.0 * 1024.0);
    return failure(QStringLiteral("Die Textur wäre %1 x %2 Pixel groß, als Bitmap %3 MiB. Texturen über %4 x %4 "
                                  "Pixel entstehen nur mit --allow-large; es wurde nichts geschrieben.")
                       .arg(width)
                       .arg(height)
                       .arg(QLocale(QLocale::German).toString(mebibytes, 'f', 0))
                       .arg(kLargeTextureSide));
}

} // namespace glyfrax
