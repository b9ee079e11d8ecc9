#include "app/options/CharacterGroup.h"

#include "app/options/CharacterGridModel.h"
#include "app/shared/ControlHelp.h"
#include "app/shared/DialogService.h"
#include "export/bmfont/BmFontExport.h"
#include "settings/CharacterRanges.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace glyfrax {

namespace {

struct CodePageName
{
    int number;
    const char16_t* name;
};
constexpr CodePageName kCodePages[] = {{1250, u"Mitteleuropäisch"}, {1251, u"Kyrillisch"}, {1252, u"Westeuropäisch"},
                                       {1253, u"Griechisch"},       {1254, u"Türkisch"},   {1255, u"Hebräisch"},
                                       {1256, u"Arabisch"},         {1257, u"Baltisch"},   {1258, u"Vietnamesisch"}};

// Edits come in keystroke by keystroke; the chart follows once typing pauses.
constexpr int kShowDelayMs = 150;

} // namespace

CharacterGroup::CharacterGroup(DialogService& dialogs, const FontSettings& font, FallbackFaces& fallbackFaces)
    : m_dialogs(dialogs), m_fallbackFaces(fallbackFaces), m_font(font)
{
}

CharacterGroup::~CharacterGroup() = default;

QString CharacterGroup::title() const
{
    return QStringLiteral("&Zeichen");
}

QWidget* CharacterGroup::buildPage(const BmFontOptions& options, const std::function<void()>& changed)
{
    m_changed = changed;
    m_fallbacks = options.fallbacks;
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("CharactersPage"));
    auto* form = new QFormLayout;

    m_codePage = new QComboBox(m_page);
    m_codePage->setObjectName(QStringLiteral("CodePageBox"));
    m_codePage->setAccessibleName(QStringLiteral("Codepage"));
    addCodePages(options.codePage);
    explain(m_codePage, QStringLiteral("Die Zeichen der Codes 32 bis 255 einer Windows-Codepage. Ohne Codepage, "
                                       "Bereiche und Datei gelten die Zeichen von Windows-1252."));
    form->addRow(QStringLiteral("&Codepage:"), m_codePage);

    m_chars = addLine(m_page, "CharsText", QStringLiteral("Unicode-Bereiche"));
    m_chars->setText(options.chars);
    m_chars->setPlaceholderText(QStringLiteral("etwa 32-126,160-255,0x20AC"));
    explain(m_chars, QStringLiteral("Zeichen als Unicode-Werte und Bereiche, durch Kommas getrennt: dezimal (65), "
                                    "hexadezimal (0x41 oder U+0041) oder als Bereich (32-126)."));
    m_charsProblem = addProblemLabel(m_page, "CharsProblem");
    auto* rangesBox = new QVBoxLayout;
    rangesBox->addWidget(m_chars);
    rangesBox->addWidget(m_charsProblem);
    form->addRow(buddyLabel(m_page, QStringLiteral("Unicode-Be&reiche:"), m_chars), rangesBox);

    m_charsFile = addLine(m_page, "CharsFileText", QStringLiteral("Zeichendatei"));
    m_charsFile->setText(options.charsFile);
    explain(m_charsFile, QStringLiteral("Alle Zeichen einer UTF-8-Textdatei. Glyfrax liest die Datei bei jedem "
                                        "Export neu, so kommen später hinzugefügte Zeichen mit."));
    QPushButton* browse = addButton(m_page, "CharsFileButton", QStringLiteral("Durchs&uchen …"));
    explain(browse, QStringLiteral("Wählt die UTF-8-Textdatei, deren Zeichen exportiert werden."));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_charsFile, 1);
    fileRow->addWidget(browse);
    form->addRow(buddyLabel(m_page, QStringLiteral("Zeichen&datei:"), m_charsFile), fileRow);

    QPushButton* fromText = addButton(m_page, "TextButton", QStringLiteral("Zeichen aus &Text …"));
    const QString fromTextHelp = QStringLiteral("Die Zeichen eines eingefügten Textes kommen zu den Unicode-Bereichen "
                                                "hinzu; eine Zeichendatei wird dagegen bei jedem Export neu gelesen.");
    explain(fromText, fromTextHelp);
    auto* fromTextNote = new QLabel(fromTextHelp, m_page);
    fromTextNote->setWordWrap(true);
    auto* textRow = new QHBoxLayout;
    textRow->addWidget(fromText, 0, Qt::AlignTop);
    textRow->addWidget(fromTextNote, 1);
    form->addRow(textRow);

    m_model = new CharacterGridModel(m_page);
    m_grid = new QTableView(m_page);
    m_grid->setObjectName(QStringLiteral("CharacterGrid"));
    m_grid->setAccessibleName(QStringLiteral("Gewählte Zeichen"));
    m_grid->setModel(m_model);
    m_grid->setTabKeyNavigation(false); // Tab leaves the chart for the next control
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    explain(m_grid, QStringLiteral("Die gewählten Zeichen nach Unicode-Blöcken, je Zeile 16 Codes. Grau: Zeichen, die "
                                   "die Schrift nicht hat, aber eine Ersatzschrift (Seite „Schriften“); rot: Zeichen, "
                                   "die keine der Schriften hat; der Export lässt sie aus."));
    m_gridLabel = new QLabel(m_page);
    m_gridLabel->setBuddy(m_grid);
    m_count = new QLabel(m_page);
    m_count->setObjectName(QStringLiteral("CountLabel"));
    m_count->setWordWrap(true);

    m_missingGlyph = addLine(m_page, "MissingGlyphText", QStringLiteral("Glyphe für fehlende Zeichen"));
    m_missingGlyph->setText(options.missingGlyph.wanted() ? bmFontOption(u"MissingGlyph").write(options) : QString());
    m_missingGlyph->setPlaceholderText(QStringLiteral("keine; notdef oder ein Zeichen wie ? oder U+25A1"));
    explain(m_missingGlyph, QStringLiteral("Eine Zelle für Zeichen, die keine Schrift hat, als Zeichen -1 der "
                                           "Beschreibung: notdef für die Glyphe, die die Schrift dafür hat, oder "
                                           "ein Zeichen, dessen Glyphe dafür steht. Leer: keine."));
    m_missingProblem = addProblemLabel(m_page, "MissingGlyphProblem");
    auto* missingForm = new QFormLayout;
    auto* missingBox = new QVBoxLayout;
    missingBox->addWidget(m_missingGlyph);
    missingBox->addWidget(m_missingProblem);
    missingForm->addRow(buddyLabel(m_page, QStringLiteral("Glyphe für &fehlende Zeichen:"), m_missingGlyph),
                        missingBox);

    auto* column = new QVBoxLayout(m_page);
    column->addLayout(form);
    column->addWidget(m_gridLabel);
    column->addWidget(m_grid, 1);
    column->addWidget(m_count);
    column->addLayout(missingForm);

    m_showLater = new QTimer(m_page);
    m_showLater->setObjectName(QStringLiteral("ShowLater"));
    m_showLater->setSingleShot(true);
    m_showLater->setInterval(kShowDelayMs);
    QObject::connect(m_showLater, &QTimer::timeout, m_page, [this] { showChosen(); });
    QObject::connect(m_codePage, &QComboBox::currentIndexChanged, m_page, [this] { edited(); });
    QObject::connect(m_chars, &QLineEdit::textEdited, m_page, [this] { edited(); });
    QObject::connect(m_charsFile, &QLineEdit::textEdited, m_page, [this] { edited(); });
    QObject::connect(m_missingGlyph, &QLineEdit::textEdited, m_page, [this] {
        const QString trouble = missingGlyphProblem();
        m_missingProblem->setText(trouble);
        m_missingProblem->setVisible(!trouble.isEmpty());
        m_changed();
    });
    QObject::connect(browse, &QPushButton::clicked, m_page, [this] { chooseCharsFile(); });
    QObject::connect(fromText, &QPushButton::clicked, m_page, [this] { addTextCharacters(); });
    showFont(m_font);
    return m_page;
}

