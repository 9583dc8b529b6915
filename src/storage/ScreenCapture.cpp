#include "storage/ScreenCapture.h"

#include "storage/AtomicFile.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

// libjpeg reports a fatal error by calling error_exit, whose default ends the
// process; this one jumps back to the encoder with the message instead.
struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->Message);
  std::longjmp(error->Jump, 1);
}

// The encoder's output goes into a byte array, a chunk at a time.
struct TByteArrayDestination {
  jpeg_destination_mgr Manager;
  QByteArray* Bytes;
  JOCTET Chunk[16384];
};

extern "C" void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TByteArrayDestination*>(cinfo->dest);
  dest->Manager.next_output_byte = dest->Chunk;
  dest->Manager.free_in_buffer = sizeof dest->Chunk;
}

extern "C" boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TByteArrayDestination*>(cinfo->dest);
  dest->Bytes->append(reinterpret_cast<const char*>(dest->Chunk), sizeof dest->Chunk);
  dest->Manager.next_output_byte = dest->Chunk;
  dest->Manager.free_in_buffer = sizeof dest->Chunk;
  return TRUE;
}

extern "C" void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TByteArrayDestination*>(cinfo->dest);
  dest->Bytes->append(reinterpret_cast<const char*>(dest->Chunk),
                      static_cast<qsizetype>(sizeof dest->Chunk - dest->Manager.free_in_buffer));
}

// Plain C-style so that nothing with a destructor lives between setjmp and
// longjmp; the encoder's memory is released on both paths.
bool Compress(const unsigned char* rgb, int width, int height, int stride, int quality, QByteArray* out,
              char* message) {
  jpeg_compress_struct cinfo;
  TJpegError error;
  TByteArrayDestination dest;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Message[0] = '\0';
  if (setjmp(error.Jump)) {
    jpeg_destroy_compress(&cinfo);
    std::memcpy(message, error.Message, JMSG_LENGTH_MAX);
    return false;
  }
  jpeg_create_compress(&cinfo);
  dest.Manager.init_destination = InitDestination;
  dest.Manager.empty_output_buffer = EmptyOutputBuffer;
  dest.Manager.term_destination = TermDestination;
  dest.Bytes = out;
  cinfo.dest = &dest.Manager;
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(cinfo.next_scanline) * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

QImage GrabScreenRect(const QRect& rect) {
  QImage image(rect.size(), QImage::Format_RGB888);
  if (image.isNull()) return image;
  image.fill(Qt::black);
  QPainter painter(&image);
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect screenArea = screen->geometry();
    const QRect part = rect.intersected(screenArea);
    if (part.isEmpty()) continue;
    // The screen is asked only for what lies on it: a request past its edge
    // would fail as a whole.
    const QPixmap pixels = screen->grabWindow(0, part.x() - screenArea.x(), part.y() - screenArea.y(),
                                              part.width(), part.height());
    if (!pixels.isNull()) painter.drawPixmap(QRect(part.topLeft() - rect.topLeft(), part.size()), pixels);
  }
  painter.end();
  return image;
}

QByteArray EncodeJpeg(const QImage& image, int quality, QString* error) {
  if (image.isNull()) {
    if (error) *error = QStringLiteral("there is no picture to encode.");
    return {};
  }
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  QByteArray bytes;
  char message[JMSG_LENGTH_MAX] = {};
  if (!Compress(rgb.constBits(), rgb.width(), rgb.height(), static_cast<int>(rgb.bytesPerLine()), quality, &bytes,
                message)) {
    bytes.clear();
    if (error) *error = QString::fromLocal8Bit(message);
  }
  return bytes;
}

QString WriteJpegFile(const QImage& image, const QString& path, int quality) {
  const QString prefix = QStringLiteral("Cannot write the screen shot %1: ").arg(path);
  QString error;
  const QByteArray bytes = EncodeJpeg(image, quality, &error);
  if (bytes.isEmpty()) return prefix + error;
  const QString reason = WriteFileAtomically(path, bytes);
  return reason.isEmpty() ? QString() : prefix + reason;
}
