#include "render/ImageFile.h"

#include "render/BmpWriter.h"
#include "render/PngWriter.h"

#include <QImage>

namespace glyfrax {

bool writeImage(QIODevice& device, const QImage& image, PageImage format, int threads, PageChannels channels)
{
    if (image.isNull())
        return false;
    switch (format) {
    case PageImage::Png:
        return writePng(device, image, threads, channels);
    case PageImage::Bmp:
        if (image.format() == QImage::Format_Alpha8) { // white with alpha: the coverage as grey on black
            QImage grey(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                        QImage::Format_Grayscale8);
            return writeBmp24(device, grey.convertToFormat(QImage::Format_RGB32));
        }
        return writeBmp24(device, image.convertToFormat(QImage::Format_RGB32));
    }
    return false;
}

} // namespace glyfrax
