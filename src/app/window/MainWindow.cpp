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
#include "app/window/BmFontCommands.h"
#include "app/window/ExportRunner.h"
#include "app/window/ProjectCommands.h"
#include "app/window/RecentPlaces.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "base/Windows1252.h"
#include "export/classic/ClassicExport.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/GlyphPainter.h"
#include "settings/ColorValue.h"
#include "settings/SettingLimits.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressDialog>

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
    connect(addCommand(file, "m_savebmfont", QStringLiteral("BMFont e&xportieren …"),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
            &QAction::triggered, this, &MainWindow::exportBmFont);
    // The last sets, each exported again under its name with the settings as they are now.
    auto* recent = new QMenu(QStringLiteral("&Zuletzt exportiert"), file);
    recent->menuAction()->setObjectName(QStringLiteral("m_recent"));
    file->addMenu(recent);
    connect(recent, &QMenu::aboutToShow, this, [this, recent] {
        recent->clear();
        for (const QString& path : RecentPlaces::exports())
            connect(recent->addAction(QDir::toNativeSeparators(path).replace(u'&', QStringLiteral("&&"))),
                    &QAction::triggered, this, [this, path] { exportBmFontTo(path); });
        if (recent->isEmpty())
            recent->addAction(QStringLiteral("(noch keiner)"))->setEnabled(false);
    });
    connect(addCommand(file, "m_reexport", QStringLiteral("Letzten BMFont-Export &wiederholen"),
                       QKeySequence(Qt::CTRL | Qt::Key_R)),
            &QAction::triggered, this, [this] {
                if (const QStringList paths = RecentPlaces::exports(); paths.isEmpty())
                    m_dialogs.showWarning(this, QStringLiteral("Es gibt noch keinen BMFont-Export zu wiederholen."));
                else
                    exportBmFontTo(paths.first());
            });
    addSeparator(file, "line6");
    connect(addCommand(file, "m_openproject", QStringLiteral("&Projekt öffnen …")), &QAction::triggered, this,
            &MainWindow::openProject);
    m_buildProject = addCommand(file, "m_buildproject", QStringLiteral("Projekt b&auen"),
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    m_buildProject->setEnabled(false); // until a project is open
    connect(m_buildProject, &QAction::triggered, this, &MainWindow::buildOpenProject);
    addSeparator(file, "line5");
    connect(addCommand(file, "m_loadsettings", QStringLiteral("Einstellungen &laden …")), &QAction::triggered, this,
            &MainWindow::loadSettings);
    connect(addCommand(file, "m_savesettings", QStringLiteral("Einstellungen speichern &unter …")), &QAction::triggered,
            this, &MainWindow::saveSettingsAs);
    addSeparator(file, "m_line0");
    connect(addCommand(file, "m_quit", QStringLiteral("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q)),
            &QAction::triggered, this, &MainWindow::quit);

    QMenu* xtras = addMenu(bar, "m_xtras", QStringLiteral("E&xtras"));
    connect(addCommand(xtras, "m_font", QStringLiteral("&Schriftart einstellen"), QKeySequence(Qt::CTRL | Qt::Key_E)),
            &QAction::triggered, this, &MainWindow::chooseFont);
    addSeparator(xtras, "line1");
    // "Shrift" and "n_backcolor" are misspelt on purpose: users and the help page know the command by
    // this text, and scripts, tests and assistive tools the actions by these object names. Keep them.
    connect(
        addCommand(xtras, "m_forecolor", QStringLiteral("Shrift&farbe einstellen"), QKeySequence(Qt::CTRL | Qt::Key_F)),
        &QAction::triggered, this, &MainWindow::chooseTextColor);
    connect(addCommand(xtras, "n_backcolor", QStringLiteral("Hintergrund&farbe einstellen"),
                       QKeySequence(Qt::CTRL | Qt::Key_C)),
            &QAction::triggered, this, &MainWindow::chooseBackColor);
    addSeparator(xtras, "line4");
    connect(addCommand(xtras, "m_props", QStringLiteral("Exporteinstellungen"), QKeySequence(Qt::CTRL | Qt::Key_P)),
            &QAction::triggered, this, &MainWindow::showExportProps);
    connect(
        addCommand(xtras, "m_bmfont", QStringLiteral("&BMFont-Einstellungen …"), QKeySequence(Qt::CTRL | Qt::Key_B)),
        &QAction::triggered, this, &MainWindow::showBmFontProps);

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
    // export works on a copy of the settings and makes its font on the runner's thread.
    bool cancelled = false;
    const Result<ExportedFiles> exported = [&] {
        ExportRunner runner(this, QStringLiteral("Bitmap exportieren"));
        QProgressDialog& progress = runner.progress();
        progress.setRange(0, 100);
        progress.setCancelButtonText(QStringLiteral("Abbrechen"));
        ClassicRun run;
        run.inputs = {m_settingsLocation.path, m_settingsLocation.defaultsPath}; // never replaced by an export
        run.progress = [&runner](std::int32_t side, int percent) {
            runner.tell([side, percent](QProgressDialog& shown) {
                shown.setLabelText(QStringLiteral("Die Textur %1 x %1 wird exportiert …").arg(side));
                shown.setValue(percent);
            });
        };
        run.stillWanted = [&runner] { return runner.stillWanted(); };
        const QPalette palette = QApplication::palette();
        Result<ExportedFiles> made =
            runner.run([&, settings = m_settings] { return exportClassic(bitmapPath, settings, palette, run); });
        cancelled = !runner.stillWanted();
        return made;
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
    if (!m_settingsSaved) {
        // A settings file that cannot be written stays as it was; nothing to tell the user.
        static_cast<void>(writeSettingsFile(m_settingsLocation.path, m_settings));
        m_settingsSaved = true;
    }
    closeOtherWindows();
    event->accept();
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
    if (const QString path = askBmFontImagePath(this, m_dialogs, m_settings.bmfont, documentFolder()); !path.isEmpty())
        exportBmFontTo(path);
}

void MainWindow::exportBmFontTo(const QString& imagePath)
{
    exportBmFontSet(this, m_dialogs, m_settings, {m_settingsLocation.path, m_settingsLocation.defaultsPath}, imagePath);
}

void MainWindow::openProject()
{
    if (const QString path = askProjectPath(this, m_dialogs, documentFolder()); !path.isEmpty())
        openProjectFrom(path);
}

void MainWindow::openProjectFrom(const QString& path)
{
    const std::optional<Project> project = openProjectFile(this, m_dialogs, path, m_projectPath);
    if (!project)
        return;
    m_projectPath = project->path;
    // The menu names the project the command builds.
    m_buildProject->setText(QStringLiteral("Projekt „%1“ b&auen")
                                .arg(shownName(projectName(m_projectPath)).replace(u'&', QStringLiteral("&&"))));
    m_buildProject->setEnabled(true);
}

void MainWindow::buildOpenProject()
{
    if (!m_projectPath.isEmpty())
        buildProjectFile(this, m_dialogs, m_projectPath);
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
