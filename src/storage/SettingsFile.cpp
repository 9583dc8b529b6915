#include "storage/SettingsFile.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>

namespace {

// Control characters that plain text may hold besides the line ends.
bool IsTextControl(char16_t c)
{
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines << current;
            current.clear();
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

const QString kNotText = QStringLiteral("it is not a text file.");

QString Shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

TSettingsFileText DecodeSettingsText(const QByteArray& bytes)
{
    TSettingsFileText result;
    QString text;
    if (const auto encoding = QStringConverter::encodingForData(bytes)) {
        if (*encoding == QStringConverter::Utf32LE || *encoding == QStringConverter::Utf32BE) {
            // UTF-32 text is full of NUL bytes: no settings file is written so.
            result.Error = kNotText;
            return result;
        }
        const bool utf16 = *encoding != QStringConverter::Utf8;
        const qsizetype markSize = utf16 ? 2 : 3;
        QStringDecoder decoder(*encoding, QStringDecoder::Flag::Stateless);
        text = decoder.decode(QByteArrayView(bytes).sliced(markSize));
        if (decoder.hasError() || (utf16 && (bytes.size() - markSize) % 2 != 0)) {
            result.Error = QStringLiteral("it is not valid text in the encoding its first bytes announce.");
            return result;
        }
    } else {
        text = QString::fromLatin1(bytes);
    }
    for (const QChar c : text) {
        if (c.unicode() < 32 && !IsTextControl(c.unicode())) {
            result.Error = kNotText;
            return result;
        }
    }
    result.Lines = SplitLines(text);
    return result;
}

QByteArray EncodeSettingsText(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toLatin1();
        bytes += "\r\n";
    }
    return bytes;
}

TSettingsFileText ReadSettingsFile(const QString& path)
{
    TSettingsFileText result;
    const QString prefix = QStringLiteral("Cannot read the settings file %1: ").arg(Shown(path));
    const QFileInfo info(path);
    if (info.isDir()) {
        result.Error = prefix + QStringLiteral("it is a folder.");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.Error = prefix + file.errorString() + QLatin1Char('.');
        return result;
    }
    // A device or pipe may report no size at all: read one byte past the limit
    // to tell a file that is too large.
    const QByteArray bytes = file.size() > kMaxSettingsFileSize ? QByteArray() : file.read(kMaxSettingsFileSize + 1);
    if (file.size() > kMaxSettingsFileSize || bytes.size() > kMaxSettingsFileSize) {
        result.Error =
            prefix +
            QStringLiteral("it is larger than %1 KiB, too large for a settings file.").arg(kMaxSettingsFileSize / 1024);
        return result;
    }
    if (file.error() != QFileDevice::NoError) {
        result.Error = prefix + file.errorString() + QLatin1Char('.');
        return result;
    }
    result = DecodeSettingsText(bytes);
    if (!result.Ok())
        result.Error = prefix + result.Error;
    return result;
}

QString WriteSettingsFile(const QString& path, const QStringList& lines)
{
    TSettingsFileWriter writer(path);
    if (QString reason = writer.Open(); !reason.isEmpty())
        return reason;
    return writer.Write(lines);
}

TSettingsFileWriter::TSettingsFileWriter(const QString& path) : FPath(path) {}

TSettingsFileWriter::~TSettingsFileWriter() = default;

QString TSettingsFileWriter::Open()
{
    const QString prefix = QStringLiteral("Cannot write the settings file %1: ").arg(Shown(FPath));
    if (QFileInfo(FPath).isDir())
        return prefix + QStringLiteral("it is a folder.");
    FWriter = std::make_unique<TSafeFileWriter>(FPath);
    const QString reason = FWriter->Open();
    FInPlace = reason.isEmpty() && FWriter->InPlace();
    if (!reason.isEmpty())
        FWriter.reset();
    return reason.isEmpty() ? QString() : prefix + reason;
}

QString TSettingsFileWriter::Write(const QStringList& lines)
{
    const QString prefix = QStringLiteral("Cannot write the settings file %1: ").arg(Shown(FPath));
    if (!FWriter)
        return prefix + QStringLiteral("it is not open.");
    const QString reason = FWriter->Finish(EncodeSettingsText(lines));
    FWriter.reset();
    return reason.isEmpty() ? QString() : prefix + reason;
}
