// The software 6400-series generator: settings, storage bins, run state,
// counters and the line-by-line command language. Pure C++, no I/O except the
// optional state file that keeps the storage bins between runs.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jt6400sim {

// Time source in nanoseconds since an arbitrary fixed origin. Tests inject a
// manual clock; the default reads std::chrono::steady_clock.
using TimeSource = std::function<std::chrono::nanoseconds()>;
TimeSource steadyTimeSource();

struct Identity {
    std::string manufacturer = "JT";
    std::string model = "6404+";
    std::string serial = "1234";
    std::string firmware = "2.1.0";
    std::string fpga = "3.0.7";
};

enum class Variant { Standard, Plus, HighResolution };

// What a model code means for the generator. Model texts outside the six
// known codes get 8 channels, none of them standard (no output stage, so no
// amplitude, multiplexer or mux gate), and the Standard timing limits.
struct ModelInfo {
    int ChannelCount = 8;
    int StandardChannelCount = 0;
    Variant variant = Variant::Standard;

    double periodMin() const;
    double timeMax() const;  // period, width and |delay| maximum
    double widthMin() const;
    bool hasPlusFeatures() const { return variant != Variant::Standard; }
};
ModelInfo modelInfo(std::string_view model);

// Channel settings; index values as in the keyword tables of the command
// language (Mode: NORM SING BURS DCYC, Polarity: INV NORM, GateMode: DIS LOW
// HIGH LOWWR HIGHWR, SyncSource: 0 = T0, 1..8 = CHA..CHH).
struct ChannelSettings {
    int Enabled = 1;
    double Width = 1e-6;
    double Delay = 0.0;
    int Mode = 0;
    std::uint32_t BurstCount = 1;  // a generator may hold more than a signed 32-bit count
    int DutyOnCount = 1;
    int DutyOffCount = 1;
    double Amplitude = 4.0;
    int SyncSource = 0;
    int Polarity = 1;
    int WaitCount = 0;
    int MuxMask = 0;
    int GateMode = 0;
    int MuxGate = 0;
    bool operator==(const ChannelSettings&) const = default;
};

// System timer T0, trigger input and the Plus features (SystemMode: NORM SING
// BURS DCYC, ExtMode: DIS TRIG GAT REARM, TriggerEdge: FALL RIS, GatePolarity:
// LOW HIGH, ShotCountSource: T0 CHA CHB CHC CHD).
struct SystemSettings {
    double Period = 0.001;
    int SystemMode = 0;
    int ExtMode = 0;
    int TriggerEdge = 1;
    int GatePolarity = 1;
    int ShotCountEnabled = 0;
    std::uint32_t DutyOnCount = 1;
    std::uint32_t DutyOffCount = 1;
    int CycleCount = 0;
    double TriggerLevel = 2.5;
    std::uint32_t BurstCount = 1;
    int AutoStart = 0;
    int PeriodCounterEnabled = 0;
    int PeriodsToAverage = 1;
    int PeriodAutoUpdate = 0;
    int ShotCountSource = 0;
    int SyncUpdateAuto = 1;
    bool operator==(const SystemSettings&) const = default;
};

// Everything a storage bin holds. channels[0] is channel A (number 1).
struct Settings {
    SystemSettings system;
    std::array<ChannelSettings, 8> channels;
    bool operator==(const Settings&) const = default;
};

// Power-up settings of a model; bin 0 always holds these.
Settings defaultSettings(const ModelInfo& info);

struct GeneratorOptions {
    Identity identity;
    bool muxGateSupported = true;
    bool echo = true;
    int errorCode = 0;
    TimeSource clock;  // empty: steady clock
};

class Generator {
public:
    static constexpr int kBinCount = 7;  // bin 0 (factory defaults) + bins 1..6

    explicit Generator(GeneratorOptions options = {});

    // Handles one received line (without CR LF) and returns the answer text
    // (without CR). Every line gets exactly one answer: "ok" for an accepted
    // set command, the value for a query, "ERR: ..." for a refused command and
    // a text starting with "?" for an unknown header.
    std::string handle(std::string_view line);

    const Identity& identity() const { return options_.identity; }
    const ModelInfo& model() const { return info_; }
    bool muxGateSupported() const { return options_.muxGateSupported; }

    bool echo() const { return echo_; }
    void setEcho(bool on) { echo_ = on; }

    int errorCode() const { return errorCode_; }
    void setErrorCode(int code) { errorCode_ = code; }

    const Settings& settings() const { return settings_; }
    // Replaces all settings at once (as a recall does); counters are re-based.
    void setSettings(const Settings& s);
    const Settings& bin(int n) const { return bins_.at(static_cast<std::size_t>(n)); }

    bool running() const { return running_; }
    std::uint64_t shotCount() const;
    double measuredPeriod() const;

    // The set commands that reproduce `s` exactly on this generator's model,
    // one per setting, numbers in a lossless form (used for the state file).
    std::vector<std::string> settingsCommands(const Settings& s) const;

    // Loads the storage bins from `path` if the file exists and saves them
    // there after each *SAV from then on. Returns an empty text on success,
    // otherwise the reason; on failure nothing is loaded or attached.
    std::string attachStateFile(const std::string& path);

private:
    std::string dispatch(std::string_view header, bool query, std::optional<std::string_view> arg);
    std::string channelCommand(int ch, std::string_view rest, bool query, std::optional<std::string_view> arg);
    std::string systemCommand(std::string_view rest, bool query, std::optional<std::string_view> arg);
    std::string saveStateFile() const;

    // Counter bookkeeping. Everything that changes how pulses are counted
    // first folds the counts of the time passed so far.
    std::chrono::nanoseconds now() const;
    void fold();
    std::uint64_t ticksSinceFold() const;
    std::uint64_t outputsUpTo(std::uint64_t ticks) const;
    bool shotSourceActive() const;

    GeneratorOptions options_;
    ModelInfo info_;
    Settings settings_;
    std::array<Settings, kBinCount> bins_;
    std::string stateFile_;
    bool echo_ = true;
    int errorCode_ = 0;

    bool running_ = false;
    std::chrono::nanoseconds foldTime_{0};
    std::uint64_t runTicks_ = 0;                // T0 periods elapsed in this run, up to foldTime_
    std::uint64_t shotCount_ = 0;               // shot counter value at foldTime_
    std::chrono::nanoseconds measureStart_{0};  // start of the current period measurement
    bool measuring_ = false;
    double lastMeasured_ = 0.0;
};

}  // namespace jt6400sim
