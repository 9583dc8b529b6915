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
