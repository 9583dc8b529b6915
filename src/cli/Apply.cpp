// jt6400-cli apply: a settings file sent as the panel's Restore sends it,
// then read back and compared.
#include "cli/Cli.h"

#include "cli/SettingsCompare.h"
#include "comm/CommandText.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsRestore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <algorithm>
#include <iterator>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace jtcli {

namespace {

#ifdef Q_OS_UNIX
volatile std::sig_atomic_t gEndSignal = 0;
void NoteEndSignal(int signo)
{
    gEndSignal = signo;
}
constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
#endif

// While it lives, SIGINT, SIGTERM and SIGHUP only note that the program is
// to end, so that the work can stop where it can say how far it got.
class TDeferredEndSignals {
public:
    TDeferredEndSignals()
    {
#ifdef Q_OS_UNIX
        gEndSignal = 0;
        struct sigaction action {};
        action.sa_handler = NoteEndSignal;
        ::sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
            FTaken[i] = ::sigaction(kEndSignals[i], nullptr, &FOld[i]) == 0 && FOld[i].sa_handler != SIG_IGN &&
                        ::sigaction(kEndSignals[i], &action, nullptr) == 0;
        }
#endif
    }
    ~TDeferredEndSignals()
    {
#ifdef Q_OS_UNIX
        for (std::size_t i = 0; i < std::size(kEndSignals); ++i)
            if (FTaken[i])
                ::sigaction(kEndSignals[i], &FOld[i], nullptr);
#endif
    }
    TDeferredEndSignals(const TDeferredEndSignals&) = delete;
    TDeferredEndSignals& operator=(const TDeferredEndSignals&) = delete;

    // The signal that came, or 0.
    static int Signal()
    {
#ifdef Q_OS_UNIX
        return gEndSignal;
#else
        return 0;
#endif
    }

private:
#ifdef Q_OS_UNIX
    struct sigaction FOld[std::size(kEndSignals)] {};
    bool FTaken[std::size(kEndSignals)] = {};
#endif
};

QString SignalName(int signo)
{
#ifdef Q_OS_UNIX
    switch (signo) {
        case SIGINT:
            return QStringLiteral("SIGINT");
        case SIGTERM:
            return QStringLiteral("SIGTERM");
        case SIGHUP:
            return QStringLiteral("SIGHUP");
        default:
            break;
    }
#endif
    return QStringLiteral("signal %1").arg(signo);
}

bool IsTerminal(std::FILE* file)
{
#ifdef Q_OS_UNIX
    return ::isatty(::fileno(file)) == 1;
#else
    Q_UNUSED(file);
    return false;
#endif
}

}  // namespace

void TCli::Progress(qsizetype done, qsizetype total)
{
    constexpr int kWidth = 30;
    const int filled = total > 0 ? static_cast<int>(done * kWidth / total) : kWidth;
    std::fprintf(FErr, "\rSending [%s%s] %lld/%lld", QByteArray(filled, '#').constData(),
                 QByteArray(kWidth - filled, '-').constData(), static_cast<long long>(done),
                 static_cast<long long>(total));
    std::fflush(FErr);
}