void CharacterGroup::addCodePages(int chosen)
{
    m_codePage->addItem(QStringLiteral("keine"), 0);
    for (const CodePageName& page : kCodePages)
        m_codePage->addItem(QStringLiteral("%1 – %2").arg(page.number).arg(QString::fromUtf16(page.name)), page.number);
    // Another code page from the settings stays as it is, offered as one more entry.
    if (m_codePage->findData(chosen) < 0)
        m_codePage->addItem(QStringLiteral("%1 (aus den Einstellungen)").arg(chosen), chosen);
    m_codePage->setCurrentIndex(m_codePage->findData(chosen));
}

void CharacterGroup::store(BmFontOptions& options) const
{
    options.codePage = m_codePage->currentData().toInt();
    static_cast<void>(bmFontOption(u"Chars").read(options, m_chars->text()));
    static_cast<void>(bmFontOption(u"CharsFile").read(options, m_charsFile->text()));
    static_cast<void>(bmFontOption(u"MissingGlyph").read(options, m_missingGlyph->text()));
}

QString CharacterGroup::problem() const
{
    const QString chars = charsProblem();
    return chars.isEmpty() ? missingGlyphProblem() : chars;
}

QString CharacterGroup::charsProblem() const
{
    BmFontOptions scratch;
    const Result<void> read = bmFontOption(u"Chars").read(scratch, m_chars->text());
    return read ? QString() : QStringLiteral("Unicode-Bereiche: ") + read.error();
}

QString CharacterGroup::missingGlyphProblem() const
{
    BmFontOptions scratch;
    const Result<void> read = bmFontOption(u"MissingGlyph").read(scratch, m_missingGlyph->text());
    return read ? QString() : QStringLiteral("Glyphe für fehlende Zeichen: ") + read.error();
}

void CharacterGroup::showFont(const FontSettings& font)
{
    m_font = font;
    if (!m_page)
        return;
    findFaces();
    showChosen();
}

