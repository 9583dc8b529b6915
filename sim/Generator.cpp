#include "Generator.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

namespace jt6400sim {

namespace {

constexpr std::array<std::string_view, 4> kPulseModes{"NORM", "SING", "BURS", "DCYC"};
constexpr std::array<std::string_view, 4> kExtModes{"DIS", "TRIG", "GAT", "REARM"};
constexpr std::array<std::string_view, 2> kEdges{"FALL", "RIS"};
constexpr std::array<std::string_view, 2> kGatePolarities{"LOW", "HIGH"};
constexpr std::array<std::string_view, 2> kPolarities{"INV", "NORM"};
constexpr std::array<std::string_view, 5> kGateModes{"DIS", "LOW", "HIGH", "LOWWR", "HIGHWR"};
constexpr std::array<std::string_view, 9> kChannelNames{"T0", "CHA", "CHB", "CHC", "CHD", "CHE", "CHF", "CHG", "CHH"};

const std::string kOk = "ok";
const std::string kErrMissing = "ERR: missing value";
const std::string kErrMalformed = "ERR: malformed value";
const std::string kErrRange = "ERR: out of range";
const std::string kErrKeyword = "ERR: unknown keyword";
const std::string kErrChannel = "ERR: no such channel";
const std::string kErrVirtual = "ERR: not available on a virtual channel";
const std::string kErrModel = "ERR: not available on this model";
const std::string kErrReadOnly = "ERR: read-only value";
const std::string kErrNoValue = "ERR: takes no value";

using Arg = std::optional<std::string_view>;

std::string_view trim(std::string_view s)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

std::optional<double> parseReal(std::string_view s)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return std::nullopt;
    // Only plain decimal and exponent forms: no "inf", "nan" or hexadecimal.
    for (char c : s) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;
    }
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::int64_t> parseInteger(std::string_view s)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return std::nullopt;
    std::int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range)
        return std::numeric_limits<std::int64_t>::max();
    if (ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::string formatTime(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.12f", v);
    return buf;
}

// Lossless form for the state file.
std::string formatExact(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string formatVolts(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

bool below(double v, double lo)
{
    return v < lo - (std::abs(lo) * 1e-9 + 1e-15);
}
bool above(double v, double hi)
{
    return v > hi + (std::abs(hi) * 1e-9 + 1e-15);
}

// One value of the command language: reads the field on a query, or parses,
// checks and stores the argument of a set command.
std::string realField(double& field, bool query, Arg arg, double lo, double hi, bool volts)
{
    if (query)
        return volts ? formatVolts(field) : formatTime(field);
    if (!arg)
        return kErrMissing;
    auto v = parseReal(*arg);
    if (!v)
        return kErrMalformed;
    if (below(*v, lo) || above(*v, hi))
        return kErrRange;
    field = *v;
    return kOk;
}

template <class T>
std::string countField(T& field, bool query, Arg arg, std::int64_t lo, std::int64_t hi)
{
    if (query)
        return std::to_string(field);
    if (!arg)
        return kErrMissing;
    auto v = parseInteger(*arg);
    if (!v)
        return kErrMalformed;
    if (*v < lo || *v > hi)
        return kErrRange;
    field = static_cast<T>(*v);
    return kOk;
}

std::string flagField(int& field, bool query, Arg arg)
{
    if (query)
        return field ? "1" : "0";
    if (!arg)
        return kErrMissing;
    std::string a = upper(*arg);
    if (a == "ON" || a == "1")
        field = 1;
    else if (a == "OFF" || a == "0")
        field = 0;
    else
        return kErrMalformed;
    return kOk;
}

template <std::size_t N>
std::string keywordField(int& field, bool query, Arg arg, const std::array<std::string_view, N>& words,
                         std::size_t available = N)
{
    if (query) {
        if (field < 0 || static_cast<std::size_t>(field) >= N)
            return "?";
        return std::string(words[static_cast<std::size_t>(field)]);
    }
    if (!arg)
        return kErrMissing;
    std::string a = upper(*arg);
    for (std::size_t i = 0; i < N; ++i) {
        if (a == words[i]) {
            if (i >= available)
                return kErrModel;
            field = static_cast<int>(i);
            return kOk;
        }
    }
    return kErrKeyword;
}

// The header is repeated in the answer with control characters shown as ".",
// so that an answer can never contain a line end of its own.
std::string unknown(std::string_view header, bool query)
{
    std::string out = "?UNKNOWN ";
    for (char c : header)
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '.' : c;
    return out + (query ? "?" : "");
}

}  // namespace

TimeSource steadyTimeSource()
{
    return [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
}

double ModelInfo::periodMin() const
{
    switch (variant) {
        case Variant::Plus:
            return 5e-8;
        case Variant::HighResolution:
            return 4e-8;
        default:
            return 2e-7;
    }
}

double ModelInfo::timeMax() const
{
    return variant == Variant::HighResolution ? 4000.0 : 1000.0;
}

double ModelInfo::widthMin() const
{
    return variant == Variant::HighResolution ? 8e-9 : 1e-8;
}

ModelInfo modelInfo(std::string_view model)
{
    if (model == "6402")
        return {2, 2, Variant::Standard};
    if (model == "6404")
        return {4, 4, Variant::Standard};
    if (model == "6402+")
        return {4, 2, Variant::Plus};
    if (model == "6404+")
        return {8, 4, Variant::Plus};
    if (model == "6422")
        return {4, 2, Variant::HighResolution};
    if (model == "6424")
        return {8, 4, Variant::HighResolution};
    return {8, 0, Variant::Standard};
}

Settings defaultSettings(const ModelInfo& info)
{
    Settings s;
    for (int n = 1; n <= info.StandardChannelCount; ++n)
        s.channels[static_cast<std::size_t>(n - 1)].MuxMask = 1 << (n - 1);
    return s;
}

Generator::Generator(GeneratorOptions options)
    : options_(std::move(options)),
      info_(modelInfo(options_.identity.model)),
      settings_(defaultSettings(info_)),
      echo_(options_.echo),
      errorCode_(options_.errorCode)
{
    if (!options_.clock)
        options_.clock = steadyTimeSource();
    bins_.fill(settings_);
    foldTime_ = now();
    measureStart_ = foldTime_;
}

std::chrono::nanoseconds Generator::now() const
{
    return options_.clock();
}

std::uint64_t Generator::ticksSinceFold() const
{
    if (!running_)
        return 0;
    const double periodNs = settings_.system.Period * 1e9;
    const auto elapsed = (now() - foldTime_).count();
    if (elapsed <= 0 || periodNs <= 0)
        return 0;
    return static_cast<std::uint64_t>(std::floor(static_cast<double>(elapsed) / periodNs));
}

std::uint64_t Generator::outputsUpTo(std::uint64_t ticks) const
{
    const SystemSettings& s = settings_.system;
    switch (s.SystemMode) {
        case 1:
            return std::min<std::uint64_t>(ticks, 1);
        case 2:
            return std::min<std::uint64_t>(ticks, s.BurstCount);
        case 3: {
            const std::uint64_t on = s.DutyOnCount, cycle = std::uint64_t{s.DutyOnCount} + s.DutyOffCount;
            const std::uint64_t full = ticks / cycle, rest = ticks % cycle;
            if (s.CycleCount > 0 && full >= static_cast<std::uint64_t>(s.CycleCount))
                return static_cast<std::uint64_t>(s.CycleCount) * on;
            return full * on + std::min(rest, on);
        }
        default:
            return ticks;
    }
}

bool Generator::shotSourceActive() const
{
    const int src = settings_.system.ShotCountSource;
    if (!settings_.system.ShotCountEnabled)
        return false;
    if (src == 0)
        return true;
    return src <= info_.ChannelCount && settings_.channels[static_cast<std::size_t>(src - 1)].Enabled != 0;
}

void Generator::fold()
{
    const auto t = now();
    lastMeasured_ = measuredPeriod();
    if (running_) {
        const std::uint64_t ticks = ticksSinceFold();
        if (shotSourceActive())
            shotCount_ += outputsUpTo(runTicks_ + ticks) - outputsUpTo(runTicks_);
        runTicks_ += ticks;
        foldTime_ += std::chrono::nanoseconds(
            static_cast<std::int64_t>(std::llround(static_cast<double>(ticks) * settings_.system.Period * 1e9)));
        if (foldTime_ > t)
            foldTime_ = t;
    } else {
        foldTime_ = t;
    }
}

std::uint64_t Generator::shotCount() const
{
    if (!running_ || !shotSourceActive())
        return shotCount_;
    return shotCount_ + outputsUpTo(runTicks_ + ticksSinceFold()) - outputsUpTo(runTicks_);
}

double Generator::measuredPeriod() const
{
    const SystemSettings& s = settings_.system;
    if (running_ && s.PeriodCounterEnabled) {
        const double needed = s.Period * std::max(1, s.PeriodsToAverage) * 1e9;
        if (static_cast<double>((now() - measureStart_).count()) >= needed)
            return s.Period;
    }
    return lastMeasured_;
}

void Generator::setSettings(const Settings& s)
{
    fold();
    settings_ = s;
    measureStart_ = now();
}

std::string Generator::handle(std::string_view line)
{
    line = trim(line);
    if (line.empty())
        return "ERR: empty line";
    std::string_view headerText = line;
    Arg arg;
    const auto space = line.find_first_of(" \t");
    if (space != std::string_view::npos) {
        headerText = line.substr(0, space);
        arg = trim(line.substr(space + 1));
    }
    std::string header = upper(headerText);
    const bool query = !header.empty() && header.back() == '?';
    if (query)
        header.pop_back();
    if (!header.empty() && header.front() != ':' && header.front() != '*')
        header.insert(header.begin(), ':');
    if (query && arg)
        return "ERR: a query takes no value";

    // Counts and measurements up to now are taken with the settings in force
    // until now, whatever this command changes.
    const SystemSettings before = settings_.system;
    const bool wasRunning = running_;
    if (!query)
        fold();
    std::string answer = dispatch(header, query, arg);
    if (!query) {
        const SystemSettings& s = settings_.system;
        if (running_ != wasRunning || s.Period != before.Period ||
            s.PeriodCounterEnabled != before.PeriodCounterEnabled || s.PeriodsToAverage != before.PeriodsToAverage)
            measureStart_ = now();
    }
    return answer;
}

std::string Generator::dispatch(std::string_view header, bool query, Arg arg)
{
    if (header == "*IDN") {
        if (!query)
            return unknown(header, query);
        const Identity& id = options_.identity;
        return id.manufacturer + "," + id.model + "," + id.serial + "," + id.firmware + "-" + id.fpga;
    }
    if (header == "*ERS") {
        if (!query)
            return unknown(header, query);
        return std::to_string(errorCode_);
    }
    if (header == "*CLS") {
        if (query)
            return unknown(header, query);
        if (arg)
            return kErrNoValue;
        errorCode_ = 0;
        return kOk;
    }
    if (header == "*SAV" || header == "*RCL") {
        if (query)
            return unknown(header, query);
        if (!arg)
            return kErrMissing;
        auto n = parseInteger(*arg);
        if (!n)
            return kErrMalformed;
        const bool save = header == "*SAV";
        if (*n < (save ? 1 : 0) || *n >= kBinCount)
            return kErrRange;
        const auto bin = static_cast<std::size_t>(*n);
        if (!save) {
            setSettings(bins_[bin]);
            return kOk;
        }
        bins_[bin] = settings_;
        if (!stateFile_.empty()) {
            std::string err = saveStateFile();
            if (!err.empty())
                return "ERR: bin stored, state file not written: " + err;
        }
        return kOk;
    }
    if (startsWith(header, ":SYST:"))
        return systemCommand(header.substr(6), query, arg);
    if (startsWith(header, ":PULS")) {
        std::string_view rest = header.substr(5);
        std::size_t digits = 0;
        while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits])))
            ++digits;
        if (digits == 0 || digits > 3 || digits == rest.size() || rest[digits] != ':')
            return unknown(header, query);
        const int ch = std::stoi(std::string(rest.substr(0, digits)));
        return channelCommand(ch, rest.substr(digits), query, arg);
    }
    return unknown(header, query);
}

