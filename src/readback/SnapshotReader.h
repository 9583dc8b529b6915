// Reading the generator's whole state into a settings snapshot, with nothing
// but the command channel and the capability table: one query per setting,
// in the generator's order, each answer stored in the snapshot's records and
// written as its settings line. No widget is touched; the panel shows the
// snapshot afterwards, the settings file saves its lines.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "model/SettingTable.h"
#include "model/SyncRules.h"

class TCommunication;
struct TDeviceIdentity;
struct TSettingsSnapshot;

// The program's own file version, as the window caption shows it.
QString FileVersionText();

// The window caption and the serial-number, firmware and FPGA labels for a
// generator reached on port number Port, in this order. The snapshot's
// identity comment lines carry the same texts.
QStringList IdentityTexts(const TDeviceIdentity& identity, int port);


class TSnapshotReader {
public:
    // Asked after every answer: false ends the read-back at once (the program
    // is ending), without a further query.
    using TAnswerCheck = std::function<bool()>;

    explicit TSnapshotReader(TCommunication& comm, TAnswerCheck afterAnswer = {});

    // Starts a fresh snapshot of the generator its identity and variant flags
    // name (as discovery left them): the time-stamp and identity lines, the
    // shot and period counters off, the model's channel count and timing
    // step. Sends nothing.
    void Begin(TSettingsSnapshot& snapshot) const;
    // Queries every setting: the Plus features (Plus and High-resolution
    // generators), the system settings, the mux-gate probe, then each channel
    // in use. Fields whose answer matches no keyword, and the sync source of
    // an answer that names no channel, keep their value; a number that is not
    // answered is 0. False when the read-back ended early.
    bool ReadSettings(TSettingsSnapshot& snapshot);
    // Both, as one read-back.
    bool Read(TSettingsSnapshot& snapshot);
    // Queries one setting of channel N (0 for the system timer) into its
    // field of Snapshot and returns its settings line, which Snapshot's
    // list does not get (PutSettingsLine puts it in place); empty when the
    // check ended the read.
    QString ReadOne(TSettingsSnapshot& snapshot, const TSettingDescription& setting, int n);

private:
    struct TEnded {};

    void ReadPlusFeatures();
    void ReadSystemSettings();
    void ProbeMuxGate();
    void ReadChannel(int n);

    void ReadSetting(const TSettingDescription& setting, int n);
    void ReadGroup(TReadGroup group, int n);
    QString Answer(const QString& command);
    void AfterAnswer();

    TCommunication& FComm;
    TAnswerCheck FAfterAnswer;
    TSettingsSnapshot* FSnapshot = nullptr;
};