void CharacterGroup::showOptions(const BmFontOptions& options)
{
    if (!m_page || options.fallbacks == m_fallbacks)
        return;
    m_fallbacks = options.fallbacks;
    findFaces();
    m_showLater->start();
}

void CharacterGroup::findFaces()
{
    const int pixels = std::max(16, QFontInfo(m_grid->font()).pixelSize() * 3 / 2);
    m_faces = {shownFace(m_font, pixels)};
    for (ShownFace& face : m_fallbackFaces.faces(m_fallbacks, m_font, pixels))
        m_faces.push_back(std::move(face));
    const int side = QFontMetrics(m_faces.front().shown).height() + 6;
    m_grid->verticalHeader()->setDefaultSectionSize(side);
    m_grid->horizontalHeader()->setDefaultSectionSize(side);
    const QString name = QString(m_faces.front().name).replace(u'&', QStringLiteral("&&"));
    m_gridLabel->setText(m_fallbacks.isEmpty()
                             ? QStringLiteral("Ge&wählte Zeichen in „%1“ (rot: nicht in der Schrift):").arg(name)
                             : QStringLiteral("Ge&wählte Zeichen in „%1“ (grau: aus einer Ersatzschrift, rot: in "
                                              "keiner Schrift):")
                                   .arg(name));
}

void CharacterGroup::edited()
{
    const QString trouble = charsProblem();
    m_charsProblem->setText(trouble);
    m_charsProblem->setVisible(!trouble.isEmpty());
    m_chars->setAccessibleDescription(trouble.isEmpty() ? m_chars->toolTip() : trouble);
    m_showLater->start();
    m_changed();
}

void CharacterGroup::showChosen()
{
    if (!charsProblem().isEmpty())
        return; // the chart keeps the last characters that could be read
    BmFontOptions options;
    store(options);
    const Result<std::vector<char32_t>> chosen = chosenCharacters(options);
    if (!chosen) {
        m_count->setText(chosen.error());
        return;
    }
    m_model->showCharacters(*chosen, m_faces);
    m_grid->clearSpans();
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (!m_model->isHeading(row))
            continue;
        m_grid->setSpan(row, 0, 1, CharacterGridModel::kColumns);
        // A heading wider than the row wraps onto a second line instead of being cut.
        const QString heading = m_model->index(row, 0).data().toString();
        const QFont bold = m_model->index(row, 0).data(Qt::FontRole).value<QFont>();
        const int across = m_grid->horizontalHeader()->defaultSectionSize() * CharacterGridModel::kColumns;
        const QFontMetrics metrics(bold);
        m_grid->setRowHeight(row, metrics.horizontalAdvance(heading) + 8 > across
                                      ? 2 * metrics.lineSpacing() + 6
                                      : m_grid->verticalHeader()->defaultSectionSize());
    }
    const QLocale german(QLocale::German);
    QString count = QStringLiteral("%1 Zeichen gewählt, davon %2 in der Schrift")
                        .arg(german.toString(qulonglong(m_model->chosenCount())),
                             german.toString(qulonglong(m_model->presentCount())));
    if (m_model->borrowedCount() > 0)
        count += QStringLiteral(", %1 aus Ersatzschriften").arg(german.toString(qulonglong(m_model->borrowedCount())));
    if (m_model->missingCount() > 0)
        count += QStringLiteral(", %1 (rot)").arg(lackingText(qulonglong(m_model->missingCount())));
    m_count->setText(count);
}

void CharacterGroup::addTextCharacters()
{
    const std::optional<QString> text =
        m_dialogs.enterText(m_page, QStringLiteral("Zeichen aus Text"),
                            QStringLiteral("Text, dessen Zeichen zu den Unicode-Bereichen hinzukommen:"));
    const Result<std::vector<char32_t>> listed =
        m_chars->text().trimmed().isEmpty() ? std::vector<char32_t>() : parseCharacterRanges(m_chars->text());
    if (!text || !listed)
        return; // cancelled, or the ranges need mending first, which their note says
    std::vector<char32_t> added;
    for (const char32_t c : charactersOfText(*text)) {
        if (!std::binary_search(listed->begin(), listed->end(), c))
            added.push_back(c);
    }
    if (added.empty())
        return;
    const QString ranges = m_chars->text().trimmed();
    m_chars->setText((ranges.isEmpty() ? QString() : ranges + u',') + formatCharacterRanges(added));
    edited();
}

void CharacterGroup::chooseCharsFile()
{
    const QString current = m_charsFile->text().trimmed();
    const FileAnswer answer =
        m_dialogs.chooseFile(m_page, {false,
                                      QStringLiteral("Zeichendatei wählen"),
                                      current.isEmpty() ? QString() : QFileInfo(current).absolutePath(),
                                      {QStringLiteral("Textdateien (*.txt)"), QStringLiteral("Alle Dateien (*)")},
                                      {}});
    if (answer.path.isEmpty())
        return;
    m_charsFile->setText(answer.path);
    edited();
}

} // namespace glyfrax
