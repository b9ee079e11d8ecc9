#pragma once

#include "layout/TextureLayout.h"
#include "settings/Settings.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QGroupBox;
class QLabel;

namespace glyfrax {

class AboutDialog;
class BmFontPropsDialog;
class DialogService;
class FontMeasure;
class ClassicPropsDialog;
class TextureDrawer;
class TextureView;
struct ViewPicture;

// The main window: the preview of the font and colours, the texture size, and every command.
// It owns the program's settings for the run and writes them back when it closes.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(const QString& programFolder, const Settings& settings, DialogService& dialogs,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    const Settings& settings() const { return m_settings; }
    const TextureLayout& layout() const { return m_layout; }
    // The lines of the preview as laid out, joined by line feeds.
    QString previewText() const;
    // The export settings dialog or About box while it is open.
    ClassicPropsDialog* exportPropsDialog() const;
    AboutDialog* aboutDialog() const;

    // Tells the user, in one message, what was wrong with the settings file read at start: that
    // it could not be read, which settings did not convert, which face stands in for its own.
    void reportStartup(const QString& path, const LoadedSettings& loaded);

    // Confirmed export options; the layout follows.
    void applyExportOptions(const ClassicOptions& options);

    // The commands, as the menu runs them.
    void chooseFont();
    // A font file dropped on the window: its family, when that is installed, becomes the font.
    void useFontFile(const QString& path);
    void chooseTextColor();
    void chooseBackColor();
    void exportBitmap();
    void exportTo(const QString& bitmapPath);
    void showExportProps();
    void showAbout();
    void openHelp();
    void openWebsite();
    void quit();

    // BMFont sets: their export, their settings dialog, and the settings file as a whole.
    BmFontPropsDialog* bmFontPropsDialog() const;
    void applyBmFontOptions(const BmFontOptions& options);
    void exportBmFont();
    void exportBmFontTo(const QString& imagePath);
    void showBmFontProps();
    void saveSettingsAs();
    void saveSettingsTo(const QString& path);
    void loadSettings();
    void loadSettingsFrom(const QString& path);
    // Projects: the one open is remembered for the session and built as its file is then.
    void openProject();
    void openProjectFrom(const QString& path);
    void buildOpenProject();
    QString projectPath() const { return m_projectPath; }
    // The texture view: at most one, following every change of the settings.
    void showTextureView();
    TextureView* textureView() const;

signals:
    // Every change of the settings, as the window now holds them.
    void settingsChanged(const glyfrax::Settings& settings);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildControls();
    void runLayout();
    void showPreview(const FontMeasure& measure);
    QColor textColor() const;
    QColor backColor() const;
    void closeOtherWindows();
    QString documentFolder() const;
    void previewBmFontOptions(const BmFontOptions& options);
    void tellPlan(const std::shared_ptr<const ViewPicture>& plan);

    QString m_programFolder;
    SettingsLocation m_settingsLocation;
    Settings m_settings;
    DialogService& m_dialogs;
    TextureLayout m_layout;
    QLabel* m_texLabel = nullptr;
    QGroupBox* m_preFrame = nullptr;
    QLabel* m_preLabel = nullptr;
    QPointer<ClassicPropsDialog> m_exportProps;
    QPointer<BmFontPropsDialog> m_bmfontProps;
    QPointer<AboutDialog> m_about;
    QPointer<TextureView> m_textureView;
    // Plans the options the BMFont dialog shows, for its figures, while no texture view plans them.
    std::unique_ptr<TextureDrawer> m_planner;
    bool m_settingsSaved = false;
    QString m_projectPath; // empty while no project is open
    QAction* m_buildProject = nullptr;
};

} // namespace glyfrax
