#include "render/ImageFile.h"

#include "render/BmpWriter.h"

#include <QImage>
#include <QImageWriter>

namespace glyfrax {

ImageFormat imageFormatFor(const QString& path)
{
    return path.endsWith(u".png", Qt::CaseInsensitive) ? ImageFormat::Png : ImageFormat::Bmp;
}

bool writeImage(QIODevice& device, const QImage& image, ImageFormat format)
{
    if (image.isNull())
        return false;
    if (format == ImageFormat::Png) {
        QImageWriter writer(&device, QByteArrayLiteral("png"));
        return writer.write(image);
    }
    return writeBmp24(device, image.convertToFormat(QImage::Format_RGB32));
}

} // namespace glyfrax