TExitCode TCli::Apply()
{
    const QString path = FOptions.Arguments.value(0);
    const bool fromInput = path == QLatin1String("-");
    // The whole file is read and checked before anything is sent.
    TSettingsFileText file = fromInput ? ReadSettingsInput() : ReadSettingsFile(path);
    if (!file.Ok()) {
        Err(file.Error);
        return TExitCode::ecUsage;
    }
    const QString shown = fromInput ? QStringLiteral("standard input") : QDir::toNativeSeparators(path);
    // Every setting line goes out as it stands, or none does. Lines that
    // look like settings but are not sent are named before anything is sent:
    // a setting with a note after "//" is a comment as a whole, as in the
    // panel's restore, and a line beginning with "#" is no command at all.
    struct TSkippedLine {
        qsizetype Number;
        QString Text;
    };
    QList<TSkippedLine> skipped;
    QStringList warnings;
    for (qsizetype i = 0; i < file.Lines.size(); ++i) {
        const QString& text = file.Lines[i];
        const bool note = IsSettingsComment(text);
        const QString setting = (note ? text.left(text.indexOf(QLatin1String("//"))) : text).trimmed();
        if (setting.isEmpty())
            continue;  // a blank line or a comment
        if (setting.startsWith(QLatin1Char('#'))) {
            skipped.append({i + 1, text});
            warnings << QStringLiteral("%1: line %2 begins with \"#\" and is skipped: notes in a settings file "
                                       "begin with \"//\".")
                            .arg(shown)
                            .arg(i + 1);
            continue;
        }
        if (note) {
            skipped.append({i + 1, text});
            warnings << QStringLiteral("%1: line %2 holds a setting before \"//\" and is skipped whole, as the "
                                       "panel's restore does.")
                            .arg(shown)
                            .arg(i + 1);
            continue;
        }
        const TCommandTextCheck check = CheckCommandText(text);
        if (!check.Ok()) {
            Err(QStringLiteral("%1: line %2 cannot be sent: %3. Nothing was sent.")
                    .arg(shown)
                    .arg(i + 1)
                    .arg(check.Reason()));
            return TExitCode::ecUsage;
        }
    }
    for (const QString& warning : warnings)
        Err(warning);
    // A blank line carries no setting: it is skipped like a comment, and so
    // is a "#" line.
    file.Lines.removeIf([](const QString& line) {
        const QString text = line.trimmed();
        return text.isEmpty() || text.startsWith(QLatin1Char('#'));
    });
    const qsizetype commands = SettingsCommandLines(file.Lines).size();
    if (commands == 0) {
        // An empty, comment-only or cut-off file would leave the generator as
        // it is and then report every setting as asked.
        Err(QStringLiteral("%1 holds no setting (no line besides comments and blank lines); nothing was sent.")
                .arg(shown));
        return TExitCode::ecUsage;
    }
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;

    const bool bar = IsTerminal(FErr);
    const qsizetype total = file.Lines.size();
    if (bar)
        Progress(0, total);
    qsizetype sentLines = 0;
    bool sent = false;
    int endSignal = 0;
    {
        // Ended while the lines go out, the program first says how far it got.
        const TDeferredEndSignals deferred;
        sent = SendSettingsLines(FComm, file.Lines, kRestoreLinePause, [&](qsizetype done) {
            ++sentLines;
            if (bar)
                Progress(done, total);
            return !Lost() && deferred.Signal() == 0;
        });
        endSignal = deferred.Signal();
    }
    if (bar) {
        if (sent)
            Progress(total, total);
        std::fputc('\n', FErr);
    }
    if (endSignal != 0) {
        Err(QStringLiteral("%1 of the %2 setting lines had been sent when the program was ended (%3): the generator "
                           "is now partly set.")
                .arg(sentLines)
                .arg(commands)
                .arg(SignalName(endSignal)));
        return static_cast<TExitCode>(128 + endSignal);
    }
    if (!sent) {
        ReportLost();
        Err(QStringLiteral("%1 of the %2 setting lines had been sent when the generator stopped answering: it is now "
                           "partly set.")
                .arg(sentLines)
                .arg(commands));
        return TExitCode::ecUnavailable;
    }

    TSettingsSnapshot snapshot;
    if (!ReadBack(snapshot))
        return TExitCode::ecUnavailable;
    const TSettingsComparison comparison = CompareSettings(file.Lines, snapshot.SettingsList);

    if (FOptions.Json) {
        QJsonArray skippedJson;
        for (const TSkippedLine& line : skipped)
            skippedJson.append(QJsonObject{{QStringLiteral("line"), line.Number}, {QStringLiteral("text"), line.Text}});
        QJsonArray differences;
        for (const TSettingDifference& d : comparison.Differences)
            differences.append(QJsonObject{{QStringLiteral("setting"), d.Setting},
                                           {QStringLiteral("file"), d.Asked},
                                           {QStringLiteral("generator"), d.Found}});
        OutJson(QJsonObject{{QStringLiteral("port"), FPort.Port()},
                            {QStringLiteral("model"), FState.DeviceIdentity.Model},
                            {QStringLiteral("file"), path},
                            {QStringLiteral("sent"), commands},
                            {QStringLiteral("skipped"), skippedJson},
                            {QStringLiteral("differences"), differences},
                            {QStringLiteral("notCompared"), QJsonArray::fromStringList(comparison.NotCompared)}});
    } else {
        Out(QStringLiteral("Sent %1 lines of %2 to the %3 on %4.")
                .arg(commands)
                .arg(shown, FState.DeviceIdentity.Model, PortName()));
        if (!skipped.isEmpty()) {
            Out(QStringLiteral("%1 line(s) of the file were skipped, not sent:").arg(skipped.size()));
            for (const TSkippedLine& line : skipped)
                Out(QStringLiteral("  line %1: %2").arg(line.Number).arg(line.Text));
        }
        if (!comparison.NotCompared.isEmpty()) {
            Out(QStringLiteral("%1 line(s) of the file name no setting the %2 reads back, so it cannot hold them:")
                    .arg(comparison.NotCompared.size())
                    .arg(FState.DeviceIdentity.Model));
            for (const QString& line : comparison.NotCompared)
                Out(QStringLiteral("  %1").arg(line));
        }
        if (comparison.Differences.isEmpty()) {
            Out(comparison.NotCompared.isEmpty() && skipped.isEmpty()
                    ? QStringLiteral("Every setting of the file reads back as asked.")
                    : QStringLiteral("Every other setting of the file reads back as asked."));
        } else {
            Out(QStringLiteral("%1 setting(s) differ from the file:").arg(comparison.Differences.size()));
            qsizetype width = 0;
            for (const TSettingDifference& d : comparison.Differences)
                width = std::max(width, d.Setting.size());
            for (const TSettingDifference& d : comparison.Differences)
                Out(QStringLiteral("  %1  file %2  generator %3")
                        .arg(d.Setting, -static_cast<int>(width))
                        .arg(d.Asked, d.Found.isEmpty() ? QStringLiteral("(no answer)") : d.Found));
        }
    }
    // A line the generator cannot read back (a channel or feature the model
    // lacks: a file made for another model) is a setting it does not hold;
    // a skipped line is one it was never asked to hold.
    return comparison.Differences.isEmpty() && comparison.NotCompared.isEmpty() && skipped.isEmpty()
               ? TExitCode::ecDone
               : TExitCode::ecGenerator;
}

TSettingsFileText TCli::ReadSettingsInput()
{
    TSettingsFileText result;
    const QString prefix = QStringLiteral("Cannot read the settings from standard input: ");
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        result.Error = prefix + input.errorString() + QLatin1Char('.');
        return result;
    }
    // Read one byte past the limit to tell input that is too large.
    QByteArray bytes;
    while (bytes.size() <= kMaxSettingsFileSize) {
        const QByteArray part = input.read(kMaxSettingsFileSize + 1 - bytes.size());
        if (part.isEmpty())
            break;
        bytes += part;
    }
    if (bytes.size() > kMaxSettingsFileSize) {
        result.Error = prefix + QStringLiteral("it is larger than %1 KiB, too large for a settings file.")
                                    .arg(kMaxSettingsFileSize / 1024);
        return result;
    }
    result = DecodeSettingsText(bytes);
    if (!result.Ok())
        result.Error = prefix + result.Error;
    return result;
}

}  // namespace jtcli
