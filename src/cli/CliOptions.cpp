#include "cli/CliOptions.h"

#include "remote/Address.h"
#include "serial/PortList.h"

namespace jtcli {

namespace {

struct TCommandShape {
    const char* Name;
    int MinArguments;
    int MaxArguments;  // -1: any number (joined by blanks)
};

constexpr TCommandShape kCommands[] = {
    {"list", 0, 0},  {"identify", 0, 0}, {"save", 1, 1}, {"apply", 1, 1}, {"query", 1, -1},
    {"send", 1, -1}, {"status", 0, 0},   {"run", 0, 0},  {"stop", 0, 0}, {"serve", 0, 1},
};

// "3" or "COM3" (any case).
int PortArgument(const QString& text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok)
        return number >= 1 ? number : 0;
    return PortNumberOfName(text.toUpper());
}

}  // namespace

TParsedCommandLine ParseCliArguments(const QStringList& arguments)
{
    TParsedCommandLine parsed;
    TCliOptions& o = parsed.Options;
    auto fail = [&parsed](const QString& error) {
        parsed.Error = error;
        return parsed;
    };
    // Options may stand before or after the command; everything after "--"
    // is an argument.
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (optionsEnded || (!a.startsWith(QLatin1String("--")) && a != QLatin1String("-h"))) {
            positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value".
        QString name = a;
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = a.indexOf(QLatin1Char('=')); eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size())
                return false;
            value = arguments[++i];
            return true;
        };
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.Help = true;
        } else if (name == QLatin1String("--version")) {
            o.Version = true;
        } else if (name == QLatin1String("--json")) {
            o.Json = true;
        } else if (name == QLatin1String("--port")) {
            if (!takeValue())
                return fail(QStringLiteral("--port needs a port number, e.g. --port 3 or --port COM3"));
            o.Port = PortArgument(value);
            if (o.Port <= 0)
                return fail(QStringLiteral("--port: \"%1\" is no port number (use e.g. 3 or COM3)").arg(value));
        } else if (name == QLatin1String("--allow")) {
            if (!takeValue() || !remote::ParseNetwork(value))
                return fail(QStringLiteral("--allow needs a client network, e.g. --allow 192.168.1.0/24"));
            o.Allow << value;
        } else if (name == QLatin1String("--line-mode")) {
            o.LineMode = true;
        } else if (name == QLatin1String("--serial")) {
            if (!takeValue())
                return fail(QStringLiteral("--serial needs the generator's serial number, e.g. --serial 4711"));
            bool ok = false;
            o.Serial = value.toInt(&ok);
            if (!ok || o.Serial < 0)
                return fail(QStringLiteral("--serial: \"%1\" is no serial number").arg(value));
            o.HasSerial = true;
        } else if (name == QLatin1String("--log")) {
            if (!takeValue() || value.isEmpty())
                return fail(QStringLiteral("--log needs a file name"));
            o.LogFile = value;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (o.Help || o.Version)
        return parsed;
    if (positional.isEmpty())
        return fail(QStringLiteral("no command given"));
    o.Command = positional.takeFirst();
    o.Arguments = positional;
    for (const TCommandShape& shape : kCommands) {
        if (o.Command != QLatin1String(shape.Name))
            continue;
        const auto count = o.Arguments.size();
        if (count < shape.MinArguments)
            return fail(QStringLiteral("%1 needs %2")
                            .arg(o.Command, shape.MinArguments == 1 && shape.MaxArguments == 1
                                                ? QStringLiteral("a file name (or - )")
                                                : QStringLiteral("a command text")));
        if (shape.MaxArguments >= 0 && count > shape.MaxArguments)
            return fail(QStringLiteral("%1: unexpected argument %2").arg(o.Command, o.Arguments[shape.MaxArguments]));
        if (o.Command == QLatin1String("serve") && !o.Arguments.isEmpty() &&
            !remote::ParseListenAddress(o.Arguments[0]))
            return fail(QStringLiteral("serve: \"%1\" is no [ADDRESS:]PORT (e.g. 5025 or 0.0.0.0:5025)")
                            .arg(o.Arguments[0]));
        if ((!o.Allow.isEmpty() || o.LineMode) && o.Command != QLatin1String("serve"))
            return fail(QStringLiteral("--allow and --line-mode are for serve"));
        if (shape.MaxArguments < 0)
            o.Arguments = QStringList{o.Arguments.join(QLatin1Char(' '))};
        if (o.HasSerial && o.Command == QLatin1String("list"))
            return fail(QStringLiteral("--serial is for the commands that use one generator, not for list"));
        if (o.Json && (o.Command == QLatin1String("save") || o.Command == QLatin1String("query") ||
                       o.Command == QLatin1String("send") || o.Command == QLatin1String("run") ||
                       o.Command == QLatin1String("stop")))
            return fail(QStringLiteral("--json is for list, identify, status and apply"));
        return parsed;
    }
    return fail(QStringLiteral("unknown command \"%1\"").arg(o.Command));
}

