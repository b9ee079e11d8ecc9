#include "render/ImageFile.h"

#include "render/BmpWriter.h"
#include "render/PngWriter.h"

#include <QImage>

namespace glyfrax {

ImageFormat imageFormatFor(const QString& path)
{
    return path.endsWith(u".png", Qt::CaseInsensitive) ? ImageFormat::Png : ImageFormat::Bmp;
}

bool writeImage(QIODevice& device, const QImage& image, ImageFormat format, int threads, PageChannels channels)
{
    if (image.isNull())
        return false;
    if (format == ImageFormat::Png)
        return writePng(device, image, threads, channels);
    if (image.format() == QImage::Format_Alpha8) { // white with alpha: the coverage as grey on black
        QImage grey(image.constBits(), image.width(), image.height(), image.bytesPerLine(), QImage::Format_Grayscale8);
        return writeBmp24(device, grey.convertToFormat(QImage::Format_RGB32));
    }
    return writeBmp24(device, image.convertToFormat(QImage::Format_RGB32));
}

} // namespace glyfrax
