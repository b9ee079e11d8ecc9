#include "app/view/PageCanvas.h"

#include "base/CharacterName.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace glyfrax {

namespace {

// Dark squares: pages with alpha hold white glyphs, which vanish on a light board.
QBrush checkerboard()
{
    constexpr int kSquare = 8; // device pixels
    QPixmap tile(2 * kSquare, 2 * kSquare);
    tile.fill(QColor(0x40, 0x40, 0x40));
    QPainter painter(&tile);
    painter.fillRect(0, 0, kSquare, kSquare, QColor(0x58, 0x58, 0x58));
    painter.fillRect(kSquare, kSquare, kSquare, kSquare, QColor(0x58, 0x58, 0x58));
    return QBrush(tile);
}

QString characterName(char32_t id)
{
    if (id == kMissingGlyphId)
        return QStringLiteral("-1 (für fehlende Zeichen)");
    const QString code = codePointText(id);
    const QString text = QString::fromUcs4(&id, 1);
    const bool printable = !text.isEmpty() && QChar::isPrint(id) && !QChar::isSpace(id);
    return printable ? QStringLiteral("„%1“ %2").arg(text, code) : code;
}

} // namespace

PageCanvas::PageCanvas(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PageCanvas::showPage(const ShownPage& page, std::shared_ptr<const BmFont> descriptor,
                          std::vector<CanvasCell> cells, std::vector<CanvasGap> gaps)
{
    m_page = page;
    m_descriptor = std::move(descriptor);
    m_cells = std::move(cells);
    m_gaps = std::move(gaps);
    QStringList lacking;
    for (const CanvasGap& gap : m_gaps)
        lacking.append(gap.description);
    lacking.removeDuplicates();
    m_gapsTold = lacking.join(QStringLiteral("; "));
    setAccessibleDescription(m_gapsTold);
    // In reading order, so that the arrow keys go through a page line by line.
    std::stable_sort(m_cells.begin(), m_cells.end(), [](const CanvasCell& a, const CanvasCell& b) {
        return std::pair(a.rect.y(), a.rect.x()) < std::pair(b.rect.y(), b.rect.x());
    });
    m_chosen = -1;
    fitSize();
    update();
}

void PageCanvas::setZoom(double zoom)
{
    m_zoom = zoom;
    fitSize();
    update();
}

void PageCanvas::setOutlines(bool shown)
{
    m_outlines = shown;
    update();
}

void PageCanvas::fitSize()
{
    const double scale = m_zoom / devicePixelRatioF();
    setFixedSize(int(std::ceil(m_page.size().width() * scale)), int(std::ceil(m_page.size().height() * scale)));
}

QRectF PageCanvas::toTexture(const QRectF& widgetRect) const
{
    const double scale = devicePixelRatioF() / m_zoom;
    return {widgetRect.topLeft() * scale, widgetRect.size() * scale};
}

QRectF PageCanvas::fromTexture(const QRectF& textureRect) const
{
    const double scale = m_zoom / devicePixelRatioF();
    return {textureRect.topLeft() * scale, textureRect.size() * scale};
}

QString PageCanvas::describeCell(const BmFont& font, const std::vector<std::size_t>& indices)
{
    if (indices.empty())
        return {};
    QStringList names;
    for (const std::size_t index : indices)
        names.append(characterName(font.chars[index].id));
    const BmFontChar& c = font.chars[indices.front()];
    QString told = QStringLiteral("%1 · Zelle (%2, %3, %4, %5) · Versatz (%6, %7) · Vorschub %8")
                       .arg(names.join(QStringLiteral(", ")))
                       .arg(c.x)
                       .arg(c.y)
                       .arg(c.width)
                       .arg(c.height)
                       .arg(c.xoffset)
                       .arg(c.yoffset)
                       .arg(c.xadvance);
    // On packed pages a cell is found by its page and channel too.
    if (c.channels != kAllChannels)
        told += QStringLiteral(" · Seite %1, Kanal %2").arg(c.page).arg(channelName(c.channels));
    return told;
}

std::vector<std::size_t> PageCanvas::charactersOf(const QRect& rect) const
{
    std::vector<std::size_t> indices;
    for (const CanvasCell& cell : m_cells) {
        if (cell.rect == rect)
            indices.push_back(cell.index);
    }
    return indices;
}

void PageCanvas::tell(const QRect& rect, const QString& gap)
{
    // A cell reached by the keys, or left by the pointer, tells the gap it stands in.
    QStringList told{gap.isEmpty() && !rect.isEmpty() ? gapAt(fromTexture(rect).center()) : gap};
    if (m_descriptor)
        told.append(describeCell(*m_descriptor, charactersOf(rect)));
    told.removeAll(QString());
    const QString description = told.join(QStringLiteral(" · "));
    setAccessibleDescription(description.isEmpty() ? m_gapsTold : description);
    emit cellTold(description);
}

QString PageCanvas::gapAt(const QPointF& at) const
{
    const QPointF texel = toTexture(QRectF(at, QSizeF())).topLeft();
    QStringList lacking;
    for (const CanvasGap& gap : m_gaps) {
        if (QRectF(gap.rect).contains(texel))
            lacking.append(gap.description);
    }
    return lacking.join(QStringLiteral("; "));
}

bool PageCanvas::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    if (const QString lacking = gapAt(help->pos()); !lacking.isEmpty())
        QToolTip::showText(help->globalPos(), lacking, this);
    else
        QToolTip::hideText();
    return true;
}

void PageCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // From here on in device pixels: at 100 % one texture pixel is one pixel of the screen.
    const double ratio = devicePixelRatioF();
    painter.scale(1.0 / ratio, 1.0 / ratio);
    const QRect exposed =
        QRectF(QPointF(event->rect().topLeft()) * ratio, QSizeF(event->rect().size()) * ratio).toAlignedRect();
    const QRect pageArea =
        QRect(0, 0, int(std::ceil(m_page.size().width() * m_zoom)), int(std::ceil(m_page.size().height() * m_zoom))) &
        exposed;
    if (m_page.hasAlpha())
        painter.fillRect(pageArea, checkerboard());
    m_page.paint(painter, pageArea, m_zoom);

    auto onScreen = [this](const QRect& cell) {
        return QRectF(cell.x() * m_zoom, cell.y() * m_zoom, cell.width() * m_zoom, cell.height() * m_zoom)
            .toAlignedRect();
    };
    if (m_outlines) {
        painter.setPen(QPen(QColor(0x00, 0xB0, 0xFF), 0));
        for (const CanvasCell& cell : m_cells) {
            if (const QRect box = onScreen(cell.rect); box.intersects(exposed))
                painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
    }
    // Red, a pixel of the screen wide: a gap is often no wider than a space.
    painter.setPen(QPen(QColor(0xE0, 0x20, 0x20), ratio));
    for (const CanvasGap& gap : m_gaps) {
        if (const QRect box = onScreen(gap.rect); box.intersects(exposed))
            painter.drawRect(QRectF(box).adjusted(ratio / 2, ratio / 2, -ratio / 2, -ratio / 2));
    }
    if (m_chosen >= 0) {
        // Orange: apart from the blue outlines and from white or coloured glyphs alike.
        painter.setPen(QPen(QColor(0xFF, 0x90, 0x00), 2 * ratio));
        painter.drawRect(QRectF(onScreen(m_cells[std::size_t(m_chosen)].rect)).adjusted(-ratio, -ratio, ratio, ratio));
    }
}

void PageCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = toTexture(QRectF(event->position(), QSizeF())).topLeft();
    const QPoint pixel(int(std::floor(at.x())), int(std::floor(at.y())));
    const auto hit = std::find_if(m_cells.begin(), m_cells.end(),
                                  [pixel](const CanvasCell& cell) { return cell.rect.contains(pixel); });
    tell(hit != m_cells.end() ? hit->rect : QRect(), gapAt(event->position()));
}

void PageCanvas::leaveEvent(QEvent* event)
{
    tell(m_chosen >= 0 ? m_cells[std::size_t(m_chosen)].rect : QRect());
    QWidget::leaveEvent(event);
}

void PageCanvas::keyPressEvent(QKeyEvent* event)
{
    const int last = int(m_cells.size()) - 1;
    if (last < 0 || event->modifiers() != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    // The cells one glyph shares with others count once.
    auto step = [this, last](int from, int direction) {
        int cell = from;
        do
            cell += direction;
        while (cell > 0 && cell < last && m_cells[std::size_t(cell)].rect == m_cells[std::size_t(from)].rect);
        return std::clamp(cell, 0, last);
    };
    switch (event->key()) {
    case Qt::Key_Right:
        choose(m_chosen < 0 ? 0 : step(m_chosen, 1));
        break;
    case Qt::Key_Left:
        choose(m_chosen < 0 ? 0 : step(m_chosen, -1));
        break;
    case Qt::Key_Home:
        choose(0);
        break;
    case Qt::Key_End:
        choose(last);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PageCanvas::choose(int cell)
{
    m_chosen = cell;
    const QRect rect = m_cells[std::size_t(cell)].rect;
    tell(rect);
    emit wantsVisible(fromTexture(rect).toAlignedRect());
    update();
}

} // namespace glyfrax
