#include "readback/SnapshotReader.h"

#include <QDateTime>

#include <algorithm>

#include "jt6400/Version.h"
#include "model/Capabilities.h"
#include "comm/Communication.h"
#include "serial/JTComPort.h"
#include "readback/SettingsLines.h"
#include "model/SettingsSnapshot.h"

namespace {

QString puls(int n, const char* suffix)
{
    return QStringLiteral(":PULS") + QString::number(n) + QLatin1String(suffix);
}

}  // namespace

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

int SyncSourceOf(const QString& answer, int previous)
{
    const int number = GetChannelNumber(answer);
    return number == kNoChannel ? previous : number;
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

void TSnapshotReader::Int(const QString& command, std::int32_t& field)
{
    const std::int32_t value = FComm.QueryInteger(command);
    AfterAnswer();
    field = value;
    FSnapshot->SettingsList.append(SettingsIntLine(command, field));
}

// The system counts and a channel's burst count are unsigned 32-bit values:
// the low half of the answer.
void TSnapshotReader::Count(const QString& command, std::uint32_t& field)
{
    const std::int64_t value = FComm.QueryInt64(command);
    AfterAnswer();
    field = static_cast<std::uint32_t>(static_cast<std::uint64_t>(value));
    FSnapshot->SettingsList.append(SettingsUIntLine(command, field));
}

void TSnapshotReader::Real(const QString& command, double& field)
{
    const double value = FComm.QueryFloat(command);
    AfterAnswer();
    field = value;
    FSnapshot->SettingsList.append(SettingsRealLine(command, field));
}

void TSnapshotReader::Keyword(const QString& command, TKeywordTable table, std::int32_t& field)
{
    const QString answer = Answer(command);
    ApplyKeyword(table, answer, field);
    FSnapshot->SettingsList.append(SettingsAnswerLine(command, answer));
}

void TSnapshotReader::Sync(const QString& command, std::int32_t& field)
{
    const QString answer = Answer(command);
    field = SyncSourceOf(answer, field);
    FSnapshot->SettingsList.append(SettingsAnswerLine(command, answer));
}

void TSnapshotReader::ReadPlusFeatures()
{
    TSystemSettings& s = FSnapshot->SystemSettings;
    Int(QStringLiteral(":PULS0:EXTP:STAT"), s.PeriodCounterEnabled);
    Int(QStringLiteral(":PULS0:EXTP:AUT"), s.PeriodAutoUpdate);
    Int(QStringLiteral(":PULS0:EXTP:NCOU"), s.PeriodsToAverage);
    Int(QStringLiteral(":PULS0:COUN:STAT"), s.ShotCountEnabled);
    Keyword(QStringLiteral(":PULS0:COUN:SOUR"), TKeywordTable::ktShotCountSource, s.ShotCountSource);
    Int(QStringLiteral(":SYST:UPD:AUTO"), s.SyncUpdateAuto);
    Int(QStringLiteral(":PULS0:CCO"), s.CycleCount);
}

void TSnapshotReader::ReadSystemSettings()
{
    TSystemSettings& s = FSnapshot->SystemSettings;
    Real(QStringLiteral(":PULS0:PER"), s.Period);
    Count(QStringLiteral(":PULS0:BCO"), s.BurstCount);
    Keyword(QStringLiteral(":PULS0:MOD"), TKeywordTable::ktSystemMode, s.SystemMode);
    Count(QStringLiteral(":PULS0:PCO"), s.DutyOnCount);
    Count(QStringLiteral(":PULS0:OCO"), s.DutyOffCount);
    Keyword(QStringLiteral(":PULS0:EXT:MODE"), TKeywordTable::ktExtMode, s.ExtMode);
    Real(QStringLiteral(":PULS0:EXT:LEV"), s.TriggerLevel);
    Keyword(QStringLiteral(":PULS0:EXT:EDG"), TKeywordTable::ktTriggerEdge, s.TriggerEdge);
    Keyword(QStringLiteral(":PULS0:EXT:POL"), TKeywordTable::ktGatePolarity, s.GatePolarity);
    Int(QStringLiteral(":SYST:AUT"), s.AutoStart);
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
    TChannelSettings& r = FSnapshot->ChannelSettings[n];
    Int(puls(n, ":STAT"), r.Enabled);
    Real(puls(n, ":DEL"), r.Delay);
    Real(puls(n, ":WIDT"), r.Width);
    Keyword(puls(n, ":CMOD"), TKeywordTable::ktChannelMode, r.Mode);
    Count(puls(n, ":BCO"), r.BurstCount);
    Int(puls(n, ":PCO"), r.DutyOnCount);
    Int(puls(n, ":OCO"), r.DutyOffCount);
    Sync(puls(n, ":SYNC"), r.SyncSource);
    Keyword(puls(n, ":POL"), TKeywordTable::ktChannelPolarity, r.Polarity);
    Int(puls(n, ":WCO"), r.WaitCount);
    Keyword(puls(n, ":CGAT"), TKeywordTable::ktChannelGateMode, r.GateMode);
    // Output stage, multiplexer and mux gate exist on standard channels only.
    if (n <= FSnapshot->StandardChannelCount()) {
        Real(puls(n, ":OUTP:AMPL"), r.Amplitude);
        Int(puls(n, ":MUX"), r.MuxMask);
        if (FSnapshot->MuxGateSupported)
            Int(puls(n, ":MUXG"), r.MuxGate);
    }
}
