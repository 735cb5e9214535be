#include "WindowIcon.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QResource>
#include <QStringList>

#include <algorithm>

// The pictures live in a static library, so the code that reads them registers them.
static void initWindowIconResources() {
    Q_INIT_RESOURCE(tarnwell);
}

namespace Corvane {
namespace {

constexpr int kMaxSide = 1024;

QString iconDir() {
    return QStringLiteral(":/icons/com.marlin.Tarnwell");
}

// One picture: width * height pixels of four bytes (RGBA, premultiplied); null when the data do
// not fit the name.
QImage picture(const QString& name) {
    const QSize size = WindowIcon::sizeOf(name);
    const QResource resource(iconDir() + QLatin1Char('/') + name);
    if (!size.isValid() || !resource.isValid()) {
        return {};
    }
    // Stored uncompressed, the bytes are read where they lie.
    const QByteArray bytes =
        resource.compressionAlgorithm() == QResource::NoCompression
            ? QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                      static_cast<qsizetype>(resource.size()))
            : resource.uncompressedData();
    if (bytes.size() != qsizetype(size.width()) * size.height() * 4) {
        return {};
    }
    // A copy: the picture must not depend on the bytes it was read from.
    return QImage(reinterpret_cast<const uchar*>(bytes.constData()), size.width(), size.height(),
                  size.width() * 4, QImage::Format_RGBA8888_Premultiplied)
        .copy();
}

} // namespace

QSize WindowIcon::sizeOf(const QString& name) {
    const QString suffix = QStringLiteral(".rgba");
    if (!name.endsWith(suffix)) {
        return {};
    }
    const QStringList sides = name.chopped(suffix.size()).split(QLatin1Char('x'));
    if (sides.size() != 2) {
        return {};
    }
    bool widthRead = false;
    bool heightRead = false;
    const int width = sides.at(0).toInt(&widthRead);
    const int height = sides.at(1).toInt(&heightRead);
    if (!widthRead || !heightRead || width < 1 || height < 1 || width > kMaxSide ||
        height > kMaxSide) {
        return {};
    }
    return {width, height};
}

QIcon WindowIcon::load() {
    initWindowIconResources();
    QStringList names = QDir(iconDir()).entryList({QStringLiteral("*.rgba")}, QDir::Files);
    // Smallest first, as Qt lists the sizes of a scalable icon.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return sizeOf(a).width() < sizeOf(b).width();
    });
    QIcon icon;
    for (const QString& name : names) {
        const QImage image = picture(name);
        if (!image.isNull()) {
            icon.addPixmap(QPixmap::fromImage(image));
        }
    }
    return icon;
}

} // namespace Corvane