QString HelpText()
{
    return QStringLiteral(R"(Usage: jt6400-cli [OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]

Drives a 6400-series pulse/delay generator over its serial line, without a
window: the same discovery, read-back and settings files as the jt6400 panel.
Without --port the first generator discovery finds is used, as the panel does,
and one line on standard error names it. Options may also follow the command.

Commands:
  list              every serial port and what answers on it: model, serial
                    number, firmware and FPGA, or no generator / in use /
                    no permission / unsupported model / a generator that
                    answers too late / a dangling link (its device is gone)
  identify          the generator's identity
  save FILE         read every setting back and write it as the panel's
                    Save does (same lines, CR LF); FILE - writes to standard
                    output. A regular file is replaced only once it is
                    complete; a pipe or device is written as it stands.
  apply FILE        send a settings file as the panel's Restore does (comment
                    and blank lines skipped, 30 ms before each line), read the
                    generator back and list every setting that differs from
                    the file, and every line naming a setting the generator
                    lacks; FILE - reads standard input. A file without any
                    setting is refused. A line with a setting before a "//"
                    note is skipped whole, as the panel's Restore skips it,
                    and so is a line beginning with "#": each is named
                    before anything is sent and counts as not applied.
  query CMD         send a query (the "?" is added when missing), print the
                    answer
  send CMD          send a set command, print the generator's reply.
                    A command that is empty, holds a line break or control
                    character, or a character outside Latin-1 is refused.
  status            run state, shot counter and measured period (Plus and
                    high-resolution models), error state (firmware 2 and later).
                    With --json every key is always there: "shotCount" and
                    "measuredPeriod" are null where the model has no such
                    reading or it is off; "error" is 0 for no error,
                    {"code": N, "text": ...} for an error, and null where
                    the firmware cannot report one (before 2)
  run, stop         start or stop the generator's pulses
  serve [[ADDR:]PORT]
                    serve the generator on the network until ended (Ctrl+C):
                    SCPI text over TCP, one line per command, a reply line
                    for each query; default 127.0.0.1:5025 (this machine
                    only). Naming another address (0.0.0.0:5025) lets every
                    machine that reaches it control the generator: limit it
                    with --allow

Options:
  --port N          use COM port N (a number or COMn) instead of discovery
  --serial N        use the generator with serial number N (discovery goes
                    on past the others; with --port, the one there must
                    have it)
  --json            machine-readable output for list, identify, status, apply
  --log FILE        record the traffic in FILE, in the panel's log format
                    (appended when FILE exists)
  --allow NET       serve: accept clients from NET only (192.168.1.0/24, or
                    one address); may be given more than once
  --line-mode       serve: every line gets the generator's own reply, as on
                    the serial line
  --help            show this text
  --version         show the program's version

Ports: the ports are numbered as in the panel. When JT6400_PORT_DIR names a
folder, its entries COM1, COM2, ... (links to devices) are the ports.

Exit codes:
  0  done
  1  the generator answered with an error (a reply beginning with ERR or
     holding "?", an error state in status), or apply found differences,
     lines naming settings the generator does not have, or lines it skipped
  2  usage error: bad arguments, or a file that cannot be read or written
  3  no generator found, port unavailable (in use, no permission, missing),
     or the generator did not answer in time (serve: it stopped answering,
     or the address cannot be listened on)
  130  apply ended by Ctrl+C (SIGINT) while it sent the file, after saying
       how many setting lines had been sent (143 for SIGTERM, 129 for
       SIGHUP); ended by these signals the program leaves no port lock behind

Examples:
  jt6400-cli list
  jt6400-cli save before-run.txt
  jt6400-cli --port 3 apply experiment.txt && echo "generator ready"
  jt6400-cli query :PULS1:DEL
  jt6400-cli send :PULS1:WIDT 0.000002
  jt6400-cli --json status
  jt6400-cli --serial 4711 run
  jt6400-cli --log traffic.txt run
  jt6400-cli serve 0.0.0.0:5025 --allow 192.168.1.0/24
)");
}

}  // namespace jtcli
