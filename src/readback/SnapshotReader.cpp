#include "readback/SnapshotReader.h"

#include <QDateTime>

#include <algorithm>

#include "jt6400/Version.h"
#include "model/Capabilities.h"
#include "model/SettingTable.h"
#include "comm/Communication.h"
#include "serial/JTComPort.h"
#include "readback/SettingsLines.h"
#include "model/SettingsSnapshot.h"

QString FileVersionText()
{
    return QStringLiteral(JT6400_VERSION);
}

QStringList IdentityTexts(const TDeviceIdentity& identity, int port)
{
    return {ManufacturerName(identity) + QStringLiteral(" Model ") + identity.Model + QStringLiteral("  SW Version: ") +
                FileVersionText() + QStringLiteral(" ComPort: ") + QString::number(port),
            QStringLiteral("Serial Number: ") + QString::number(identity.SerialNumber),
            QStringLiteral("Firmware Ver: ") + identity.FirmwareVersion,
            QStringLiteral("FPGA Ver: ") + identity.FpgaVersion};
}

TSnapshotReader::TSnapshotReader(TCommunication& comm, TAnswerCheck afterAnswer)
    : FComm(comm), FAfterAnswer(std::move(afterAnswer))
{
}

void TSnapshotReader::Begin(TSettingsSnapshot& s) const
{
    s.SettingsList.clear();
    s.SettingsList.append(SettingsTimeStampLine(QDateTime::currentDateTime()));
    for (const QString& text : IdentityTexts(s.DeviceIdentity, FComm.Port().Port()))
        s.SettingsList.append(SettingsCommentLine(text));
    s.SystemSettings.ShotCountEnabled = 0;
    s.SystemSettings.PeriodCounterEnabled = 0;
    s.ChannelCount = ChannelCountOf(s.DeviceIdentity.Model);
    s.TimingResolution = TimingResolutionOf(s.PlusOption, s.HighResolution);
}

bool TSnapshotReader::Read(TSettingsSnapshot& snapshot)
{
    Begin(snapshot);
    return ReadSettings(snapshot);
}

bool TSnapshotReader::ReadSettings(TSettingsSnapshot& snapshot)
{
    FSnapshot = &snapshot;
    bool complete = true;
    try {
        if (snapshot.Variant().PlusFeatures)
            ReadPlusFeatures();
        ReadSystemSettings();
        ProbeMuxGate();
        for (int n = 1; n <= std::min(snapshot.ChannelCount, kMaxChannel); ++n)
            ReadChannel(n);
    } catch (const TEnded&) {
        complete = false;
    }
    FSnapshot = nullptr;
    return complete;
}

QString TSnapshotReader::ReadOne(TSettingsSnapshot& snapshot, const TSettingDescription& setting, int n)
{
    FSnapshot = &snapshot;
    bool complete = true;
    try {
        ReadSetting(setting, n);
    } catch (const TEnded&) {
        complete = false;
    }
    FSnapshot = nullptr;
    // ReadSetting appended the fresh line; the caller puts it in its place.
    return complete ? snapshot.SettingsList.takeLast() : QString();
}

void TSnapshotReader::AfterAnswer()
{
    if (FAfterAnswer && !FAfterAnswer())
        throw TEnded{};
}

QString TSnapshotReader::Answer(const QString& command)
{
    const QString answer = FComm.QueryDevice(command);
    AfterAnswer();
    return answer;
}

// One query: the answer is stored in the setting's field and its line
// appended. Numbers that are not answered are 0; a keyword answer that
// matches no keyword, and a sync answer that names no channel, keep the
// field's value.
void TSnapshotReader::ReadSetting(const TSettingDescription& setting, int n)
{
    TSettingsSnapshot& s = *FSnapshot;
    const QString command = QueryHeaderOf(setting, n);
    switch (setting.Kind) {
        case TValueKind::vkReal: {
            const double value = FComm.QueryFloat(command);
            AfterAnswer();
            setting.Put(s, n, value);
            s.SettingsList.append(SettingsRealLine(command, value));
            break;
        }
        case TValueKind::vkUnsignedCount: {
            // The system counts and a channel's burst count are unsigned
            // 32-bit values: the low half of the answer.
            const std::int64_t answer = FComm.QueryInt64(command);
            AfterAnswer();
            const auto value = static_cast<std::uint32_t>(static_cast<std::uint64_t>(answer));
            setting.Put(s, n, value);
            s.SettingsList.append(SettingsUIntLine(command, value));
            break;
        }
        case TValueKind::vkCount:
        case TValueKind::vkFlag:
        case TValueKind::vkMask:
        case TValueKind::vkNumber: {
            const std::int32_t value = FComm.QueryInteger(command);
            AfterAnswer();
            setting.Put(s, n, value);
            s.SettingsList.append(SettingsIntLine(command, value));
            break;
        }
        case TValueKind::vkKeyword: {
            const QString answer = Answer(command);
            const int index = KeywordIndex(setting.Keywords, answer);
            if (index >= 0)
                setting.Put(s, n, index);
            s.SettingsList.append(SettingsAnswerLine(command, answer));
            break;
        }
        case TValueKind::vkChannel: {
            const QString answer = Answer(command);
            setting.Put(s, n, SyncSourceOf(answer, int(setting.Get(s, n))));
            s.SettingsList.append(SettingsAnswerLine(command, answer));
            break;
        }
    }
}

void TSnapshotReader::ReadGroup(TReadGroup group, int n)
{
    for (const TSettingDescription& setting : SettingTable())
        if (setting.Read == group)
            ReadSetting(setting, n);
}

void TSnapshotReader::ReadPlusFeatures()
{
    ReadGroup(TReadGroup::rgPlus, 0);
}

void TSnapshotReader::ReadSystemSettings()
{
    ReadGroup(TReadGroup::rgSystem, 0);
}

// A generator that does not know the mux-gate query answers with a "?"
// somewhere; the probe writes no line.
void TSnapshotReader::ProbeMuxGate()
{
    FSnapshot->MuxGateSupported = true;
    if (Answer(QStringLiteral(":PULS1:MUXG")).contains(QLatin1Char('?')))
        FSnapshot->MuxGateSupported = false;
}

void TSnapshotReader::ReadChannel(int n)
{
    ReadGroup(TReadGroup::rgChannel, n);
    // Output stage, multiplexer and mux gate exist on standard channels only.
    if (n <= FSnapshot->StandardChannelCount()) {
        ReadGroup(TReadGroup::rgOutputStage, n);
        if (FSnapshot->MuxGateSupported)
            ReadGroup(TReadGroup::rgMuxGate, n);
    }
}
