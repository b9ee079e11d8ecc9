#pragma once

#include "app/view/TextureDrawer.h"
#include "export/TexturePlan.h"
#include "settings/Settings.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QTabBar;

namespace glyfrax {

class PageCanvas;

// Shows the pages the next export writes, drawn by the code that writes them, with a sample
// line set from them as an engine sets it. It follows the settings it is given; the drawing runs
// on a thread of its own, and meanwhile the view shows what it had with "wird gezeichnet …".
class TextureView : public QMainWindow
{
    Q_OBJECT

public:
    explicit TextureView(const Settings& settings, TextureProfile profile = TextureProfile::Classic,
                         QWidget* parent = nullptr);
    ~TextureView() override;

    // The settings changed: the view draws what they make.
    void setSettings(const Settings& settings);

    TextureProfile profile() const;
    void setProfile(TextureProfile profile);
    void setPage(int page);
    // What it shows now; null before anything is drawn.
    const ViewPicture* picture() const { return m_picture.get(); }
    bool isDrawing() const { return m_waitingFor != 0; }

    double zoom() const { return m_zoom; }
    // Zooms so that the point of the page under anchor (in the page area) stays where it is; without
    // one, the middle of the area.
    void setZoom(double zoom, std::optional<QPoint> anchor = std::nullopt);
    void zoomIn();
    void zoomOut();
    void fitToWindow();

    static QString defaultSample();

signals:
    // A new picture is on the screen.
    void pictureShown();
    // The user chose a profile (the view's own choices are not told).
    void profileChosen(glyfrax::TextureProfile profile);
    // The figures of the set the next picture shows are known: its pages, the characters it lacks.
    void planned(std::shared_ptr<const glyfrax::ViewPicture> plan);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls(TextureProfile shownFirst);
    void addZoomCommands();
    void requestPicture();
    void showPicture(const std::shared_ptr<const ViewPicture>& picture);
    void showCaption();

    Settings m_settings;
    TextureDrawer m_drawer;
    quint64 m_waitingFor = 0; // the serial of the request not yet shown, or 0
    std::shared_ptr<const ViewPicture> m_picture;
    int m_page = 0;
    double m_zoom = 1.0;
    int m_wheelRest = 0; // wheel turns not yet a zoom step

    QComboBox* m_profileBox = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QCheckBox* m_outlines = nullptr;
    QLabel* m_busy = nullptr;
    QAction* m_busyAction = nullptr;
    QTabBar* m_pages = nullptr;
    QWidget* m_channelPart = nullptr; // the channel choice with its label, for packed pages alone
    QComboBox* m_channelBox = nullptr;
    QScrollArea* m_pageArea = nullptr;
    PageCanvas* m_canvas = nullptr;
    QLineEdit* m_sampleEdit = nullptr;
    QScrollArea* m_sampleArea = nullptr;
    PageCanvas* m_sampleCanvas = nullptr;
};

} // namespace glyfrax
