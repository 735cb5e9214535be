// Build tool: renders the program's SVG icon at the given sizes, drawn exactly as Qt's SVG icon
// engine draws it for a window icon (the drawing's aspect ratio kept, on transparent
// premultiplied colour), and writes each picture as raw pixels, so that the program carries
// ready pictures: it then needs neither SVG support nor an image decoder to start.
//
//   tarn_render_icon SVG OUT_DIR SIZE...
//
// writes OUT_DIR/<width>x<height>.rgba for each size: width * height pixels, rows top to
// bottom, four bytes a pixel in the order red, green, blue, alpha, the colours premultiplied
// by alpha (QImage::Format_RGBA8888_Premultiplied, the same on every byte order).

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

namespace {

bool render(QSvgRenderer& svg, int size, const QDir& out) {
    QSize drawn = svg.defaultSize();
    drawn.scale(size, size, Qt::KeepAspectRatio);
    QImage image(drawn, QImage::Format_ARGB32_Premultiplied);
    image.fill(0x00000000);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    image.convertTo(QImage::Format_RGBA8888_Premultiplied);

    const QString name = QStringLiteral("%1x%2.rgba").arg(drawn.width()).arg(drawn.height());
    QFile file(out.filePath(name));
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (int y = 0; written && y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const char*>(image.constScanLine(y));
        const qint64 bytes = qint64(image.width()) * 4;
        written = file.write(row, bytes) == bytes;
    }
    if (!written) {
        std::fprintf(stderr, "tarn_render_icon: cannot write %s\n", qPrintable(file.fileName()));
    }
    return written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SVG OUT_DIR SIZE...\n", argv[0]);
        return 2;
    }
    // No display at build time.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    const QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "tarn_render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || !render(svg, size, out)) {
            return 1;
        }
    }
    return 0;
}
