#include "render/PngWriter.h"

#include "base/Parallel.h"

#include <QIODevice>
#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <zlib.h>

namespace glyfrax {

namespace {

// Glyph pages are mostly runs of one value, which every level compresses alike. Level 4 with the
// strategy for filtered rows takes half the time of the usual level 6 for files about 5 % larger;
// lower levels lose 10 to 25 % for little time.
constexpr int kLevel = 4;
constexpr int kStrategy = Z_FILTERED;
// Pages of colour with alpha (distance fields, glyphs with effects) are smooth rather than runs:
// the short matches that the strategy for filtered rows leaves out pay there. An sdf page of DejaVu
// Sans at 32 pixels shrinks by a third with them, a page with effects by 7 %, in the same time.
constexpr int kColourStrategy = Z_DEFAULT_STRATEGY;
// Rows are compressed in pieces of about this many bytes, each on its own. Smaller pieces would
// lose more of what one piece could refer back to in the one before.
constexpr qsizetype kPieceBytes = qsizetype(1) << 20;
// What deflate may refer back to.
constexpr std::size_t kWindow = 32768;

enum Filter : unsigned char
{
    None = 0,
    Sub = 1,
    Up = 2,
    Average = 3,
    Paeth = 4
};

// The bytes of one row of the file, unfiltered.
void rowBytes(const QImage& image, int y, PageChannels channels, std::vector<unsigned char>& out)
{
    const uchar* line = image.constScanLine(y);
    unsigned char* o = out.data();
    const int width = image.width();
    const bool alphaOnly = image.format() == QImage::Format_Alpha8;
    // Fewer channels: the glyph's grey (a Format_Alpha8 image's alpha), or red and alpha.
    const auto pixel = [&](int x) {
        return alphaOnly ? qRgba(255, 255, 255, line[x]) : reinterpret_cast<const QRgb*>(line)[x];
    };
    if (channels == PageChannels::Gray) {
        for (int x = 0; x < width; ++x)
            o[x] = alphaOnly ? line[x] : uchar(qRed(pixel(x)));
        return;
    }
    if (channels == PageChannels::Alpha) {
        for (int x = 0; x < width; ++x, o += 2) {
            o[0] = uchar(qRed(pixel(x)));
            o[1] = uchar(qAlpha(pixel(x)));
        }
        return;
    }
    switch (image.format()) {
    case QImage::Format_Alpha8:
        for (int x = 0; x < width; ++x, o += 4) {
            o[0] = o[1] = o[2] = 0xFF;
            o[3] = line[x];
        }
        break;
    case QImage::Format_ARGB32:
        for (int x = 0; x < width; ++x, o += 4) {
            const QRgb pixel = reinterpret_cast<const QRgb*>(line)[x];
            o[0] = uchar(qRed(pixel));
            o[1] = uchar(qGreen(pixel));
            o[2] = uchar(qBlue(pixel));
            o[3] = uchar(qAlpha(pixel));
        }
        break;
    default: // RGB32
        for (int x = 0; x < width; ++x, o += 3) {
            const QRgb pixel = reinterpret_cast<const QRgb*>(line)[x];
            o[0] = uchar(qRed(pixel));
            o[1] = uchar(qGreen(pixel));
            o[2] = uchar(qBlue(pixel));
        }
        break;
    }
}

unsigned char paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return uchar(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The row filtered with one filter into out; returns the sum of its bytes read as signed, by
// which the filters are compared, or as soon as it reaches limit some sum from there on.
template <Filter filter>
std::size_t filterRow(const unsigned char* row, const unsigned char* above, std::size_t n, std::size_t bpp,
                      unsigned char* out, std::size_t limit)
{
    std::size_t sum = 0;
    const auto put = [&](std::size_t i, int a, int b, int c) {
        int predicted = 0;
        if constexpr (filter == Sub)
            predicted = a;
        else if constexpr (filter == Up)
            predicted = b;
        else if constexpr (filter == Average)
            predicted = (a + b) / 2;
        else if constexpr (filter == Paeth)
            predicted = paeth(a, b, c);
        const auto value = uchar(row[i] - predicted);
        out[i] = value;
        sum += value < 128 ? value : 256U - value;
    };
    for (std::size_t i = 0; i < std::min(bpp, n); ++i)
        put(i, 0, above[i], 0);
    // In stretches, so that the loop stays simple, and a filter that has lost stops early.
    constexpr std::size_t kStretch = 256;
    for (std::size_t start = bpp; start < n && sum < limit; start += kStretch) {
        for (std::size_t i = start, end = std::min(n, start + kStretch); i < end; ++i)
            put(i, row[i - bpp], above[i], above[i - bpp]);
    }
    return sum;
}

// Appends the row filtered with the filter whose bytes, read as signed, add up to the least: the
// usual choice, which suits deflate best on average.
void appendFiltered(const std::vector<unsigned char>& row, const std::vector<unsigned char>& above, int pixelBytes,
                    std::vector<unsigned char>& candidate, std::vector<unsigned char>& out)
{
    const std::size_t n = row.size();
    const auto bpp = std::size_t(pixelBytes);
    const std::size_t at = out.size();
    out.resize(at + 1 + n);
    unsigned char* best = out.data() + at + 1;
    out[at] = None;
    std::size_t bestSum = filterRow<None>(row.data(), above.data(), n, bpp, best, SIZE_MAX);
    const auto tryFilter = [&](Filter filter,
                               std::size_t (*apply)(const unsigned char*, const unsigned char*, std::size_t,
                                                    std::size_t, unsigned char*, std::size_t)) {
        const std::size_t sum = apply(row.data(), above.data(), n, bpp, candidate.data(), bestSum);
        if (sum < bestSum) {
            bestSum = sum;
            out[at] = filter;
            std::copy(candidate.begin(), candidate.begin() + std::ptrdiff_t(n), best);
        }
    };
    tryFilter(Sub, filterRow<Sub>);
    tryFilter(Up, filterRow<Up>);
    tryFilter(Average, filterRow<Average>);
    tryFilter(Paeth, filterRow<Paeth>);
}

// The same for a row of white pixels with the alpha of a Format_Alpha8 row (above: null for the
// first row): the filter is chosen by the alpha bytes alone, as red, green and blue are 255
// everywhere and filter to the same bytes in every pixel but the first.
void appendFilteredAlpha(const uchar* alpha, const uchar* above, std::size_t width,
                         std::vector<unsigned char>& candidate, std::vector<unsigned char>& out)
{
    const std::vector<unsigned char> noRow(above ? 0 : width, 0);
    const uchar* up = above ? above : noRow.data();
    std::vector<unsigned char> none(alpha, alpha + width);
    Filter chosen = None;
    std::size_t bestSum = filterRow<None>(alpha, up, width, 1, none.data(), SIZE_MAX);
    const auto tryFilter = [&](Filter filter,
                               std::size_t (*apply)(const unsigned char*, const unsigned char*, std::size_t,
                                                    std::size_t, unsigned char*, std::size_t)) {
        const std::size_t sum = apply(alpha, up, width, 1, candidate.data(), bestSum);
        if (sum < bestSum) {
            bestSum = sum;
            chosen = filter;
            std::copy(candidate.begin(), candidate.begin() + std::ptrdiff_t(width), none.begin());
        }
    };
    tryFilter(Sub, filterRow<Sub>);
    tryFilter(Up, filterRow<Up>);
    tryFilter(Average, filterRow<Average>);
    tryFilter(Paeth, filterRow<Paeth>);
    // Red, green and blue of the first pixel and of the others, filtered.
    const int b = above ? 0xFF : 0;
    const auto colour = [chosen, b](int a, int c) {
        const int predicted = chosen == Sub       ? a
                              : chosen == Up      ? b
                              : chosen == Average ? (a + b) / 2
                              : chosen == Paeth   ? paeth(a, b, c)
                                                  : 0;
        return uchar(0xFF - predicted);
    };
    const uchar first = colour(0, 0);
    const uchar rest = colour(0xFF, b);
    const std::size_t at = out.size();
    out.resize(at + 1 + 4 * width);
    unsigned char* o = out.data() + at;
    *o++ = chosen;
    for (std::size_t x = 0; x < width; ++x, o += 4) {
        o[0] = o[1] = o[2] = x == 0 ? first : rest;
        o[3] = none[x];
    }
}

// The rows first to first + count - 1 filtered, each after the one above it (none above row 0).
std::vector<unsigned char> filteredRows(const QImage& image, PageChannels channels, int pixelBytes, int first,
                                        int count)
{
    const std::size_t width = std::size_t(image.width()) * std::size_t(pixelBytes);
    std::vector<unsigned char> candidate(width);
    std::vector<unsigned char> filtered;
    filtered.reserve((width + 1) * std::size_t(count));
    if (image.format() == QImage::Format_Alpha8 && channels == PageChannels::Rgba) {
        for (int y = first; y < first + count; ++y)
            appendFilteredAlpha(image.constScanLine(y), y > 0 ? image.constScanLine(y - 1) : nullptr,
                                std::size_t(image.width()), candidate, filtered);
        return filtered;
    }
    std::vector<unsigned char> above(width, 0);
    std::vector<unsigned char> row(width);
    if (first > 0)
        rowBytes(image, first - 1, channels, above);
    for (int y = first; y < first + count; ++y) {
        rowBytes(image, y, channels, row);
        appendFiltered(row, above, pixelBytes, candidate, filtered);
        std::swap(row, above);
    }
    return filtered;
}

struct Piece
{
    int firstRow = 0;
    int rows = 0;
    QByteArray deflated;
    uLong adler = 1;
    std::size_t length = 0; // filtered bytes before compression
    bool ok = true;
};

// Rows before a piece that its compression reads: the dictionary, and the row above that for the
// first row's filter.
int rowsBefore(qsizetype lineBytes)
{
    return int((qsizetype(kWindow) + lineBytes - 1) / lineBytes) + 1;
}

// Filters and compresses the piece's rows as raw deflate that ends on a byte boundary (a sync
// flush), so that the pieces follow each other in one stream; the last one finishes it. The end
// of the rows before is its dictionary, as if one stream had compressed them all. Row 0 of image
// is row top of the file; it holds the rows before the piece that rowsBefore counts.
void compressPiece(const QImage& image, int top, PageChannels channels, int pixelBytes, bool last, Piece& piece)
{
    const int first = piece.firstRow - top;
    const std::vector<unsigned char> filtered = filteredRows(image, channels, pixelBytes, first, piece.rows);
    piece.length = filtered.size();
    piece.adler = adler32(1, filtered.data(), uInt(filtered.size()));

    z_stream stream{};
    const int strategy = image.format() == QImage::Format_ARGB32 ? kColourStrategy : kStrategy;
    if (deflateInit2(&stream, kLevel, Z_DEFLATED, -15, 8, strategy) != Z_OK) {
        piece.ok = false;
        return;
    }
    const qsizetype lineBytes = qsizetype(image.width()) * pixelBytes + 1;
    const int before = std::min(first, rowsBefore(lineBytes) - 1);
    if (before > 0) {
        const std::vector<unsigned char> earlier = filteredRows(image, channels, pixelBytes, first - before, before);
        const std::size_t size = std::min(kWindow, earlier.size());
        deflateSetDictionary(&stream, earlier.data() + earlier.size() - size, uInt(size));
    }
    piece.deflated.resize(qsizetype(deflateBound(&stream, uLong(filtered.size())) + 16));
    stream.next_in = const_cast<Bytef*>(filtered.data());
    stream.avail_in = uInt(filtered.size());
    stream.next_out = reinterpret_cast<Bytef*>(piece.deflated.data());
    stream.avail_out = uInt(piece.deflated.size());
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    piece.ok = (last ? result == Z_STREAM_END : result == Z_OK) && stream.avail_in == 0;
    piece.deflated.resize(qsizetype(stream.total_out));
    piece.deflated.squeeze(); // held until every piece of its band is done: only what it needs
    deflateEnd(&stream);
}

void appendChunk(QByteArray& file, const char* type, const QByteArray& data)
{
    char length[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    file.append(length, 4);
    const qsizetype start = file.size();
    file.append(type, 4);
    file += data;
    char crc[4];
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef*>(file.constData() + start), uInt(file.size() - start))), crc);
    file.append(crc, 4);
}

// A PNG file written piece by piece: the same bytes whether its rows come whole or in bands.
class PngStream
{
public:
    PngStream(QIODevice& device, QSize size, PageChannels channels, int pixelBytes, int threads)
        : m_device(device), m_size(size), m_channels(channels), m_pixelBytes(pixelBytes), m_threads(threads),
          m_rowsPerPiece(int(std::clamp<qsizetype>(kPieceBytes / lineBytes(), 1, size.height())))
    {
    }