std::string Generator::systemCommand(std::string_view rest, bool query, Arg arg)
{
    const std::string header = ":SYST:" + std::string(rest);
    SystemSettings& s = settings_.system;
    if (rest == "COMM:USB:ECH" || rest == "COMM:BLUE:ECH") {
        int on = echo_ ? 1 : 0;
        std::string answer = flagField(on, query, arg);
        echo_ = on != 0;
        return answer;
    }
    if (rest == "AUT")
        return flagField(s.AutoStart, query, arg);
    if (rest == "UPD:AUTO")
        return flagField(s.SyncUpdateAuto, query, arg);
    if (rest == "UPD:EX") {
        if (query)
            return unknown(header, query);
        if (arg)
            return kErrNoValue;
        return kOk;  // widths and delays are always in force here; nothing is pending
    }
    return unknown(header, query);
}

std::string Generator::channelCommand(int ch, std::string_view rest, bool query, Arg arg)
{
    const std::string header = ":PULS" + std::to_string(ch) + std::string(rest);
    SystemSettings& s = settings_.system;
    const double tmax = info_.timeMax();
    const bool plus = info_.hasPlusFeatures();

    if (ch == 0) {
        if (rest == ":STAT") {
            int on = running_ ? 1 : 0;
            std::string answer = flagField(on, query, arg);
            if (!query && answer == kOk && (on != 0) != running_) {
                running_ = on != 0;
                runTicks_ = 0;
                foldTime_ = now();
            }
            return answer;
        }
        if (rest == ":PER")
            return realField(s.Period, query, arg, info_.periodMin(), tmax, false);
        if (rest == ":MOD" || rest == ":MODE")
            return keywordField(s.SystemMode, query, arg, kPulseModes);
        if (rest == ":BCO")
            return countField(s.BurstCount, query, arg, 1, 4294967295LL);
        if (rest == ":PCO")
            return countField(s.DutyOnCount, query, arg, 1, 4294967295LL);
        if (rest == ":OCO")
            return countField(s.DutyOffCount, query, arg, 1, 4294967295LL);
        if (rest == ":CCO")
            return countField(s.CycleCount, query, arg, 0, 1000000);
        if (rest == ":EXT:MOD" || rest == ":EXT:MODE")
            return keywordField(s.ExtMode, query, arg, kExtModes, plus ? 4 : 3);
        if (rest == ":EXT:LEV")
            return realField(s.TriggerLevel, query, arg, 0.2, 15.0, true);
        if (rest == ":EXT:EDG")
            return keywordField(s.TriggerEdge, query, arg, kEdges);
        if (rest == ":EXT:POL")
            return keywordField(s.GatePolarity, query, arg, kGatePolarities);
        if (rest == ":COUN:STAT")
            return flagField(s.ShotCountEnabled, query, arg);
        if (rest == ":COUN:SOUR") {
            const std::size_t sources = static_cast<std::size_t>(std::min(4, info_.ChannelCount)) + 1;
            if (!query && arg) {
                std::string a = upper(*arg);
                for (std::size_t i = sources; i < 5; ++i)
                    if (a == kChannelNames[i])
                        return kErrChannel;
            }
            std::array<std::string_view, 5> names{"T0", "CHA", "CHB", "CHC", "CHD"};
            return keywordField(s.ShotCountSource, query, arg, names, sources);
        }
        if (rest == ":COUN:COUN")
            return query ? std::to_string(shotCount()) : kErrReadOnly;
        if (rest == ":COUN:CL") {
            if (query)
                return unknown(header, query);
            if (arg)
                return kErrNoValue;
            shotCount_ = 0;
            return kOk;
        }
        if (rest == ":EXTP:STAT")
            return flagField(s.PeriodCounterEnabled, query, arg);
        if (rest == ":EXTP:AUT")
            return flagField(s.PeriodAutoUpdate, query, arg);
        if (rest == ":EXTP:NCOU")
            return countField(s.PeriodsToAverage, query, arg, 1, 15);
        if (rest == ":EXTP:PER")
            return query ? formatTime(measuredPeriod()) : kErrReadOnly;
        if (rest == ":EXTP:CL") {
            if (query)
                return unknown(header, query);
            if (arg)
                return kErrNoValue;
            lastMeasured_ = 0.0;
            measureStart_ = now();
            return kOk;
        }
        return unknown(header, query);
    }

    // Channel commands: the header decides first whether the command exists,
    // then the channel number whether this model has that channel.
    static constexpr std::array<std::string_view, 14> kChannelHeaders{":STAT", ":WIDT", ":DEL",       ":CMOD", ":BCO",
                                                                      ":PCO",  ":OCO",  ":OUTP:AMPL", ":SYNC", ":POL",
                                                                      ":WCO",  ":MUX",  ":CGAT",      ":MUXG"};
    if (std::find(kChannelHeaders.begin(), kChannelHeaders.end(), rest) == kChannelHeaders.end())
        return unknown(header, query);
    if (rest == ":MUXG" && !options_.muxGateSupported)
        return unknown(header, query);
    if (ch < 1 || ch > info_.ChannelCount)
        return kErrChannel;
    ChannelSettings& c = settings_.channels[static_cast<std::size_t>(ch - 1)];
    const bool standard = ch <= info_.StandardChannelCount;

    if (rest == ":STAT")
        return flagField(c.Enabled, query, arg);
    if (rest == ":WIDT")
        return realField(c.Width, query, arg, info_.widthMin(), tmax, false);
    if (rest == ":DEL")
        return realField(c.Delay, query, arg, -tmax, tmax, false);
    if (rest == ":CMOD")
        return keywordField(c.Mode, query, arg, kPulseModes);
    if (rest == ":BCO")
        return countField(c.BurstCount, query, arg, 1, 1000000);
    if (rest == ":PCO")
        return countField(c.DutyOnCount, query, arg, 1, 1000000);
    if (rest == ":OCO")
        return countField(c.DutyOffCount, query, arg, 1, 1000000);
    if (rest == ":WCO")
        return countField(c.WaitCount, query, arg, 0, 1000000);
    if (rest == ":POL")
        return keywordField(c.Polarity, query, arg, kPolarities);
    if (rest == ":CGAT")
        return keywordField(c.GateMode, query, arg, kGateModes, plus ? 5 : 3);
    if (rest == ":SYNC") {
        if (query)
            return std::string(kChannelNames[static_cast<std::size_t>(c.SyncSource)]);
        if (!arg)
            return kErrMissing;
        const std::string a = upper(*arg);
        auto it = std::find(kChannelNames.begin(), kChannelNames.end(), a);
        if (it == kChannelNames.end())
            return kErrKeyword;
        const int src = static_cast<int>(it - kChannelNames.begin());
        if (src > info_.ChannelCount)
            return kErrChannel;
        if (src == ch)
            return "ERR: a channel cannot sync to itself";
        c.SyncSource = src;
        return kOk;
    }
    if (!standard)
        return kErrVirtual;
    if (rest == ":OUTP:AMPL")
        return realField(c.Amplitude, query, arg, 3.3, 5.0, true);
    if (rest == ":MUX")
        return countField(c.MuxMask, query, arg, 0, (1 << info_.ChannelCount) - 1);
    return countField(c.MuxGate, query, arg, 0, 3);  // :MUXG
}

