#include "app/view/TextureView.h"

#include "app/shared/ScreenFit.h"
#include "app/shared/UnicodeBlocks.h"
#include "app/view/PageCanvas.h"
#include "app/view/ZoomSteps.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace glyfrax {

namespace {

// One notch of a mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;

QScrollArea* scrollArea(QWidget* content, const char* name)
{
    auto* area = new QScrollArea;
    area->setObjectName(QString::fromLatin1(name));
    area->setWidget(content);
    area->setAlignment(Qt::AlignCenter);
    area->setBackgroundRole(QPalette::Dark);
    // The canvas takes the focus; the keys it leaves alone still scroll the area.
    area->setFocusPolicy(Qt::NoFocus);
    return area;
}

// A command of the tool bar, shown by a short sign, named in full for its tip and screen readers.
QAction* addZoomCommand(QMainWindow* window, QToolBar* bar, const char* name, const QString& caption,
                        const QString& sign, const QList<QKeySequence>& keys)
{
    QAction* action = bar->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setIconText(sign);
    action->setShortcuts(keys);
    action->setToolTip(QStringLiteral("%1 (%2)").arg(caption, keys.first().toString(QKeySequence::NativeText)));
    window->addAction(action);
    return action;
}

// Whether the character's glyph is on the page and in the channel the picture shows.
bool shownIn(const BmFontChar& c, const ViewPicture& picture)
{
    return c.page == picture.page && (c.channels == kAllChannels || c.channels == picture.shown.look().channel);
}

} // namespace