    qsizetype lineBytes() const { return qsizetype(m_size.width()) * m_pixelBytes + 1; }
    int rowsPerPiece() const { return m_rowsPerPiece; }

    bool writeHeader()
    {
        QByteArray header("\x89PNG\r\n\x1a\n", 8);
        QByteArray ihdr(13, '\0');
        qToBigEndian<quint32>(quint32(m_size.width()), ihdr.data());
        qToBigEndian<quint32>(quint32(m_size.height()), ihdr.data() + 4);
        ihdr[8] = 8;                                     // bits per channel
        constexpr char kColourTypes[] = {0, 0, 4, 2, 6}; // by bytes a pixel: grey, grey and alpha, RGB, RGBA
        ihdr[9] = kColourTypes[m_pixelBytes];
        appendChunk(header, "IHDR", ihdr);
        return m_device.write(header) == header.size();
    }

    // Compresses the rows first to first + count - 1 of the file, on threads, and writes them;
    // image holds them from row first - top on, and the rows before that rowsBefore counts.
    bool writeRows(const QImage& image, int top, int first, int count)
    {
        std::vector<Piece> pieces;
        for (int y = first; y < first + count; y += m_rowsPerPiece)
            pieces.push_back({y, std::min(m_rowsPerPiece, first + count - y), {}, 1, 0, true});
        std::atomic<std::size_t> next{0};
        runOnThreads(std::max(1, std::min(m_threads, int(pieces.size()))), [&](int) {
            for (std::size_t i; (i = next.fetch_add(1)) < pieces.size();)
                compressPiece(image, top, m_channels, m_pixelBytes,
                              pieces[i].firstRow + pieces[i].rows == m_size.height(), pieces[i]);
        });
        for (const Piece& piece : pieces) {
            if (!piece.ok)
                return false;
            m_adler = adler32_combine(m_adler, piece.adler, z_off_t(piece.length));
            QByteArray data = piece.firstRow == 0 ? QByteArray("\x78\x5E", 2) : QByteArray(); // zlib: deflate, fast
            data += piece.deflated;
            if (piece.firstRow + piece.rows == m_size.height()) {
                char check[4];
                qToBigEndian<quint32>(quint32(m_adler), check);
                data.append(check, 4);
            }
            QByteArray chunk;
            appendChunk(chunk, "IDAT", data);
            if (m_device.write(chunk) != chunk.size())
                return false;
        }
        return true;
    }

