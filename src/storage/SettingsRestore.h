// Sending a settings file's lines to the generator, as a restore does: in
// file order, a pause before every line (comment lines included), comment
// lines skipped, each command sent with SendCommand, which waits for the
// generator's reply.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TCommunication;

// The pause before each line of a restore, in milliseconds.
constexpr int kRestoreLinePause = 30;

// A line holding "//" anywhere is a comment and is not sent.
bool IsSettingsComment(const QString& line);
// The command lines of Lines: every line that is not a comment.
QStringList SettingsCommandLines(const QStringList& lines);

// Sends Lines. AfterLine is called after every line with the count of lines
// done so far (comments included); false from it stops the restore at once.
// Returns false when it was stopped.
bool SendSettingsLines(TCommunication& comm, const QStringList& lines, int pauseMs,
                       const std::function<bool(qsizetype done)>& afterLine = {});
