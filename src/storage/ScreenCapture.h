// Screen pixels and JPEG files for the screen capture.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

// The pixels the screens show inside Rect (in desktop coordinates), as an
// image of Rect's size. Parts of Rect that lie on no screen stay black.
QImage GrabScreenRect(const QRect& rect);

// Encodes Image as a baseline (not progressive) colour JPEG, three
// components, at Quality (0..100). Returns an empty array and sets Error when
// the encoder fails.
QByteArray EncodeJpeg(const QImage& image, int quality, QString* error = nullptr);

// Encodes Image and writes it to Path, replacing an existing file only once
// the new one is complete. Returns an empty text on success, else the reason.
QString WriteJpegFile(const QImage& image, const QString& path, int quality);
