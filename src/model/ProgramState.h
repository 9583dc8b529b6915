// The program-wide state: one object owned by the application and passed by
// reference to every part that reads or changes it, so that tests can build
// a fresh one and nothing is shared between runs.
#pragma once

#include "Capabilities.h"
#include "DeviceIdentity.h"
#include "Settings.h"

#include <QStringList>
#include <cstdint>

struct TProgramState {
  // Identity and capabilities of the connected generator.
  TDeviceIdentity DeviceIdentity;
  bool PlusOption = false;
  bool HighResolution = false;
  std::int32_t ChannelCount = 0;
  double TimingResolution = 0;

  // The program's copy of the generator's settings.
  TSystemSettings SystemSettings;
  TChannelSettingsArray ChannelSettings{};

  // Every setting as a command line, in the settings-file format.
  QStringList SettingsList;

  // Flags.
  bool DemoMode = false;
  bool CommandsDisabled = false;
  bool LoggingEnabled = false;
  // The program sets -1 for "requested"; any non-zero value means set.
  std::int32_t RefreshRequested = 0;
  std::int32_t RecallRequested = 0;
  std::int32_t RecallBin = 0;
  bool TasksRunning = false;
  bool StatusPolling = false;
  bool SystemRunning = false;
  bool MuxGateSupported = false;
  // Last positive code of the generator's error query; 0 after a read-back.
  std::int32_t ErrorCode = 0;
  // Set by ExitApp and RestartApp: the program is ending, so timers, queued
  // commands and pending events must no longer reach the port.
  bool Terminating = false;

  // Channels 1..this are standard; derived from the model whenever needed.
  int StandardChannelCount() const { return StandardChannelCountOf(DeviceIdentity.Model); }
};
