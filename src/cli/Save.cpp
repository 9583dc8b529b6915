// jt6400-cli save: a full read-back written as the panel's Save writes it.
#include "cli/Cli.h"

#include "storage/SettingsFile.h"

#include <QDir>
#include <QFileInfo>

namespace jtcli {

TExitCode TCli::Save()
{
    const QString path = FOptions.Arguments.value(0);
    const bool toOutput = path == QLatin1String("-");
    if (!toOutput && !QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        Err(QStringLiteral("Cannot write the settings file %1: its folder does not exist.")
                .arg(QDir::toNativeSeparators(path)));
        return TExitCode::ecUsage;
    }
    // The file is opened before the read-back: one that cannot be written is
    // refused before anything is sent. A regular file stays as it was until
    // the complete new one replaces it.
    TSettingsFileWriter writer(path);
    if (!toOutput) {
        if (const QString error = writer.Open(); !error.isEmpty()) {
            Err(error);
            return TExitCode::ecUsage;
        }
    }
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    TSettingsSnapshot snapshot;
    if (!ReadBack(snapshot))
        return TExitCode::ecUnavailable;
    if (toOutput) {
        const QByteArray bytes = EncodeSettingsText(snapshot.SettingsList);
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), FOut);
        std::fflush(FOut);
        return TExitCode::ecDone;
    }
    const QString error = writer.Write(snapshot.SettingsList);
    if (!error.isEmpty()) {
        Err(error);
        return TExitCode::ecUsage;
    }
    // A pipe or /dev/stdout may be standard output itself: the note goes
    // beside the settings then, not into them.
    const QString note = QStringLiteral("Saved the settings of the %1 on %2 to %3.")
                             .arg(FState.DeviceIdentity.Model, PortName(), QDir::toNativeSeparators(path));
    if (writer.InPlace())
        Err(note);
    else
        Out(note);
    return TExitCode::ecDone;
}

}  // namespace jtcli
