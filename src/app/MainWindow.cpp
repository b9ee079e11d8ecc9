#include "app/MainWindow.h"

#include "Version.h"
#include "app/AboutDialog.h"
#include "app/AppInfo.h"
#include "app/DialogService.h"
#include "app/ExportPropsDialog.h"
#include "app/FontChoice.h"
#include "app/TextureView.h"
#include "base/Windows1252.h"
#include "export/FontExport.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/GlyphPainter.h"
#include "settings/ColorValue.h"
#include "settings/SettingLimits.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
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
    runLayout();
    adjustSize();
    setFixedSize(size());
}

MainWindow::~MainWindow()
{
    closeOtherWindows();
}

ExportPropsDialog* MainWindow::exportPropsDialog() const
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

void MainWindow::applyExportOptions(const ExportOptions& options)
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
    // An installed copy's folder is no place for the user's files.
    const QString folder = m_settingsLocation.inUserFolder ? QDir::homePath() : m_programFolder;
    const QString path = m_dialogs.chooseBitmapPath(this, folder);
    if (!path.isEmpty())
        exportTo(path);
}

void MainWindow::exportTo(const QString& bitmapPath)
{
    // Nothing may change the settings while the files are being made: the commands are off, and
    // the progress dialog that a long export shows is modal.
    QList<QAction*> switchedOff;
    for (QAction* action : findChildren<QAction*>()) {
        if (action->isEnabled()) {
            action->setEnabled(false);
            switchedOff.append(action);
        }
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QProgressDialog progress(this);
    progress.setWindowTitle(QStringLiteral("Bitmap exportieren"));
    progress.setCancelButton(nullptr);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(1000); // a short export shows nothing
    progress.setRange(0, 100);

    ExportRun run;
    run.inputs = {m_settingsLocation.path, m_settingsLocation.defaultsPath}; // never replaced by an export
    run.progress = [&progress](std::int32_t side, int percent) {
        progress.setLabelText(QStringLiteral("Die Textur %1 x %1 wird exportiert …").arg(side));
        progress.setValue(percent);
    };
    const Result<ExportedFiles> exported = exportFont(bitmapPath, m_settings, QApplication::palette(), run);
    progress.reset();
    QApplication::restoreOverrideCursor();
    for (QAction* action : switchedOff)
        action->setEnabled(true);
    runLayout();
    if (!exported)
        m_dialogs.showWarning(this, exported.error());
}

void MainWindow::showExportProps()
{
    if (!m_exportProps) {
        m_exportProps = new ExportPropsDialog(m_settings.options);
        connect(m_exportProps, &ExportPropsDialog::optionsConfirmed, this, &MainWindow::applyExportOptions);
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
    if (!path.isEmpty())
        m_dialogs.openUrl(QUrl::fromLocalFile(path));
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
        m_textureView = new TextureView(m_settings);
        connect(this, &MainWindow::settingsChanged, m_textureView, &TextureView::setSettings);
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

} // namespace glyfrax
