#include "system/appicon.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace volaro::system {

QList<int> appIconPixelSizes() {
    return {16, 24, 32, 48, 64, 128, 256};
}

QByteArray appIconSvg() {
    QFile file(QStringLiteral(":/volaro/icons/volaro.svg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage renderIcon(const QByteArray& svg, int size) {
    if (size <= 0)
        return {};
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSizeF drawn = renderer.viewBoxF().size();
    if (drawn.isEmpty())
        drawn = QSizeF(size, size);
    drawn.scale(size, size, Qt::KeepAspectRatio);
    const QRectF target((size - drawn.width()) / 2, (size - drawn.height()) / 2, drawn.width(),
                        drawn.height());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, target);
    painter.end();
    return image;
}

QByteArray pngBytes(const QImage& image) {
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return bytes;
}

QIcon applicationIcon() {
    QIcon icon;
    const QByteArray svg = appIconSvg();
    for (int size : appIconPixelSizes()) {
        const QImage image = renderIcon(svg, size);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace volaro::system