    bool writeEnd()
    {
        QByteArray end;
        appendChunk(end, "IEND", {});
        return m_device.write(end) == end.size();
    }

private:
    QIODevice& m_device;
    QSize m_size;
    PageChannels m_channels;
    int m_pixelBytes;
    int m_threads;
    int m_rowsPerPiece;
    uLong m_adler = 1;
};

int pixelBytesOf(QImage::Format format, PageChannels channels)
{
    return channels == PageChannels::Gray    ? 1
           : channels == PageChannels::Alpha ? 2
           : format == QImage::Format_RGB32  ? 3
                                             : 4;
}

} // namespace

bool writePng(QIODevice& device, const QImage& image, int threads, PageChannels channels)
{
    if (image.isNull())
        return false;
    const bool alpha = image.format() == QImage::Format_Alpha8 || image.format() == QImage::Format_ARGB32;
    const QImage source =
        alpha || image.format() == QImage::Format_RGB32
            ? image
            : image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (source.isNull())
        return false;
    PngStream png(device, source.size(), channels, pixelBytesOf(source.format(), channels), threads);
    return png.writeHeader() && png.writeRows(source, 0, 0, source.height()) && png.writeEnd();
}

bool writePngRows(QIODevice& device, QSize size, QImage::Format format, int threads, const DrawRows& draw,
                  PageChannels channels)
{
    Q_ASSERT(format == QImage::Format_Alpha8 || format == QImage::Format_ARGB32 || format == QImage::Format_RGB32);
    if (size.isEmpty())
        return false;
    PngStream png(device, size, channels, pixelBytesOf(format, channels), threads);
    // Enough pieces for every thread, and the rows before the band that its first piece reads.
    const int bandRows = std::min(size.height(), png.rowsPerPiece() * std::clamp(2 * threads, 4, 16));
    const int before = std::min(size.height(), rowsBefore(png.lineBytes()));
    QImage window(size.width(), before + bandRows, format);
    if (window.isNull() || !png.writeHeader())
        return false;
    const qsizetype rowBytes = window.bytesPerLine();
    int kept = 0; // rows of the band before at the top of window
    for (int first = 0; first < size.height(); first += bandRows) {
        const int count = std::min(bandRows, size.height() - first);
        QImage band(window.bits() + rowBytes * kept, size.width(), count, rowBytes, format);
        if (!draw(band, first))
            return false;
        const QImage rows(window.constBits(), size.width(), kept + count, rowBytes, format);
        if (!png.writeRows(rows, first - kept, first, count))
            return false;
        const int keep = std::min(before, kept + count);
        std::memmove(window.bits(), window.constBits() + rowBytes * (kept + count - keep),
                     std::size_t(rowBytes * keep));
        kept = keep;
    }
    return png.writeEnd();
}

} // namespace glyfrax