TextureView::TextureView(const Settings& settings, TextureProfile profile, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_drawer(QApplication::palette())
{
    setObjectName(QStringLiteral("TextureView"));
    setWindowTitle(QStringLiteral("Texturansicht"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls(profile);
    connect(&m_drawer, &TextureDrawer::drawn, this, &TextureView::showPicture);
    connect(&m_drawer, &TextureDrawer::planned, this, &TextureView::planned);
    fitToScreen(this, QSize(800, 600));
    requestPicture();
}

TextureView::~TextureView() = default;

QString TextureView::defaultSample()
{
    return QStringLiteral("Hamburgefonstiv _gjpqy ÄÖÜ AV To");
}

void TextureView::buildControls(TextureProfile shownFirst)
{
    QToolBar* bar = addToolBar(QStringLiteral("Ansicht"));
    bar->setObjectName(QStringLiteral("ViewBar"));
    bar->setMovable(false);
    auto* profileLabel = new QLabel(QStringLiteral("&Profil: "));
    m_profileBox = new QComboBox;
    m_profileBox->setObjectName(QStringLiteral("ProfileBox"));
    m_profileBox->addItems({QStringLiteral("Klassisch"), QStringLiteral("BMFont")});
    m_profileBox->setAccessibleName(QStringLiteral("Profil"));
    m_profileBox->setAccessibleDescription(
        QStringLiteral("Welche Texturschrift die Ansicht zeigt: das klassische Paar aus BMP und Metrikdatei oder "
                       "einen BMFont-Satz"));
    m_profileBox->setToolTip(m_profileBox->accessibleDescription());
    setProfile(shownFirst);
    profileLabel->setBuddy(m_profileBox);
    bar->addWidget(profileLabel);
    bar->addWidget(m_profileBox);
    bar->addSeparator();
    addZoomCommands();
    m_zoomLabel = new QLabel(zoomCaption(m_zoom));
    m_zoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    m_zoomLabel->setMinimumWidth(m_zoomLabel->fontMetrics().horizontalAdvance(zoomCaption(kLargestZoom)) + 12);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    bar->addWidget(m_zoomLabel);
    bar->addSeparator();
    m_outlines = new QCheckBox(QStringLiteral("&Zellen umranden"));
    m_outlines->setObjectName(QStringLiteral("OutlinesBox"));
    bar->addWidget(m_outlines);
    bar->addSeparator();
    m_busy = new QLabel(QStringLiteral("wird gezeichnet …"));
    m_busy->setObjectName(QStringLiteral("BusyLabel"));
    // A widget on a tool bar is shown and hidden through its action.
    m_busyAction = bar->addWidget(m_busy);

    m_pages = new QTabBar;
    m_pages->setObjectName(QStringLiteral("PageTabs"));
    m_pages->setAccessibleName(QStringLiteral("Seiten"));
    m_pages->setExpanding(false);
    m_channelBox = new QComboBox;
    m_channelBox->setObjectName(QStringLiteral("channelChoice"));
    for (const ChannelName& channel : kPageChannelNames)
        m_channelBox->addItem(QString::fromUtf16(channel.name), channel.channel);
    // Blue first: the cells fill it before the other channels.
    m_channelBox->setCurrentIndex(m_channelBox->findData(1));
    m_channelBox->setAccessibleName(QStringLiteral("Kanal"));
    m_channelBox->setAccessibleDescription(
        QStringLiteral("Welchen Kanal der gepackten Seite die Ansicht zeigt: jeder der vier Kanäle hält Zellen "
                       "eigener Zeichen, als weiße Glyphen gezeigt"));
    m_channelBox->setToolTip(m_channelBox->accessibleDescription());
    auto* channelLabel = new QLabel(QStringLiteral("&Kanal:"));
    channelLabel->setBuddy(m_channelBox);
    m_channelPart = new QWidget;
    auto* channelLayout = new QHBoxLayout(m_channelPart);
    channelLayout->setContentsMargins(8, 0, 4, 0);
    channelLayout->addWidget(channelLabel);
    channelLayout->addWidget(m_channelBox);
    m_channelPart->hide();
    m_canvas = new PageCanvas;
    m_canvas->setObjectName(QStringLiteral("PageCanvas"));
    m_canvas->setAccessibleName(QStringLiteral("Seite der Textur"));
    m_pageArea = scrollArea(m_canvas, "PageArea");
    m_pageArea->viewport()->installEventFilter(this);
    m_canvas->installEventFilter(this);
    auto* pagePart = new QWidget;
    auto* pageLayout = new QVBoxLayout(pagePart);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(m_pages);
    pageRow->addWidget(m_channelPart);
    pageRow->addStretch();
    pageLayout->addLayout(pageRow);
    pageLayout->addWidget(m_pageArea);

    m_sampleEdit = new QLineEdit(defaultSample());
    m_sampleEdit->setObjectName(QStringLiteral("SampleText"));
    m_sampleEdit->setMaxLength(1000);
    m_sampleEdit->setAccessibleName(QStringLiteral("Probetext"));
    auto* sampleLabel = new QLabel(QStringLiteral("Probe&text:"));
    sampleLabel->setBuddy(m_sampleEdit);
    m_sampleCanvas = new PageCanvas;
    m_sampleCanvas->setObjectName(QStringLiteral("SampleCanvas"));
    m_sampleCanvas->setAccessibleName(QStringLiteral("Probetext, aus den Seiten gesetzt"));
    m_sampleArea = scrollArea(m_sampleCanvas, "SampleArea");
    m_sampleArea->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_sampleArea->viewport()->installEventFilter(this);
    m_sampleCanvas->installEventFilter(this);
    auto* samplePart = new QWidget;
    auto* sampleLayout = new QVBoxLayout(samplePart);
    sampleLayout->setContentsMargins(0, 4, 0, 0);
    auto* sampleRow = new QHBoxLayout;
    sampleRow->addWidget(sampleLabel);
    sampleRow->addWidget(m_sampleEdit);
    sampleLayout->addLayout(sampleRow);
    sampleLayout->addWidget(m_sampleArea);

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(pagePart);
    split->addWidget(samplePart);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    setCentralWidget(split);
    statusBar()->setObjectName(QStringLiteral("CellInfo"));

    connect(m_profileBox, &QComboBox::currentIndexChanged, this, [this] {
        m_page = 0;
        requestPicture();
    });
    connect(m_profileBox, &QComboBox::activated, this, [this] { emit profileChosen(profile()); });
    connect(m_outlines, &QCheckBox::toggled, m_canvas, &PageCanvas::setOutlines);
    connect(m_outlines, &QCheckBox::toggled, m_sampleCanvas, &PageCanvas::setOutlines);
    connect(m_pages, &QTabBar::currentChanged, this, [this](int page) {
        if (page >= 0 && page != m_page)
            setPage(page);
    });
    connect(m_channelBox, &QComboBox::currentIndexChanged, this, &TextureView::requestPicture);
    connect(m_sampleEdit, &QLineEdit::textChanged, this, &TextureView::requestPicture);
    for (PageCanvas* canvas : {m_canvas, m_sampleCanvas}) {
        connect(canvas, &PageCanvas::cellTold, this, [this](const QString& description) {
            if (description.isEmpty())
                showCaption();
            else
                statusBar()->showMessage(description);
        });
    }
    connect(m_canvas, &PageCanvas::wantsVisible, this, [this](const QRect& rect) {
        m_pageArea->ensureVisible(rect.center().x(), rect.center().y(), rect.width() / 2 + 20, rect.height() / 2 + 20);
    });
    const QList<QWidget*> order{m_profileBox, m_outlines, m_pages, m_channelBox, m_canvas, m_sampleEdit};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TextureView::addZoomCommands()
{
    QToolBar* bar = findChild<QToolBar*>(QStringLiteral("ViewBar"));
    connect(addZoomCommand(this, bar, "ZoomOut", QStringLiteral("Verkleinern"), QStringLiteral("−"),
                           {QKeySequence(Qt::CTRL | Qt::Key_Minus)}),
            &QAction::triggered, this, &TextureView::zoomOut);
    connect(addZoomCommand(this, bar, "ZoomIn", QStringLiteral("Vergrößern"), QStringLiteral("+"),
                           {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}),
            &QAction::triggered, this, &TextureView::zoomIn);
    connect(addZoomCommand(this, bar, "ZoomFit", QStringLiteral("Einpassen"), QStringLiteral("Einpassen"),
                           {QKeySequence(Qt::CTRL | Qt::Key_0)}),
            &QAction::triggered, this, &TextureView::fitToWindow);
    connect(addZoomCommand(this, bar, "ZoomOne", QStringLiteral("Originalgröße"), QStringLiteral("1:1"),
                           {QKeySequence(Qt::CTRL | Qt::Key_1)}),
            &QAction::triggered, this, [this] { setZoom(1.0); });
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

void TextureView::setSettings(const Settings& settings)
{
    if (settings == m_settings)
        return;
    m_settings = settings;
    requestPicture();
}

TextureProfile TextureView::profile() const
{
    return m_profileBox->currentIndex() == 1 ? TextureProfile::BmFont : TextureProfile::Classic;
}

void TextureView::setProfile(TextureProfile profile)
{
    m_profileBox->setCurrentIndex(profile == TextureProfile::BmFont ? 1 : 0);
}

void TextureView::setPage(int page)
{
    m_page = page;
    requestPicture();
}

void TextureView::requestPicture()
{
    m_waitingFor = m_drawer.request(
        {m_settings, profile(), m_page, m_sampleEdit->text(), true, m_channelBox->currentData().toInt()});
    m_busyAction->setVisible(true);
}

void TextureView::showPicture(const std::shared_ptr<const ViewPicture>& picture)
{
    if (picture->serial != m_waitingFor)
        return; // a newer request is on its way
    m_waitingFor = 0;
    m_busyAction->setVisible(false);
    m_picture = picture;
    std::vector<CanvasCell> cells;
    std::vector<CanvasCell> sampleCells;
    std::vector<CanvasGap> sampleGaps;
    if (const BmFont* font = picture->error.isEmpty() ? picture->descriptor.get() : nullptr) {
        for (std::size_t i = 0; i < font->chars.size(); ++i) {
            const BmFontChar& c = font->chars[i];
            if (shownIn(c, *picture) && c.width > 0 && c.height > 0)
                cells.push_back({QRect(c.x, c.y, c.width, c.height), i});
        }
        for (const SampleGlyph& glyph : picture->sampleLine.glyphs) {
            const BmFontChar& c = font->chars[glyph.index];
            if (c.width > 0 && c.height > 0)
                sampleCells.push_back(
                    {QRect(glyph.corner + picture->sampleOrigin, QSize(c.width, c.height)), glyph.index});
        }
        for (const SampleGap& gap : picture->sampleLine.gaps)
            sampleGaps.push_back(
                {gap.box.translated(picture->sampleOrigin), QStringLiteral("Fehlt: ") + characterTip(gap.character)});
    }
    const QSignalBlocker quiet(m_pages);
    while (m_pages->count() > picture->pageCount)
        m_pages->removeTab(m_pages->count() - 1);
    while (m_pages->count() < picture->pageCount)
        m_pages->addTab(QStringLiteral("Seite %1").arg(m_pages->count()));
    m_pages->setCurrentIndex(picture->page);
    m_pages->setVisible(picture->pageCount > 0);
    m_channelPart->setVisible(picture->packed);
    m_page = picture->page;
    m_canvas->showPage(picture->shown, picture->descriptor, std::move(cells));
    m_sampleCanvas->showPage(picture->sample, picture->descriptor, std::move(sampleCells), std::move(sampleGaps));
    showCaption();
    emit pictureShown();
}

void TextureView::showCaption()
{
    if (!m_picture)
        return;
    if (!m_picture->error.isEmpty()) {
        statusBar()->showMessage(m_picture->error);
        return;
    }
    const QSize size = m_picture->shown.size();
    QString caption = QStringLiteral("Textur: %1x%2").arg(size.width()).arg(size.height());
    if (m_picture->pageCount > 1)
        caption += QStringLiteral(", %1 Seiten").arg(m_picture->pageCount);
    caption += QStringLiteral(", %1 Zeichen").arg(m_picture->descriptor->chars.size());
    if (m_picture->packed) {
        const auto& chars = m_picture->descriptor->chars;
        const auto cells =
            std::count_if(chars.begin(), chars.end(), [this](const BmFontChar& c) { return shownIn(c, *m_picture); });
        caption += QStringLiteral(", davon %1 auf Seite %2 im Kanal %3")
                       .arg(cells == 0 ? QStringLiteral("keines") : QString::number(cells))
                       .arg(m_picture->page)
                       .arg(channelName(m_picture->shown.look().channel));
    }
    statusBar()->showMessage(caption);
}

void TextureView::setZoom(double zoom, std::optional<QPoint> anchor)
{
    zoom = std::clamp(zoom, kSmallestZoom, kLargestZoom);
    QWidget* viewport = m_pageArea->viewport();
    const QPoint at = anchor.value_or(viewport->rect().center());
    const QPointF texel = m_canvas->toTexture(QRectF(m_canvas->mapFrom(viewport, at), QSizeF())).topLeft();
    m_zoom = zoom;
    m_zoomLabel->setText(zoomCaption(zoom));
    m_canvas->setZoom(zoom);
    m_sampleCanvas->setZoom(zoom);
    // The same texture pixel under the anchor as before.
    const QPointF now = m_canvas->fromTexture(QRectF(texel, QSizeF())).topLeft();
    m_pageArea->horizontalScrollBar()->setValue(int(std::lround(now.x() - at.x())));
    m_pageArea->verticalScrollBar()->setValue(int(std::lround(now.y() - at.y())));
}

void TextureView::zoomIn()
{
    setZoom(zoomedIn(m_zoom));
}

void TextureView::zoomOut()
{
    setZoom(zoomedOut(m_zoom));
}

void TextureView::fitToWindow()
{
    const double ratio = devicePixelRatioF();
    const QSize area = m_pageArea->maximumViewportSize() * ratio;
    setZoom(fittingZoom(m_canvas->page().size(), area));
}

bool TextureView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QMainWindow::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false; // the area scrolls
    // Over the page the point under the pointer stays put; over the sample line the page's middle.
    std::optional<QPoint> anchor;
    if (watched == m_pageArea->viewport())
        anchor = wheel->position().toPoint();
    else if (watched == m_canvas)
        anchor = m_canvas->mapTo(m_pageArea->viewport(), wheel->position().toPoint());
    // A touchpad turns in small parts: a step is taken once they add up to a notch.
    m_wheelRest += wheel->angleDelta().y();
    for (; m_wheelRest >= kWheelNotch; m_wheelRest -= kWheelNotch)
        setZoom(zoomedIn(m_zoom), anchor);
    for (; m_wheelRest <= -kWheelNotch; m_wheelRest += kWheelNotch)
        setZoom(zoomedOut(m_zoom), anchor);
    return true;
}

} // namespace glyfrax
