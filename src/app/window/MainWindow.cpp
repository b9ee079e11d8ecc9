#include "app/window/MainWindow.h"

#include "Version.h"
#include "app/options/BmFontPropsDialog.h"
#include "app/options/ClassicPropsDialog.h"
#include "app/shared/AppInfo.h"
#include "app/shared/DialogService.h"
#include "app/shared/FontChoice.h"
#include "app/shared/FontDrop.h"
#include "app/view/TextureDrawer.h"
#include "app/view/TextureView.h"
#include "app/window/AboutDialog.h"
#include "app/window/RecentPlaces.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "base/Windows1252.h"
#include "export/bmfont/BmFontExport.h"
#include "export/classic/ClassicExport.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/GlyphPainter.h"
#include "settings/ColorValue.h"
#include "settings/SettingLimits.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressDialog>
#include <QScopedValueRollback>

#include <atomic>
#include <thread>

namespace glyfrax {

namespace {

// The client area and the controls' places, in pixels.
constexpr QSize kClientSize(295, 296);
constexpr QRect kTexLabelRect(9, 6, 142, 16);
constexpr QRect kPreFrameRect(6, 30, 283, 259);
constexpr QPoint kPreLabelPos(12, 21);
// What of the preview fits inside the frame's border.
constexpr QSize kPreviewArea(kPreFrameRect.width() - kPreLabelPos.x() - 6,
                             kPreFrameRect.height() - kPreLabelPos.y() - 6);

QAction* addCommand(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {})
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}

void addSeparator(QMenu* menu, const char* name)
{
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

QMenu* addMenu(QMenuBar* bar, const char* name, const QString& caption)
{
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

// The desktop's font for a widget, held fixed, so that the window's own font does not reach it.
void keepDesktopFont(QWidget* widget)
{
    QFont font = QApplication::font(widget);
    font.setResolveMask(QFont::AllPropertiesResolved);
    widget->setFont(font);
}

// The characters of each texture line; "&" is a character like any other.
QStringList previewLines(const TextureLayout& layout)
{
    QStringList lines;
    for (int line = 0; line < layout.lineCount(); ++line) {
        QString text;
        for (int code = layout.firstCodeOfLine(line); code <= layout.lastCodeOfLine(line); ++code)
            text.append(charFromWindows1252(static_cast<unsigned char>(code)));
        lines.append(text);
    }
    return lines;
}

// While files are made: the window's commands are off, the wait cursor shows, and a long export
// shows a modal progress dialog, so that nothing changes the settings meanwhile.
class ExportScope
{
public:
    ExportScope(QWidget* window, const QString& title) : m_progress(window)
    {
        for (QAction* action : window->findChildren<QAction*>()) {
            if (action->isEnabled()) {
                action->setEnabled(false);
                m_switchedOff.append(action);
            }
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_progress.setWindowTitle(title);
        m_progress.setCancelButton(nullptr);
        m_progress.setWindowModality(Qt::ApplicationModal);
        m_progress.setMinimumDuration(1000); // a short export shows nothing
    }

    ~ExportScope()
    {
        m_progress.reset();
        QApplication::restoreOverrideCursor();
        for (QAction* action : m_switchedOff)
            action->setEnabled(true);
    }

    QProgressDialog& progress() { return m_progress; }

private:
    QProgressDialog m_progress;
    QList<QAction*> m_switchedOff;
};

} // namespace

MainWindow::MainWindow(const QString& programFolder, const Settings& settings, DialogService& dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_programFolder(programFolder), m_settingsLocation(locateSettings(programFolder)), m_settings(settings),
      m_dialogs(dialogs)
{
    initResources();
    setObjectName(QStringLiteral("Glyfrax"));
    setWindowTitle(QStringLiteral("Glyfrax"));
    setWindowIcon(QIcon(QStringLiteral(":/glyfrax/icon.png")));
    buildMenu();
    buildControls();
    acceptFontDrops(this, [this](const QString& path) { useFontFile(path); });
    runLayout();
    adjustSize();
    setFixedSize(size());
}

MainWindow::~MainWindow()
{
    closeOtherWindows();
}

ClassicPropsDialog* MainWindow::exportPropsDialog() const
{
    return m_exportProps;
}

AboutDialog* MainWindow::aboutDialog() const
{
    return m_about;
}

void MainWindow::buildMenu()
{
    QMenuBar* bar = menuBar();
    keepDesktopFont(bar);
    QMenu* file = addMenu(bar, "m_file", QStringLiteral("&Datei"));
    connect(addCommand(file, "m_save", QStringLiteral("Bitmap &exportieren"), QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, this, &MainWindow::exportBitmap);
    addSeparator(file, "m_line0");
    connect(addCommand(file, "m_quit", QStringLiteral("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q)),
            &QAction::triggered, this, &MainWindow::quit);

    QMenu* xtras = addMenu(bar, "m_xtras", QStringLiteral("E&xtras"));
    connect(addCommand(xtras, "m_font", QStringLiteral("&Schriftart einstellen"), QKeySequence(Qt::CTRL | Qt::Key_E)),
            &QAction::triggered, this, &MainWindow::chooseFont);
    addSeparator(xtras, "line1");
    connect(
        addCommand(xtras, "m_forecolor", QStringLiteral("Shrift&farbe einstellen"), QKeySequence(Qt::CTRL | Qt::Key_F)),
        &QAction::triggered, this, &MainWindow::chooseTextColor);
    connect(addCommand(xtras, "n_backcolor", QStringLiteral("Hintergrund&farbe einstellen"),
                       QKeySequence(Qt::CTRL | Qt::Key_C)),
            &QAction::triggered, this, &MainWindow::chooseBackColor);
    addSeparator(xtras, "line4");
    connect(addCommand(xtras, "m_props", QStringLiteral("Exporteinstellungen"), QKeySequence(Qt::CTRL | Qt::Key_P)),
            &QAction::triggered, this, &MainWindow::showExportProps);

    QMenu* view = addMenu(bar, "m_view", QStringLiteral("&Ansicht"));
    connect(addCommand(view, "m_texview", QStringLiteral("&Texturansicht"), QKeySequence(Qt::CTRL | Qt::Key_T)),
            &QAction::triggered, this, &MainWindow::showTextureView);

    QMenu* info = addMenu(bar, "m_info", QStringLiteral("&?"));
    connect(addCommand(info, "m_help", QStringLiteral("&Hilfe"), QKeySequence(Qt::Key_F1)), &QAction::triggered, this,
            &MainWindow::openHelp);
    addSeparator(info, "line3");
    connect(addCommand(info, "m_www", webAddressForDisplay()), &QAction::triggered, this, &MainWindow::openWebsite);
    addSeparator(info, "line2");
    connect(addCommand(info, "m_about", QStringLiteral("&Info zu Glyfrax...")), &QAction::triggered, this,
            &MainWindow::showAbout);
    buildBmFontMenu(file, xtras);
}

void MainWindow::buildControls()
{
    auto* client = new QWidget(this);
    client->setFixedSize(kClientSize);
    keepDesktopFont(client);
    setCentralWidget(client);

    m_texLabel = new QLabel(QStringLiteral("Textur:"), client);
    m_texLabel->setObjectName(QStringLiteral("TexLabel"));
    m_texLabel->setGeometry(kTexLabelRect);

    m_preFrame = new QGroupBox(QStringLiteral("Vorschau"), client);
    m_preFrame->setObjectName(QStringLiteral("PreFrame"));
    m_preFrame->setGeometry(kPreFrameRect);

    m_preLabel = new QLabel(m_preFrame);
    m_preLabel->setObjectName(QStringLiteral("PreLabel"));
    m_preLabel->move(kPreLabelPos);
    m_preLabel->setAccessibleName(QStringLiteral("Vorschau der Zeichen 32 bis 255 in den Zeilen der Textur"));
}

QColor MainWindow::textColor() const
{
    return colorFromValue(m_settings.font.textColor, QApplication::palette());
}

QColor MainWindow::backColor() const
{
    return colorFromValue(m_settings.font.backColor, QApplication::palette());
}

void MainWindow::runLayout()
{
    // The window's own font is the font of the settings, as the font command left it; its
    // controls keep the desktop's font.
    setFont(realizeFont(m_settings.font));
    m_preLabel->hide();
    const FontMeasure measure(m_settings.font);
    const Result<TextureLayout> laid = layoutTexture(measure, m_settings.options.xDist, m_settings.options.yDist);
    if (laid) {
        m_layout = *laid;
        m_texLabel->setText(textureSizeCaption(m_layout.side));
    }
    // On a failure the preview keeps the last layout that worked.
    showPreview(measure);
    emit settingsChanged(m_settings);
    if (!laid)
        m_dialogs.showWarning(this, laid.error());
}

void MainWindow::showPreview(const FontMeasure& measure)
{
    if (m_layout.side == 0) { // no layout has completed yet
        m_preLabel->hide();
        return;
    }
    // Drawn in the screen's own pixels, so that it is as sharp as every other control.
    const QImage image =
        renderPreview(measure, m_layout, textColor(), backColor(), kPreviewArea, m_preLabel->devicePixelRatioF());
    m_preLabel->setPixmap(QPixmap::fromImage(image));
    m_preLabel->resize(image.deviceIndependentSize().toSize());
    m_preLabel->setAccessibleDescription(previewText());
    m_preLabel->show();
}

QString MainWindow::previewText() const
{
    return previewLines(m_layout).join(u'\n');
}

void MainWindow::reportStartup(const QString& path, const LoadedSettings& loaded)
{
    if (const QString report = startupReport(path, loaded); !report.isEmpty())
        m_dialogs.showWarning(this, report);
}

void MainWindow::applyExportOptions(const ClassicOptions& options)
{
    m_settings.options = options;
    runLayout();
}

void MainWindow::chooseFont()
{
    const std::optional<QFont> chosen = m_dialogs.chooseFont(this, realizeFont(m_settings.font));
    if (chosen && chosen->family().trimmed().isEmpty())
        return; // an empty face changes nothing
    if (chosen && chosen->pointSizeF() > double(kMaxFontSize)) {
        m_dialogs.showWarning(this, QStringLiteral("Schriftgrößen über %1 Punkt sind nicht möglich; die Schrift "
                                                   "bleibt, wie sie war.")
                                        .arg(double(kMaxFontSize)));
        return;
    }
    if (chosen)
        m_settings.font = withFont(m_settings.font, *chosen);
    if (m_bmfontProps)
        m_bmfontProps->showFont(m_settings.font);
    runLayout();
}

void MainWindow::useFontFile(const QString& path)
{
    // The settings name a font by its family: a file is of use only when its family is installed.
    const Result<RegisteredFont> font = registerFontFile(path);
    if (!font) {
        m_dialogs.showWarning(this, font.error());
        return;
    }
    if (!isFaceInstalled(font->displayName)) {
        m_dialogs.showWarning(
            this,
            QStringLiteral("Die Schrift „%1“ aus „%2“ ist nicht installiert; die Einstellungen nennen eine Schrift "
                           "beim Namen und fänden sie beim nächsten Start nicht. Installieren Sie die Datei "
                           "(unter Linux etwa in ~/.local/share/fonts), oder nehmen Sie sie als Ersatzschrift: "
                           "„Extras → BMFont-Einstellungen“, Seite „Schriften“, dort auf die Liste ziehen.")
                .arg(shownName(font->displayName), shownPath(path)));
        return;
    }
    m_settings.font.face = font->displayName;
    if (m_bmfontProps)
        m_bmfontProps->showFont(m_settings.font);
    runLayout();
}

void MainWindow::chooseTextColor()
{
    if (const std::optional<QColor> color = m_dialogs.chooseColor(this, textColor(), QStringLiteral("Schriftfarbe"))) {
        m_settings.font.textColor = valueFromColor(*color);
        showPreview(FontMeasure(m_settings.font));
        emit settingsChanged(m_settings);
    }
}

void MainWindow::chooseBackColor()
{
    if (const std::optional<QColor> color =
            m_dialogs.chooseColor(this, backColor(), QStringLiteral("Hintergrundfarbe"))) {
        m_settings.font.backColor = valueFromColor(*color);
        showPreview(FontMeasure(m_settings.font));
        emit settingsChanged(m_settings);
    }
}

void MainWindow::exportBitmap()
{
    const QString path = m_dialogs.chooseBitmapPath(this, documentFolder());
    if (!path.isEmpty())
        exportTo(path);
}

void MainWindow::exportTo(const QString& bitmapPath)
{
    // A texture of 16384 pixels takes seconds and more: Abbrechen stops it at the next band. The
    // export runs here, and the progress dialog takes the click while it is told how far it is.
    std::atomic<bool> cancelled = false;
    const Result<ExportedFiles> exported = [&] {
        ExportScope scope(this, QStringLiteral("Bitmap exportieren"));
        QProgressDialog& progress = scope.progress();
        progress.setRange(0, 100);
        progress.setCancelButtonText(QStringLiteral("Abbrechen"));
        connect(&progress, &QProgressDialog::canceled, this, [&cancelled] { cancelled = true; });
        ClassicRun run;
        run.inputs = {m_settingsLocation.path, m_settingsLocation.defaultsPath}; // never replaced by an export
        run.progress = [&progress](std::int32_t side, int percent) {
            progress.setLabelText(QStringLiteral("Die Textur %1 x %1 wird exportiert …").arg(side));
            progress.setValue(percent);
        };
        run.stillWanted = [&cancelled] { return !cancelled; };
        return exportClassic(bitmapPath, m_settings, QApplication::palette(), run);
    }();
    runLayout();
    if (!exported && cancelled)
        m_dialogs.showMessage(this, exported.error());
    else if (!exported)
        m_dialogs.showWarning(this, exported.error());
}

void MainWindow::showExportProps()
{
    if (!m_exportProps) {
        m_exportProps = new ClassicPropsDialog(m_settings.options);
        connect(m_exportProps, &ClassicPropsDialog::optionsConfirmed, this, &MainWindow::applyExportOptions);
    }
    m_exportProps->show();
    m_exportProps->raise();
    m_exportProps->activateWindow();
}

void MainWindow::showAbout()
{
    if (!m_about)
        m_about = new AboutDialog(m_dialogs);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::openHelp()
{
    const QString path = shippedFilePath(m_programFolder, helpFileName());
    if (path.isEmpty())
        m_dialogs.showWarning(this, QStringLiteral("Die Hilfeseite „%1“ liegt weder bei Glyfrax noch in seinem "
                                                   "Datenordner; die Installation ist unvollständig.")
                                        .arg(helpFileName()));
    else if (!m_dialogs.openUrl(QUrl::fromLocalFile(path)))
        m_dialogs.showMessage(this, QStringLiteral("Kein Browser konnte die Hilfe zeigen. Sie liegt in „%1“; öffnen "
                                                   "Sie die Datei mit einem Browser Ihrer Wahl.")
                                        .arg(QDir::toNativeSeparators(path)));
}

void MainWindow::openWebsite()
{
    m_dialogs.openUrl(QUrl(webAddress()));
}

void MainWindow::quit()
{
    close();
    QCoreApplication::quit();
}

void MainWindow::showTextureView()
{
    if (!m_textureView) {
        m_textureView = new TextureView(m_settings, RecentPlaces::viewProfile());
        connect(m_textureView, &TextureView::profileChosen, this, &RecentPlaces::rememberViewProfile);
        connect(this, &MainWindow::settingsChanged, m_textureView, &TextureView::setSettings);
        connect(m_textureView, &TextureView::planned, this, &MainWindow::tellPlan);
        if (m_bmfontProps)
            previewBmFontOptions(m_bmfontProps->shownOptions());
    }
    m_textureView->show();
    m_textureView->raise();
    m_textureView->activateWindow();
}

TextureView* MainWindow::textureView() const
{
    return m_textureView;
}

void MainWindow::closeOtherWindows()
{
    // The dialogs close with the main window, without running their OK code.
    delete m_exportProps;
    delete m_about;
    delete m_bmfontProps;
    delete m_textureView;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_exportRunning) { // the window stays until its files are written
        event->ignore();
        return;
    }
    if (!m_settingsSaved) {
        // A settings file that cannot be written stays as it was; nothing to tell the user.
        static_cast<void>(writeSettingsFile(m_settingsLocation.path, m_settings));
        m_settingsSaved = true;
    }
    closeOtherWindows();
    event->accept();
}

// BMFont sets: their export, their settings dialog, and the settings file as a whole.

namespace {

// Longer lists of characters end in "…": a message box grows with its text.
constexpr qsizetype kLongestList = 600;

QString shortened(const QString& text)
{
    if (text.size() <= kLongestList)
        return text;
    const qsizetype cut = text.lastIndexOf(QStringLiteral(", "), kLongestList);
    return text.left(cut > 0 ? cut : kLongestList) + QStringLiteral(", …");
}

// What an export wrote and what it left out, as the command line tells it with --verbose.
QString exportReport(const BmFontExported& exported)
{
    QStringList pages;
    for (const QString& page : exported.pagePaths)
        pages.append(QFileInfo(page).fileName());
    const QString pageList = pages.size() <= 4 ? pages.join(QStringLiteral(", "))
                                               : QStringLiteral("%1 … %2").arg(pages.first(), pages.last());
    QStringList parts{pagesCaption(exported), QStringLiteral("Geschrieben in „%1“: %2, %3")
                                                  .arg(shownPath(QFileInfo(exported.descriptorPath).absolutePath()),
                                                       QFileInfo(exported.descriptorPath).fileName(), pageList)};
    if (!exported.missing.empty())
        parts.append(shortened(describeMissing(exported.missing, true)));
    parts += exported.notes;
    return parts.join(QStringLiteral("\n\n"));
}

// Runs work on a thread of its own while the window's events go on, and returns what it made.
template <typename T> T runWhileEventsGoOn(const std::function<T()>& work)
{
    std::optional<T> made;
    QEventLoop loop;
    std::thread worker([&] {
        made.emplace(work());
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join(); // also when the program's end left the loop early
    return std::move(*made);
}

} // namespace

void MainWindow::buildBmFontMenu(QMenu* file, QMenu* xtras)
{
    // Into the menus beside the classic commands, before the line above "Beenden".
    QAction* quitLine = nullptr;
    for (QAction* action : file->actions()) {
        if (action->objectName() == u"m_line0")
            quitLine = action;
    }
    QAction* exportSet = addCommand(file, "m_savebmfont", QStringLiteral("BMFont e&xportieren …"),
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // The last sets, each exported again under its name with the settings as they are now.
    auto* recent = new QMenu(QStringLiteral("&Zuletzt exportiert"), file);
    connect(recent, &QMenu::aboutToShow, this, [this, recent] {
        recent->clear();
        for (const QString& path : RecentPlaces::exports())
            connect(recent->addAction(QDir::toNativeSeparators(path).replace(u'&', QStringLiteral("&&"))),
                    &QAction::triggered, this, [this, path] { exportBmFontTo(path); });
        if (recent->isEmpty())
            recent->addAction(QStringLiteral("(noch keiner)"))->setEnabled(false);
    });
    QAction* again = addCommand(file, "m_reexport", QStringLiteral("Letzten BMFont-Export &wiederholen"),
                                QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(again, &QAction::triggered, this, [this] {
        if (const QStringList paths = RecentPlaces::exports(); paths.isEmpty())
            m_dialogs.showWarning(this, QStringLiteral("Es gibt noch keinen BMFont-Export zu wiederholen."));
        else
            exportBmFontTo(paths.first());
    });
    QAction* line = file->addSeparator();
    line->setObjectName(QStringLiteral("line5"));
    QAction* load = addCommand(file, "m_loadsettings", QStringLiteral("Einstellungen &laden …"));
    QAction* saveAs = addCommand(file, "m_savesettings", QStringLiteral("Einstellungen speichern &unter …"));
    for (QAction* action : {exportSet, recent->menuAction(), again, line, load, saveAs})
        file->insertAction(quitLine, action);
    recent->menuAction()->setObjectName(QStringLiteral("m_recent"));
    connect(exportSet, &QAction::triggered, this, &MainWindow::exportBmFont);
    connect(load, &QAction::triggered, this, &MainWindow::loadSettings);
    connect(saveAs, &QAction::triggered, this, &MainWindow::saveSettingsAs);
    connect(
        addCommand(xtras, "m_bmfont", QStringLiteral("&BMFont-Einstellungen …"), QKeySequence(Qt::CTRL | Qt::Key_B)),
        &QAction::triggered, this, &MainWindow::showBmFontProps);
}

QString MainWindow::documentFolder() const
{
    // An installed copy's folder is no place for the user's files.
    return m_settingsLocation.inUserFolder ? QDir::homePath() : m_programFolder;
}

BmFontPropsDialog* MainWindow::bmFontPropsDialog() const
{
    return m_bmfontProps;
}

void MainWindow::applyBmFontOptions(const BmFontOptions& options)
{
    m_settings.bmfont = options;
    emit settingsChanged(m_settings); // the texture view follows
}

void MainWindow::showBmFontProps()
{
    if (!m_bmfontProps) {
        m_bmfontProps = new BmFontPropsDialog(m_settings.bmfont, m_settings.font, m_dialogs);
        connect(m_bmfontProps, &BmFontPropsDialog::optionsConfirmed, this, &MainWindow::applyBmFontOptions);
        connect(m_bmfontProps, &BmFontPropsDialog::optionsShown, this, &MainWindow::previewBmFontOptions);
        connect(m_bmfontProps, &QDialog::rejected, this, [this] { emit settingsChanged(m_settings); });
        connect(m_bmfontProps, &QObject::destroyed, this, [this] { m_planner.reset(); });
        previewBmFontOptions(m_bmfontProps->shownOptions());
    }
    m_bmfontProps->show();
    m_bmfontProps->raise();
    m_bmfontProps->activateWindow();
}

void MainWindow::previewBmFontOptions(const BmFontOptions& options)
{
    // The texture view shows the options once they are edited (or at once, when it shows a BMFont
    // set already), and the window's again when the edits are discarded; the dialog's figures come
    // from its plan. Otherwise a planner of its own makes them: the set is laid out once either way.
    Settings edited = m_settings;
    edited.bmfont = options;
    if (m_textureView && (m_textureView->profile() == TextureProfile::BmFont || options != m_settings.bmfont)) {
        m_planner.reset();
        m_textureView->setProfile(TextureProfile::BmFont);
        m_textureView->setSettings(edited);
        if (const ViewPicture* shown = m_textureView->picture(); shown && !m_textureView->isDrawing())
            m_bmfontProps->showPlan(*shown);
        return;
    }
    if (!m_planner) {
        m_planner = std::make_unique<TextureDrawer>(QApplication::palette());
        connect(m_planner.get(), &TextureDrawer::planned, this, &MainWindow::tellPlan);
    }
    m_planner->request({edited, TextureProfile::BmFont, 0, {}, false});
}

void MainWindow::tellPlan(const std::shared_ptr<const ViewPicture>& plan)
{
    if (m_bmfontProps)
        m_bmfontProps->showPlan(*plan);
}

void MainWindow::exportBmFont()
{
    FileQuestion question{
        true, QStringLiteral("BMFont exportieren"), RecentPlaces::folder(u"bmfont", documentFolder()), {}, {}};
    // The chosen format first. A page without alpha cannot hold a distance field: its type is not
    // offered, and the title says why.
    const bool field = m_settings.bmfont.field != PageField::None;
    for (const PageImageFacts& facts : kPageImages) {
        const qsizetype at = facts.value == m_settings.bmfont.image ? 0 : question.filters.size();
        if (!field || facts.alpha) {
            question.filters.insert(at, QString::fromUtf16(facts.filter));
            question.suffixes.insert(at, QString::fromUtf16(facts.extension).mid(1));
        }
    }
    if (field)
        question.title += QStringLiteral(" (Distanzfeld: nur %1)").arg(alternatives(pageImagesWithAlpha()));
    const FileAnswer answer = m_dialogs.chooseFile(this, question);
    if (answer.path.isEmpty())
        return;
    RecentPlaces::remember(u"bmfont", answer.path);
    const QString suffix = question.suffixes.value(answer.filter);
    exportBmFontTo(extensionOf(answer.path).isEmpty() ? answer.path + u'.' + suffix : answer.path);
}

void MainWindow::exportBmFontTo(const QString& imagePath)
{
    // What glyfrax-export refuses, the window refuses with the same words: it would ship a stand-in.
    const QString face = m_settings.font.face;
    if (face.trimmed().isEmpty() || face == u"0") {
        m_dialogs.showWarning(this, QStringLiteral("Die Einstellungen nennen keine Schriftart; wählen Sie eine mit "
                                                   "„Extras → Schriftart einstellen“."));
        return;
    }
    if (!isFaceInstalled(face)) {
        m_dialogs.showWarning(this, faceNotInstalledMessage(face));
        return;
    }
    // The export works on a copy of the settings, on a thread of its own, so that the window keeps
    // drawing; the window does not close before it is done.
    std::atomic<bool> cancelled = false; // by the progress dialog's Abbrechen
    const Result<BmFontExported> exported = [&] {
        ExportScope scope(this, QStringLiteral("BMFont exportieren"));
        const QScopedValueRollback running(m_exportRunning, true);
        QProgressDialog& progress = scope.progress();
        progress.setLabelText(QStringLiteral("Die Zeichen werden vermessen …"));
        progress.setRange(0, 0); // busy until the pages are known
        progress.setValue(0);
        QObject relay; // gone before the dialog, and with it any report still on its way
        const Settings settings = m_settings;
        progress.setCancelButtonText(QStringLiteral("Abbrechen"));
        connect(&progress, &QProgressDialog::canceled, &relay, [&cancelled] { cancelled = true; });
        BmFontRun run;
        run.stillWanted = [&cancelled] { return !cancelled; };
        run.words = OptionWords::Window;
        run.inputs = {m_settingsLocation.path, m_settingsLocation.defaultsPath, settings.bmfont.charsFile};
        run.progress = [&relay, &progress](int done, int count) {
            const auto show = [&progress, done, count] {
                progress.setLabelText(QStringLiteral("Seite %1 von %2 wird gezeichnet und geschrieben …")
                                          .arg(std::min(done + 1, count))
                                          .arg(count));
                // Busy until a page is done: a share of pages says nothing before, and a single
                // page would stand at 0 % until it is written.
                if (done > 0) {
                    progress.setMaximum(count);
                    progress.setValue(done);
                }
            };
            QMetaObject::invokeMethod(&relay, show, Qt::QueuedConnection);
        };
        const QPalette palette = QApplication::palette();
        return runWhileEventsGoOn<Result<BmFontExported>>(
            [&] { return glyfrax::exportBmFont(QFileInfo(imagePath).absoluteFilePath(), settings, run, palette); });
    }();
    if (cancelled) {
        m_dialogs.showMessage(this, QStringLiteral("Der BMFont-Export wurde abgebrochen; die bisherigen Dateien "
                                                   "bleiben, wie sie waren."));
        return;
    }
    if (!exported) {
        m_dialogs.showWarning(this, exported.error());
        return;
    }
    RecentPlaces::rememberExport(imagePath);
    m_dialogs.showMessage(this, exportReport(*exported));
}

void MainWindow::saveSettingsAs()
{
    const FileAnswer answer = m_dialogs.chooseFile(this, {true,
                                                          QStringLiteral("Einstellungen speichern unter"),
                                                          RecentPlaces::folder(u"settings", documentFolder()),
                                                          {QStringLiteral("Einstellungen (*.ini)")},
                                                          {QStringLiteral("ini")}});
    if (answer.path.isEmpty())
        return;
    RecentPlaces::remember(u"settings", answer.path);
    saveSettingsTo(extensionOf(answer.path).isEmpty() ? answer.path + QStringLiteral(".ini") : answer.path);
}

void MainWindow::saveSettingsTo(const QString& path)
{
    // A settings file keeps its other lines; a file of another kind is never written into.
    if (fileKind(path) != FileKind::Missing) {
        const LoadedSettings there = readSettingsFile(path);
        if (!there.fileProblem.isEmpty() || there.nothingReadable) {
            m_dialogs.showWarning(this, QStringLiteral("„%1“ ist keine Einstellungsdatei von Glyfrax und bleibt, wie "
                                                       "sie ist. Bitte wählen Sie einen anderen Namen.")
                                            .arg(shownPath(path)));
            return;
        }
    }
    if (const Result<void> written = writeSettingsFile(path, m_settings, BmFontKeys::All); !written)
        m_dialogs.showWarning(this, written.error());
}

void MainWindow::loadSettings()
{
    const FileAnswer answer =
        m_dialogs.chooseFile(this, {false,
                                    QStringLiteral("Einstellungen laden"),
                                    RecentPlaces::folder(u"settings", documentFolder()),
                                    {QStringLiteral("Einstellungen (*.ini)"), QStringLiteral("Alle Dateien (*)")},
                                    {}});
    if (answer.path.isEmpty())
        return;
    RecentPlaces::remember(u"settings", answer.path);
    loadSettingsFrom(answer.path);
}

void MainWindow::loadSettingsFrom(const QString& path)
{
    if (fileKind(path) == FileKind::Missing) {
        m_dialogs.showWarning(this, QStringLiteral("Die Einstellungsdatei „%1“ gibt es nicht.").arg(shownPath(path)));
        return;
    }
    const LoadedSettings loaded = readSettingsFile(path);
    // Nothing is taken over: the words of the start, which goes on with defaults, would not fit.
    if (!loaded.fileProblem.isEmpty()) {
        m_dialogs.showWarning(this,
                              loaded.fileProblem + QStringLiteral("\n\nDie Einstellungen bleiben, wie sie waren."));
        return;
    }
    if (loaded.nothingReadable) {
        m_dialogs.showWarning(this,
                              QStringLiteral("„%1“ ist keine Einstellungsdatei von Glyfrax: Sie hat keine Zeile wie "
                                             "„Size=12“ unter „[Font]“. Die Einstellungen bleiben, wie sie waren.")
                                  .arg(shownPath(path)));
        return;
    }
    // The option dialogs show the settings being replaced: OK there would bring them back.
    delete m_exportProps;
    delete m_bmfontProps;
    m_settings = loaded.settings;
    runLayout();
    reportStartup(path, loaded);
}

} // namespace glyfrax
