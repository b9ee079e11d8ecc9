#include "app/ShownPage.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace glyfrax {

namespace {

QImage halved(const QImage& image)
{
    if (image.width() < 2 || image.height() < 2)
        return image;
    return image.scaled(image.width() / 2, image.height() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

ShownPage::ShownPage(QImage page) : m_page(std::move(page)), m_half(halved(m_page)), m_quarter(halved(m_half)) {}

qint64 ShownPage::bytes() const
{
    return m_page.sizeInBytes() + m_half.sizeInBytes() + m_quarter.sizeInBytes();
}

void ShownPage::paint(QPainter& painter, const QRect& target, double zoom) const
{
    if (m_page.isNull() || zoom <= 0.0)
        return;
    // The texture pixels that reach into target, and where they land.
    const int left = std::max(0, int(std::floor(target.left() / zoom)));
    const int top = std::max(0, int(std::floor(target.top() / zoom)));
    const int right = std::min(m_page.width(), int(std::ceil((target.right() + 1) / zoom)));
    const int bottom = std::min(m_page.height(), int(std::ceil((target.bottom() + 1) / zoom)));
    if (left >= right || top >= bottom)
        return;
    const QRectF landing(left * zoom, top * zoom, (right - left) * zoom, (bottom - top) * zoom);
    painter.save();
    if (zoom >= 1.0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(landing, m_page, QRectF(left, top, right - left, bottom - top));
    } else {
        // The smallest copy that still has at least one pixel per device pixel.
        const QImage& level = zoom <= 0.25 && !m_quarter.isNull() ? m_quarter
                              : zoom <= 0.5 && !m_half.isNull()   ? m_half
                                                                  : m_page;
        const double fx = double(level.width()) / m_page.width();
        const double fy = double(level.height()) / m_page.height();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(landing, level, QRectF(left * fx, top * fy, (right - left) * fx, (bottom - top) * fy));
    }
    painter.restore();
}

} // namespace glyfrax