std::vector<std::string> Generator::settingsCommands(const Settings& st) const
{
    std::vector<std::string> out;
    const SystemSettings& s = st.system;
    auto add = [&out](std::string h, std::string v) { out.push_back(std::move(h) + " " + std::move(v)); };
    add(":PULS0:PER", formatExact(s.Period));
    add(":PULS0:MOD", std::string(kPulseModes.at(static_cast<std::size_t>(s.SystemMode))));
    add(":PULS0:BCO", std::to_string(s.BurstCount));
    add(":PULS0:PCO", std::to_string(s.DutyOnCount));
    add(":PULS0:OCO", std::to_string(s.DutyOffCount));
    add(":PULS0:CCO", std::to_string(s.CycleCount));
    add(":PULS0:EXT:MODE", std::string(kExtModes.at(static_cast<std::size_t>(s.ExtMode))));
    add(":PULS0:EXT:LEV", formatExact(s.TriggerLevel));
    add(":PULS0:EXT:EDG", std::string(kEdges.at(static_cast<std::size_t>(s.TriggerEdge))));
    add(":PULS0:EXT:POL", std::string(kGatePolarities.at(static_cast<std::size_t>(s.GatePolarity))));
    add(":PULS0:COUN:STAT", std::to_string(s.ShotCountEnabled));
    add(":PULS0:COUN:SOUR", std::string(kChannelNames.at(static_cast<std::size_t>(s.ShotCountSource))));
    add(":PULS0:EXTP:STAT", std::to_string(s.PeriodCounterEnabled));
    add(":PULS0:EXTP:AUT", std::to_string(s.PeriodAutoUpdate));
    add(":PULS0:EXTP:NCOU", std::to_string(s.PeriodsToAverage));
    add(":SYST:AUT", std::to_string(s.AutoStart));
    add(":SYST:UPD:AUTO", std::to_string(s.SyncUpdateAuto));
    for (int n = 1; n <= info_.ChannelCount; ++n) {
        const ChannelSettings& c = st.channels[static_cast<std::size_t>(n - 1)];
        const std::string p = ":PULS" + std::to_string(n);
        add(p + ":STAT", std::to_string(c.Enabled));
        add(p + ":WIDT", formatExact(c.Width));
        add(p + ":DEL", formatExact(c.Delay));
        add(p + ":CMOD", std::string(kPulseModes.at(static_cast<std::size_t>(c.Mode))));
        add(p + ":BCO", std::to_string(c.BurstCount));
        add(p + ":PCO", std::to_string(c.DutyOnCount));
        add(p + ":OCO", std::to_string(c.DutyOffCount));
        add(p + ":SYNC", std::string(kChannelNames.at(static_cast<std::size_t>(c.SyncSource))));
        add(p + ":POL", std::string(kPolarities.at(static_cast<std::size_t>(c.Polarity))));
        add(p + ":WCO", std::to_string(c.WaitCount));
        add(p + ":CGAT", std::string(kGateModes.at(static_cast<std::size_t>(c.GateMode))));
        if (n <= info_.StandardChannelCount) {
            add(p + ":OUTP:AMPL", formatExact(c.Amplitude));
            add(p + ":MUX", std::to_string(c.MuxMask));
            add(p + ":MUXG", std::to_string(c.MuxGate));
        }
    }
    return out;
}

