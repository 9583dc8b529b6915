#include "storage/ScreenCapture.h"

#include "platform/AtomicFile.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

QImage GrabScreenRect(const QRect& rect)
{
    QImage image(rect.size(), QImage::Format_RGB888);
    if (image.isNull())
        return image;
    image.fill(Qt::black);
    QPainter painter(&image);
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect screenArea = screen->geometry();
        const QRect part = rect.intersected(screenArea);
        if (part.isEmpty())
            continue;
        // The screen is asked only for what lies on it: a request past its edge
        // would fail as a whole.
        const QPixmap pixels =
            screen->grabWindow(0, part.x() - screenArea.x(), part.y() - screenArea.y(), part.width(), part.height());
        if (!pixels.isNull())
            painter.drawPixmap(QRect(part.topLeft() - rect.topLeft(), part.size()), pixels);
    }
    painter.end();
    return image;
}

QByteArray EncodeJpeg(const QImage& image, int quality, QString* error)
{
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("there is no picture to encode.");
        return {};
    }
    // Qt's JPEG writer: baseline unless progressive scans are asked for; an
    // RGB picture gives three components.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888))) {
        bytes.clear();
        if (error)
            *error = writer.errorString();
    }
    return bytes;
}

QString WriteJpegFile(const QImage& image, const QString& path, int quality)
{
    const QString prefix = QStringLiteral("Cannot write the screen shot %1: ").arg(path);
    QString error;
    const QByteArray bytes = EncodeJpeg(image, quality, &error);
    if (bytes.isEmpty())
        return prefix + error;
    const QString reason = WriteFileAtomically(path, bytes);
    return reason.isEmpty() ? QString() : prefix + reason;
}
