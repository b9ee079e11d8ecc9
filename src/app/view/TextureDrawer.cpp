#include "app/view/TextureDrawer.h"

#include "settings/ColorValue.h"

#include <QPainter>

#include <algorithm>
#include <set>

namespace glyfrax {

namespace {

// Wider or taller sample lines are cut off: a line of huge glyphs would take memory without end.
constexpr int kLargestSampleSide = 8192;
// Larger pages are not drawn for the view: one would hold a gigabyte and more. The export still
// writes them, in bands.
constexpr qint64 kLargestShownPage = qint64(8192) * 8192;

struct SampleImage
{
    QImage image;
    QPoint origin;
};

// A cell of a distance field laid onto the sample: each channel the larger of the two, so that
// cells that overlap show both glyphs, as an engine draws each cell on its own.
void layField(QImage& sample, QPoint corner, const QImage& page, const QRect& cell)
{
    const QRect onto = QRect(corner, cell.size()) & sample.rect();
    for (int y = onto.top(); y <= onto.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(page.constScanLine(cell.top() + y - corner.y()));
        auto* to = reinterpret_cast<QRgb*>(sample.scanLine(y));
        for (int x = onto.left(); x <= onto.right(); ++x) {
            const QRgb a = to[x];
            const QRgb b = from[cell.left() + x - corner.x()];
            to[x] = qRgba(std::max(qRed(a), qRed(b)), std::max(qGreen(a), qGreen(b)), std::max(qBlue(a), qBlue(b)),
                          std::max(qAlpha(a), qAlpha(b)));
        }
    }
}

// The channel an engine reads a character's glyph from: its own on packed pages, else the one
// the look reads (the grey of an 8-bit page), or the page as it is.
int channelOf(const BmFontChar& c, const PageLook& look)
{
    return c.channels != kAllChannels ? c.channels : look.channel;
}

// The sample line set from the pages as an engine blits it: each character's cell read from its
// page, blended over what is there (a distance field's cells laid by layField). The pages the line
// needs besides the one drawn already are drawn one at a time.
SampleImage composeSample(const TexturePlan& plan, const SampleLine& line, int drawnPage, const QImage& drawn,
                          const PageLook& look)
{
    const bool field = look.field != PageField::None;
    const BmFont& font = plan.descriptor();
    QRect area = line.cells | QRect(0, 0, std::max(line.penEnd, 1), std::max(font.lineHeight, 1));
    for (const SampleGap& gap : line.gaps)
        area |= gap.box;
    area.setSize(area.size().boundedTo(QSize(kLargestSampleSide, kLargestSampleSide)));
    SampleImage sample{QImage(area.size(), field ? QImage::Format_ARGB32 : QImage::Format_ARGB32_Premultiplied),
                       -area.topLeft()};
    if (sample.image.isNull())
        return {};
    sample.image.fill(Qt::transparent);
    std::set<int> pages;
    for (const SampleGlyph& glyph : line.glyphs)
        pages.insert(font.chars[glyph.index].page);
    QPainter painter(&sample.image);
    painter.translate(sample.origin);
    for (const int page : pages) {
        const QImage image = page == drawnPage ? drawn : plan.drawPage(page);
        for (const SampleGlyph& glyph : line.glyphs) {
            const BmFontChar& c = font.chars[glyph.index];
            // An empty source would be taken as the whole page.
            if (c.page != page || c.width <= 0 || c.height <= 0)
                continue;
            QRect cell(c.x, c.y, c.width, c.height);
            QImage read = image;
            if (const int channel = channelOf(c, look); channel != kAllChannels) {
                read = readChannel(image, channel, cell, field);
                cell = read.rect();
            }
            if (field)
                layField(sample.image, glyph.corner + sample.origin, read, cell);
            else
                painter.drawImage(glyph.corner, read, cell);
        }
    }
    return sample;
}

} // namespace

TextureDrawer::TextureDrawer(const QPalette& palette, QObject* parent)
    : QObject(parent), m_palette(palette), m_thread([this] { work(); })
{
}

TextureDrawer::~TextureDrawer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

quint64 TextureDrawer::request(const ViewRequest& request)
{
    quint64 serial = 0;
    {
        const std::lock_guard lock(m_mutex);
        serial = ++m_lastSerial;
        m_pending = Pending{serial, request};
    }
    m_wake.notify_one();
    return serial;
}

bool TextureDrawer::stillWanted(const ViewRequest& running)
{
    const std::lock_guard lock(m_mutex);
    return !m_stopping && (!m_pending || (m_pending->request.settings == running.settings &&
                                          m_pending->request.profile == running.profile));
}

void TextureDrawer::work()
{
    // Everything made from a font stays on this thread, and ends here with it.
    std::optional<TexturePlan> plan;
    std::optional<ViewRequest> plannedFor; // its settings and profile count
    std::shared_ptr<const BmFont> descriptor;
    QString planError;
    int drawnPage = -1;
    ShownPage shown;
    PageLook look;
    for (;;) {
        Pending next;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || m_pending; });
            if (m_stopping)
                return;
            next = std::move(*m_pending);
            m_pending.reset();
        }
        const ViewRequest& wanted = next.request;
        if (!plannedFor || plannedFor->settings != wanted.settings || plannedFor->profile != wanted.profile) {
            plan.reset();
            descriptor.reset();
            drawnPage = -1;
            shown = {};
            plannedFor.reset();
            Result<TexturePlan> made =
                TexturePlan::make(wanted.settings, wanted.profile, m_palette, [&] { return stillWanted(wanted); });
            if (!stillWanted(wanted))
                continue; // a newer request with other settings waits
            plannedFor = wanted;
            planError = made ? QString() : made.error();
            if (made) {
                plan.emplace(std::move(*made));
                descriptor = std::make_shared<const BmFont>(plan->descriptor());
            }
            const BmFontOptions& options = wanted.settings.bmfont;
            look = {wanted.profile == TextureProfile::BmFont ? options.field : PageField::None,
                    double(options.distanceRange), colorFromValue(wanted.settings.font.textColor, m_palette)};
        }
        // A packed page shows the channel asked for; an 8-bit page's grey is read as the glyphs'
        // coverage, as on every other page.
        const bool grey =
            wanted.profile == TextureProfile::BmFont && wanted.settings.bmfont.channels == PageChannels::Gray;
        look.channel = plan && plan->packed() ? wanted.channel : grey ? 4 : kAllChannels;
        auto picture = std::make_shared<ViewPicture>();
        picture->serial = next.serial;
        picture->settings = wanted.settings;
        picture->profile = wanted.profile;
        picture->error = planError;
        if (plan) {
            picture->descriptor = descriptor;
            picture->pageCount = plan->pageCount();
            picture->pageSize = plan->pageSize();
            picture->packed = plan->packed();
            picture->missing = plan->missing();
            picture->page = std::clamp(wanted.page, 0, picture->pageCount - 1);
        }
        deliver(&TextureDrawer::planned, std::make_shared<const ViewPicture>(*picture));
        if (!wanted.drawing)
            continue;
        if (plan) {
            const QSize size = picture->pageSize;
            if (qint64(size.width()) * size.height() > kLargestShownPage) {
                picture->error = QStringLiteral("Die Textur hat %1 x %2 Pixel; die Ansicht zeigt Seiten bis 8192 x "
                                                "8192 Pixel. Der Export schreibt sie trotzdem.")
                                     .arg(size.width())
                                     .arg(size.height());
            } else {
                if (picture->page != drawnPage) {
                    QImage page = plan->drawPage(picture->page);
                    if (!stillWanted(wanted))
                        continue; // its smaller copies would take as long again
                    shown = ShownPage(std::move(page), look);
                    drawnPage = shown.page().isNull() ? -1 : picture->page;
                } else if (shown.look() != look) {
                    shown = ShownPage(shown.page(), look); // another channel of the page drawn
                }
                if (drawnPage < 0) {
                    picture->error = QStringLiteral("Für eine Seite von %1 x %2 Pixeln ist nicht genug Speicher frei.")
                                         .arg(size.width())
                                         .arg(size.height());
                } else {
                    picture->shown = shown;
                    picture->sampleLine = setSampleText(*descriptor, wanted.sample);
                    const SampleImage sample = composeSample(*plan, picture->sampleLine, drawnPage, shown.page(), look);
                    // Each cell read from its channel already.
                    picture->sample = ShownPage(sample.image, {look.field, look.range, look.color});
                    picture->sampleOrigin = sample.origin;
                }
            }
        }
        deliver(&TextureDrawer::drawn, std::move(picture));
    }
}

void TextureDrawer::deliver(void (TextureDrawer::*signal)(std::shared_ptr<const ViewPicture>),
                            std::shared_ptr<const ViewPicture> picture)
{
    QMetaObject::invokeMethod(
        this,
        [this, signal, done = std::move(picture)] {
            bool newest = false;
            {
                const std::lock_guard lock(m_mutex);
                newest = done->serial == m_lastSerial;
            }
            if (newest)
                emit(this->*signal)(done);
        },
        Qt::QueuedConnection);
}

} // namespace glyfrax