// State file: a text file of sections "[BIN n]" (n = 1..6), each followed by
// the set commands of that bin; lines starting with "#" are comments.
std::string Generator::saveStateFile() const
{
    const std::string tmp = stateFile_ + ".tmp";
    {
        std::ofstream f(tmp, std::ios::trunc);
        if (!f)
            return std::string("cannot open ") + tmp + ": " + std::strerror(errno);
        f << "# jt6400-sim storage bins, model " << options_.identity.model << "\n";
        for (int b = 1; b < kBinCount; ++b) {
            f << "[BIN " << b << "]\n";
            for (const std::string& line : settingsCommands(bins_[static_cast<std::size_t>(b)]))
                f << line << "\n";
        }
        f.flush();
        if (!f)
            return "cannot write " + tmp;
    }
    if (std::rename(tmp.c_str(), stateFile_.c_str()) != 0)
        return "cannot replace " + stateFile_ + ": " + std::strerror(errno);
    return {};
}

std::string Generator::attachStateFile(const std::string& path)
{
    std::array<Settings, kBinCount> loaded = bins_;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        std::ifstream f(path);
        if (!f)
            return "cannot read " + path + ": " + std::strerror(errno);
        // A scratch generator of the same model parses and checks each bin.
        GeneratorOptions scratchOptions;
        scratchOptions.identity = options_.identity;
        scratchOptions.muxGateSupported = true;
        scratchOptions.clock = options_.clock;
        std::optional<Generator> scratch;
        int bin = 0;
        std::string line;
        int lineNo = 0;
        auto finishBin = [&] {
            if (scratch && bin > 0)
                loaded[static_cast<std::size_t>(bin)] = scratch->settings();
        };
        while (std::getline(f, line)) {
            ++lineNo;
            std::string_view t = trim(line);
            if (t.empty() || t.front() == '#')
                continue;
            const std::string where = path + ":" + std::to_string(lineNo) + ": ";
            if (t.front() == '[') {
                finishBin();
                int n = 0;
                if (std::sscanf(std::string(t).c_str(), "[BIN %d]", &n) != 1 || n < 1 || n >= kBinCount)
                    return where + "bad section " + std::string(t);
                bin = n;
                scratch.emplace(scratchOptions);
                continue;
            }
            if (!scratch)
                return where + "command outside a [BIN n] section";
            const std::string answer = scratch->handle(t);
            if (answer != kOk)
                return where + answer;
        }
        finishBin();
    } else if (ec) {
        return "cannot read " + path + ": " + ec.message();
    }
    bins_ = loaded;
    bins_[0] = defaultSettings(info_);
    stateFile_ = path;
    return {};
}

}  // namespace jt6400sim
