// The command line of jt6400-cli: global options, one command and its
// arguments, and the help text.
#pragma once

#include <QString>
#include <QStringList>

namespace jtcli {

// Exit codes, documented in the help text and the README.
enum class TExitCode : int {
    ecDone = 0,
    ecGenerator = 1,    // the generator answered with an error, or the comparison found differences
    ecUsage = 2,        // bad arguments, or a file that cannot be read or written
    ecUnavailable = 3,  // no generator, port unavailable, or no answer in time
};

struct TCliOptions {
    int Port = 0;  // 0: the first generator discovery finds
    // --serial: the generator with this serial number (discovery goes on
    // past the others; with --port, the one there must have it).
    bool HasSerial = false;
    int Serial = 0;
    bool Json = false;
    QString LogFile;
    QStringList Allow;      // serve: client networks allowed (empty: any)
    bool LineMode = false;  // serve: every line gets the generator's own reply
    int IdleSeconds = 0;    // serve: a silent client is closed after this long
    bool HasIdle = false;   // (0: never); without --idle the server's default
    QString Command;  // list, identify, save, apply, query, send, status, run, stop, serve
    QStringList Arguments;
    bool Help = false;
    bool Version = false;
};

struct TParsedCommandLine {
    TCliOptions Options;
    QString Error;  // empty when the command line is good
};

// Arguments without the program's name.
TParsedCommandLine ParseCliArguments(const QStringList& arguments);

QString HelpText();

}  // namespace jtcli
