// Reading and writing settings files: text, one command or comment per line.
//
// Files are written in the program's 8-bit code (Latin-1, the same code the
// serial line carries), every line ended by CR LF, through a temporary file
// that replaces the target only once it is complete. When read, a UTF-8 or
// UTF-16 byte-order mark selects that encoding, otherwise the bytes are taken
// as 8-bit text, so every byte of a command line reaches the generator as it
// stands in the file. A line ends at CR LF, a lone CR or a lone LF.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class TSafeFileWriter;

// A settings file of a few hundred lines is a few kilobytes; anything past
// this is not one and is refused instead of being sent line by line.
constexpr qint64 kMaxSettingsFileSize = 1024 * 1024;

struct TSettingsFileText {
    QStringList Lines;
    QString Error;  // empty when the file was read
    bool Ok() const { return Error.isEmpty(); }
};

// Decodes file content into lines. Content that is not text (NUL bytes or
// other control characters, a broken encoding) gives an error.
TSettingsFileText DecodeSettingsText(const QByteArray& bytes);
// The file's bytes for Lines.
QByteArray EncodeSettingsText(const QStringList& lines);

// Reads the file at Path; the error names the file and the reason.
TSettingsFileText ReadSettingsFile(const QString& path);
// Writes Lines to Path, replacing an existing file only when the new one is
// complete. Returns an empty text on success, otherwise the reason.
QString WriteSettingsFile(const QString& path, const QStringList& lines);

// The same in two steps, for a caller that learns the lines only after a
// long read-back: Open first tells whether the file can be written at all.
// A pipe or device is written as it stands (see platform/AtomicFile.h).
class TSettingsFileWriter {
public:
    explicit TSettingsFileWriter(const QString& path);
    ~TSettingsFileWriter();
    // Empty when the file can be written, otherwise the reason, naming it.
    QString Open();
    // Empty on success, otherwise the reason, naming the file.
    QString Write(const QStringList& lines);
    // True when the target is a pipe, a device or an open descriptor
    // (/dev/stdout), written as it stands; known once Open succeeded.
    bool InPlace() const { return FInPlace; }

private:
    QString FPath;
    std::unique_ptr<TSafeFileWriter> FWriter;
    bool FInPlace = false;
};
