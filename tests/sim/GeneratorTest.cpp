// Model-level tests of the simulated generator: identity, settings, keywords,
// refusals, storage bins, run state and counters.
#include "Generator.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string_view>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace jt6400sim;
using namespace std::chrono_literals;

namespace {

// Readable, stable test names from a command text: letters and digits kept,
// everything else "_", and the case index in front so names stay unique.
std::string caseName(std::size_t index, std::string_view text)
{
    std::string out = std::to_string(index) + "_";
    for (char c : text)
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out;
}

// A clock the test moves by hand.
struct ManualClock {
    std::shared_ptr<std::chrono::nanoseconds> t = std::make_shared<std::chrono::nanoseconds>(1s);
    TimeSource source() const
    {
        auto p = t;
        return [p] { return *p; };
    }
    void advance(std::chrono::nanoseconds d) const { *t += d; }
};

Generator makeGenerator(const std::string& model = "6404+", const ManualClock* clock = nullptr)
{
    GeneratorOptions o;
    o.identity.model = model;
    if (clock)
        o.clock = clock->source();
    return Generator(o);
}

std::string tempPath(const std::string& name)
{
    auto dir =
        std::filesystem::temp_directory_path() / ("jt6400sim-" + std::to_string(::getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

}  // namespace

// ---------------------------------------------------------------- identity

struct ModelCase {
    const char* model;
    int channels;
    int standard;
};
void PrintTo(const ModelCase& c, std::ostream* os)
{
    *os << '"' << c.model << "\" with " << c.channels << " channels";
}

class GeneratorModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(GeneratorModel, IdentifiesAndHasTheModelsChannels)
{
    const ModelCase& c = GetParam();
    Generator g = makeGenerator(c.model);
    EXPECT_EQ(g.handle("*IDN?"), std::string("JT,") + c.model + ",1234,2.1.0-3.0.7");

    const std::string last = ":PULS" + std::to_string(c.channels);
    EXPECT_EQ(g.handle(last + ":STAT?"), "1");
    if (c.channels < 8) {
        EXPECT_EQ(g.handle(":PULS" + std::to_string(c.channels + 1) + ":STAT?").rfind("ERR", 0), 0u);
    }

    // Amplitude exists on standard channels only.
    for (int n = 1; n <= c.channels; ++n) {
        const std::string answer = g.handle(":PULS" + std::to_string(n) + ":OUTP:AMPL?");
        if (n <= c.standard)
            EXPECT_EQ(answer, "4.00") << "channel " << n;
        else
            EXPECT_EQ(answer.rfind("ERR", 0), 0u) << "channel " << n << ": " << answer;
    }
}

INSTANTIATE_TEST_SUITE_P(ModelTable, GeneratorModel,
                         ::testing::Values(ModelCase{"6402", 2, 2}, ModelCase{"6404", 4, 4}, ModelCase{"6402+", 4, 2},
                                           ModelCase{"6404+", 8, 4}, ModelCase{"6422", 4, 2}, ModelCase{"6424", 8, 4},
                                           ModelCase{"X100", 8, 0}, ModelCase{"", 8, 0}),
                         [](const auto& info) { return caseName(info.index, info.param.model); });

TEST(GeneratorIdentity, AnswersTheConfiguredIdentity)
{
    GeneratorOptions o;
    o.identity = {"ACME", "6422", "77", "1.20.3", "4.5.6.7"};
    Generator g(o);
    EXPECT_EQ(g.handle("*IDN?"), "ACME,6422,77,1.20.3-4.5.6.7");
}

// ------------------------------------------------------- set/query round trip

struct RoundTrip {
    const char* set;       // full set command
    const char* query;     // header queried afterwards, without "?"
    const char* expected;  // answer after the set
};
void PrintTo(const RoundTrip& c, std::ostream* os)
{
    *os << c.set << " -> " << c.query << "? = " << c.expected;
}

class GeneratorRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(GeneratorRoundTrip, SetIsAcknowledgedAndReadBack)
{
    const RoundTrip& c = GetParam();
    Generator g = makeGenerator("6404+");
    const std::string query = std::string(c.query) + "?";
    ASSERT_NE(g.handle(query), c.expected) << "the default already holds the value";
    EXPECT_EQ(g.handle(c.set), "ok");
    EXPECT_EQ(g.handle(query), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    EverySetting, GeneratorRoundTrip,
    ::testing::Values(
        RoundTrip{":PULS0:PER 0.000000120", ":PULS0:PER", "0.000000120000"},
        RoundTrip{":PULS0:PER 1E-7", ":PULS0:PER", "0.000000100000"},
        RoundTrip{":PULS0:PER 1000", ":PULS0:PER", "1000.000000000000"},
        RoundTrip{":PULS0:MOD BURS", ":PULS0:MOD", "BURS"},
        RoundTrip{":PULS0:BCO 4000000000", ":PULS0:BCO", "4000000000"},
        RoundTrip{":PULS0:PCO 4294967295", ":PULS0:PCO", "4294967295"}, RoundTrip{":PULS0:OCO 7", ":PULS0:OCO", "7"},
        RoundTrip{":PULS0:CCO 1000000", ":PULS0:CCO", "1000000"},
        RoundTrip{":PULS0:EXT:MOD REARM", ":PULS0:EXT:MODE", "REARM"},
        RoundTrip{":PULS0:EXT:MODE TRIG", ":PULS0:EXT:MODE", "TRIG"},
        RoundTrip{":PULS0:EXT:LEV 12.34", ":PULS0:EXT:LEV", "12.34"},
        RoundTrip{":PULS0:EXT:EDG FALL", ":PULS0:EXT:EDG", "FALL"},
        RoundTrip{":PULS0:EXT:POL LOW", ":PULS0:EXT:POL", "LOW"}, RoundTrip{":SYST:AUT 1", ":SYST:AUT", "1"},
        RoundTrip{":SYST:UPD:AUTO 0", ":SYST:UPD:AUTO", "0"}, RoundTrip{":PULS0:COUN:STAT 1", ":PULS0:COUN:STAT", "1"},
        RoundTrip{":PULS0:COUN:SOUR CHB", ":PULS0:COUN:SOUR", "CHB"},
        RoundTrip{":PULS0:EXTP:STAT ON", ":PULS0:EXTP:STAT", "1"},
        RoundTrip{":PULS0:EXTP:AUT ON", ":PULS0:EXTP:AUT", "1"},
        RoundTrip{":PULS0:EXTP:NCOU 15", ":PULS0:EXTP:NCOU", "15"}, RoundTrip{":PULS0:STAT ON", ":PULS0:STAT", "1"},
        RoundTrip{":SYST:COMM:USB:ECH OFF", ":SYST:COMM:USB:ECH", "0"},
        RoundTrip{":SYST:COMM:BLUE:ECH 0", ":SYST:COMM:BLUE:ECH", "0"}, RoundTrip{":PULS2:STAT 0", ":PULS2:STAT", "0"},
        RoundTrip{":PULS3:DEL 0.000000100000", ":PULS3:DEL", "0.000000100000"},
        RoundTrip{":PULS1:DEL -0.000000500000", ":PULS1:DEL", "-0.000000500000"},
        RoundTrip{":PULS1:DEL 0.000000000005", ":PULS1:DEL", "0.000000000005"},
        RoundTrip{":PULS1:WIDT 0.000000015", ":PULS1:WIDT", "0.000000015000"},
        RoundTrip{":PULS1:WIDT 2E-7", ":PULS1:WIDT", "0.000000200000"},
        RoundTrip{":PULS4:CMOD DCYC", ":PULS4:CMOD", "DCYC"}, RoundTrip{":PULS1:BCO 1000000", ":PULS1:BCO", "1000000"},
        RoundTrip{":PULS1:PCO 3", ":PULS1:PCO", "3"}, RoundTrip{":PULS1:OCO 4", ":PULS1:OCO", "4"},
        RoundTrip{":PULS2:SYNC CHA", ":PULS2:SYNC", "CHA"}, RoundTrip{":PULS8:SYNC CHG", ":PULS8:SYNC", "CHG"},
        RoundTrip{":PULS1:POL INV", ":PULS1:POL", "INV"}, RoundTrip{":PULS5:WCO 100000", ":PULS5:WCO", "100000"},
        RoundTrip{":PULS1:MUX 255", ":PULS1:MUX", "255"}, RoundTrip{":PULS1:CGAT HIGHWR", ":PULS1:CGAT", "HIGHWR"},
        RoundTrip{":PULS2:OUTP:AMPL 4.50", ":PULS2:OUTP:AMPL", "4.50"}, RoundTrip{":PULS4:MUXG 3", ":PULS4:MUXG", "3"},
        RoundTrip{":puls1:cmod burs", ":PULS1:CMOD", "BURS"}),
    [](const auto& info) { return caseName(info.index, info.param.set); });

// ------------------------------------------------------------------ keywords

struct KeywordRow {
    const char* set;
    const char* query;
    std::vector<std::string> words;
};

TEST(GeneratorKeywords, EveryKeywordIsAcceptedAndAnsweredExactly)
{
    const std::vector<KeywordRow> rows = {
        {":PULS0:MOD", ":PULS0:MOD", {"NORM", "SING", "BURS", "DCYC"}},
        {":PULS3:CMOD", ":PULS3:CMOD", {"NORM", "SING", "BURS", "DCYC"}},
        {":PULS0:EXT:MOD", ":PULS0:EXT:MODE", {"DIS", "TRIG", "GAT", "REARM"}},
        {":PULS0:EXT:EDG", ":PULS0:EXT:EDG", {"FALL", "RIS"}},
        {":PULS0:EXT:POL", ":PULS0:EXT:POL", {"LOW", "HIGH"}},
        {":PULS2:POL", ":PULS2:POL", {"INV", "NORM"}},
        {":PULS6:CGAT", ":PULS6:CGAT", {"DIS", "LOW", "HIGH", "LOWWR", "HIGHWR"}},
        {":PULS0:COUN:SOUR", ":PULS0:COUN:SOUR", {"T0", "CHA", "CHB", "CHC", "CHD"}},
        {":PULS4:SYNC", ":PULS4:SYNC", {"T0", "CHA", "CHB", "CHC", "CHE", "CHF", "CHG", "CHH"}},
    };
    Generator g = makeGenerator("6404+");
    for (const KeywordRow& row : rows) {
        // Walk the list twice in opposite directions so every word replaces another.
        std::vector<std::string> order = row.words;
        order.insert(order.end(), row.words.rbegin(), row.words.rend());
        for (const std::string& w : order) {
            EXPECT_EQ(g.handle(std::string(row.set) + " " + w), "ok") << row.set << " " << w;
            EXPECT_EQ(g.handle(std::string(row.query) + "?"), w) << row.query;
        }
    }
}

// --------------------------------------------------------- unknown commands

TEST(GeneratorUnknown, UnknownHeadersAnswerWithAQuestionMark)
{
    Generator g = makeGenerator();
    for (const char* line : {":FOO?", ":FOO 1", ":PULS1:BOGUS?", ":PULS1:BOGUS 3", "*IDN", "*XYZ?", ":PULS0:COUN:CL?",
                             ":SYST:UPD:EX?", ":PULSX:STAT?", ":PULS1", ":SYST:COMM:WIFI:ECH OFF"}) {
        EXPECT_NE(g.handle(line).find('?'), std::string::npos) << line;
    }
}

TEST(GeneratorUnknown, MuxGateIsUnknownWhenNotSupported)
{
    GeneratorOptions o;
    o.muxGateSupported = false;
    Generator without(o);
    Generator with = makeGenerator();
    for (const char* line : {":PULS1:MUXG?", ":PULS1:MUXG 1", ":PULS4:MUXG?"}) {
        EXPECT_NE(without.handle(line).find('?'), std::string::npos) << line;
        EXPECT_EQ(with.handle(line).find('?'), std::string::npos) << line;
    }
    EXPECT_EQ(without.settings(), Generator(GeneratorOptions{}).settings());
}

// ---------------------------------------------------------------- refusals

struct Refusal {
    const char* model;
    const char* line;
};
void PrintTo(const Refusal& c, std::ostream* os)
{
    *os << c.model << ": " << c.line;
}

class GeneratorRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(GeneratorRefusal, IsAnErrorAndChangesNothing)
{
    const Refusal& c = GetParam();
    Generator g = makeGenerator(c.model);
    const Settings before = g.settings();
    const std::string answer = g.handle(c.line);
    EXPECT_EQ(answer.rfind("ERR", 0), 0u) << c.line << " -> " << answer;
    EXPECT_EQ(answer.find('?'), std::string::npos) << "error answers must not look like unknown-command answers";
    EXPECT_EQ(g.settings(), before) << c.line;
    EXPECT_FALSE(g.running());
    for (int b = 0; b < Generator::kBinCount; ++b)
        EXPECT_EQ(g.bin(b), before);
}

INSTANTIATE_TEST_SUITE_P(
    BadValues, GeneratorRefusal,
    ::testing::Values(
        Refusal{"6404+", ":PULS0:PER abc"}, Refusal{"6404+", ":PULS0:PER"}, Refusal{"6404+", ":PULS0:PER 1e-9"},
        Refusal{"6404+", ":PULS0:PER 1000.5"}, Refusal{"6404+", ":PULS0:PER nan"}, Refusal{"6404+", ":PULS0:PER inf"},
        Refusal{"6404+", ":PULS0:PER 0x10"}, Refusal{"6404+", ":PULS0:PER 0,001"}, Refusal{"6404+", ":PULS0:BCO 0"},
        Refusal{"6404+", ":PULS0:BCO 4294967296"}, Refusal{"6404+", ":PULS0:BCO -1"},
        Refusal{"6404+", ":PULS0:BCO 1.5"}, Refusal{"6404+", ":PULS0:BCO 99999999999999999999999"},
        Refusal{"6404+", ":PULS0:MOD FAST"}, Refusal{"6404+", ":PULS0:EXT:LEV 0.1"},
        Refusal{"6404+", ":PULS0:EXTP:NCOU 16"}, Refusal{"6404+", ":PULS0:EXTP:STAT YES"},
        Refusal{"6404+", ":PULS0:STAT 2"}, Refusal{"6404+", ":PULS0:COUN:COUN 5"},
        Refusal{"6404+", ":PULS0:EXTP:PER 0.1"}, Refusal{"6404+", ":PULS0:COUN:CL 1"},
        Refusal{"6404+", ":PULS9:STAT 1"}, Refusal{"6404+", ":PULS1:WIDT 0"}, Refusal{"6404+", ":PULS1:DEL 1000.5"},
        Refusal{"6404+", ":PULS1:OUTP:AMPL 5.5"}, Refusal{"6404+", ":PULS1:MUX 256"}, Refusal{"6404+", ":PULS1:MUXG 4"},
        Refusal{"6404+", ":PULS1:SYNC CHA"}, Refusal{"6404+", ":PULS1:SYNC CHX"}, Refusal{"6404+", ":PULS1:CMOD"},
        Refusal{"6404+", ":PULS5:OUTP:AMPL 4.0"}, Refusal{"6404+", ":PULS5:MUX 1"}, Refusal{"6404+", ":PULS5:MUXG 1"},
        Refusal{"6404+", "*SAV 0"}, Refusal{"6404+", "*SAV 7"}, Refusal{"6404+", "*RCL 7"}, Refusal{"6404+", "*RCL -1"},
        Refusal{"6404+", "*IDN? now"}, Refusal{"6404+", ""}, Refusal{"6402", ":PULS3:WIDT 0.000001"},
        Refusal{"6402", ":PULS1:SYNC CHC"}, Refusal{"6402", ":PULS0:PER 0.0000001"},
        Refusal{"6402", ":PULS0:EXT:MOD REARM"}, Refusal{"6402", ":PULS1:CGAT LOWWR"},
        Refusal{"6402", ":PULS0:COUN:SOUR CHC"}, Refusal{"6402", ":PULS1:MUX 4"}, Refusal{"6404+", ":PULS1:WIDT 1001"},
        Refusal{"6424", ":PULS1:WIDT 4001"}, Refusal{"X100", ":PULS1:OUTP:AMPL 4.0"}),
    [](const auto& info) { return caseName(info.index, std::string(info.param.model) + " " + info.param.line); });

TEST(GeneratorRefusal, HighResolutionAcceptsItsWiderRanges)
{
    Generator g = makeGenerator("6424");
    EXPECT_EQ(g.handle(":PULS0:PER 4000"), "ok");
    EXPECT_EQ(g.handle(":PULS1:DEL -4000"), "ok");
    EXPECT_EQ(g.handle(":PULS1:WIDT 8e-9"), "ok");
    EXPECT_EQ(g.handle(":PULS0:PER 4e-8"), "ok");
}

// ------------------------------------------------------------------- echo

TEST(GeneratorEcho, EchoFollowsTheEchoCommands)
{
    Generator g = makeGenerator();
    EXPECT_TRUE(g.echo());
    EXPECT_EQ(g.handle(":SYST:COMM:USB:ECH OFF"), "ok");
    EXPECT_FALSE(g.echo());
    EXPECT_EQ(g.handle(":SYST:COMM:BLUE:ECH ON"), "ok");
    EXPECT_TRUE(g.echo());
    EXPECT_EQ(g.handle(":SYST:COMM:BLUE:ECH OFF"), "ok");
    EXPECT_FALSE(g.echo());

    GeneratorOptions o;
    o.echo = false;
    EXPECT_FALSE(Generator(o).echo());
}

// ------------------------------------------------------------ storage bins

TEST(GeneratorBins, SaveAndRecallRestoreEverySetting)
{
    Generator g = makeGenerator();
    const Settings defaults = g.settings();
    for (const char* cmd : {":PULS0:PER 0.002", ":PULS0:MOD DCYC", ":PULS3:DEL 0.000000200000", ":PULS1:OUTP:AMPL 3.50",
                            ":PULS2:SYNC CHA", ":PULS0:COUN:SOUR CHD", ":PULS8:CGAT LOWWR"})
        ASSERT_EQ(g.handle(cmd), "ok") << cmd;
    const Settings saved = g.settings();
    EXPECT_EQ(g.handle("*SAV 2"), "ok");
    EXPECT_EQ(g.handle(":PULS0:PER 0.005"), "ok");
    EXPECT_EQ(g.handle(":PULS0:STAT ON"), "ok");

    EXPECT_EQ(g.handle("*RCL 2"), "ok");
    EXPECT_EQ(g.settings(), saved);
    EXPECT_EQ(g.handle(":PULS0:PER?"), "0.002000000000");
    EXPECT_TRUE(g.running()) << "a recall loads settings, it does not stop the generator";

    EXPECT_EQ(g.handle("*RCL 5"), "ok");
    EXPECT_EQ(g.settings(), defaults) << "a bin never saved holds the defaults";
    EXPECT_EQ(g.handle("*RCL 2"), "ok");
    EXPECT_EQ(g.handle("*RCL 0"), "ok");
    EXPECT_EQ(g.settings(), defaults);
    EXPECT_EQ(g.settings(), defaultSettings(modelInfo("6404+")));
}

TEST(GeneratorBins, StateFileKeepsBinsAcrossGenerators)
{
    const std::string path = tempPath("state.txt");
    std::filesystem::remove(path);
    Settings saved;
    {
        Generator g = makeGenerator();
        ASSERT_EQ(g.attachStateFile(path), "");
        for (const char* cmd :
             {":PULS0:PER 0.000000125", ":PULS0:BCO 4000000000", ":PULS0:EXT:MOD GAT", ":PULS0:EXT:LEV 3.30",
              ":PULS0:EXTP:NCOU 9", ":SYST:UPD:AUTO 0", ":SYST:AUT 1", ":PULS4:DEL -0.000000000005", ":PULS7:SYNC CHB",
              ":PULS2:MUX 9", ":PULS3:MUXG 2", ":PULS6:STAT 0", ":PULS1:POL INV", ":PULS0:CCO 12"})
            ASSERT_EQ(g.handle(cmd), "ok") << cmd;
        saved = g.settings();
        ASSERT_EQ(g.handle("*SAV 4"), "ok");
    }
    ASSERT_TRUE(std::filesystem::exists(path));

    Generator h = makeGenerator();
    ASSERT_EQ(h.attachStateFile(path), "");
    EXPECT_EQ(h.bin(4), saved);
    EXPECT_EQ(h.bin(3), defaultSettings(modelInfo("6404+")));
    EXPECT_EQ(h.handle("*RCL 4"), "ok");
    EXPECT_EQ(h.handle(":PULS4:DEL?"), "-0.000000000005");
    EXPECT_EQ(h.settings(), saved);
}

TEST(GeneratorBins, BrokenStateFileIsRefusedAndNotAttached)
{
    const std::string path = tempPath("broken.txt");
    {
        std::ofstream f(path);
        f << "[BIN 1]\n:PULS0:PER 0.002\n:PULS0:PER banana\n";
    }
    Generator g = makeGenerator();
    const std::string err = g.attachStateFile(path);
    EXPECT_NE(err.find(":3"), std::string::npos) << err;
    EXPECT_EQ(g.bin(1), defaultSettings(modelInfo("6404+")));
    EXPECT_EQ(g.handle("*SAV 1"), "ok");
    std::ifstream f(path);
    std::string first;
    std::getline(f, first);
    EXPECT_EQ(first, "[BIN 1]") << "a refused state file is left alone";
}

TEST(GeneratorBins, UnwritableStateFileIsReported)
{
    Generator g = makeGenerator();
    const std::string path = tempPath("dir/state.txt");
    ASSERT_EQ(g.attachStateFile(path), "");
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    EXPECT_EQ(g.handle(":PULS0:PER 0.002"), "ok");
    const std::string answer = g.handle("*SAV 1");
    EXPECT_EQ(answer.rfind("ERR", 0), 0u) << answer;
    EXPECT_EQ(g.bin(1).system.Period, 0.002) << "the bin itself is kept for this run";
}

// ------------------------------------------------------ run state, counters

TEST(GeneratorRun, ShotCounterFollowsTheClockWhileRunning)
{
    ManualClock clock;
    Generator g = makeGenerator("6404+", &clock);
    EXPECT_EQ(g.handle(":PULS0:STAT?"), "0");
    EXPECT_EQ(g.handle(":PULS0:COUN:STAT 1"), "ok");
    EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), "0");

    clock.advance(50ms);  // stopped: nothing counts
    EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), "0");

    EXPECT_EQ(g.handle(":PULS0:STAT 1"), "ok");
    EXPECT_EQ(g.handle(":PULS0:STAT?"), "1");
    clock.advance(10500us);
    EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), "10");

    // Changing the period mid-run keeps what was counted and the phase.
    EXPECT_EQ(g.handle(":PULS0:PER 0.002"), "ok");
    clock.advance(3500us);
    EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), "12");

    EXPECT_EQ(g.handle(":PULS0:STAT OFF"), "ok");
    clock.advance(100ms);
    EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), "12");

    EXPECT_EQ(g.handle(":PULS0:COUN:CL"), "ok");
    EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), "0");

    EXPECT_EQ(g.handle(":PULS0:COUN:STAT 0"), "ok");
    EXPECT_EQ(g.handle(":PULS0:STAT ON"), "ok");
    clock.advance(100ms);
    EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), "0") << "a disabled counter does not count";
}

TEST(GeneratorRun, CountsFollowTheSystemMode)
{
    struct Case {
        std::vector<std::string> setup;
        int periods;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {{":PULS0:MOD NORM"}, 25, "25"},
        {{":PULS0:MOD SING"}, 25, "1"},
        {{":PULS0:MOD BURS", ":PULS0:BCO 5"}, 25, "5"},
        {{":PULS0:MOD DCYC", ":PULS0:PCO 2", ":PULS0:OCO 3"}, 12, "6"},  // on on off off off on on off off off on on
        {{":PULS0:MOD DCYC", ":PULS0:PCO 2", ":PULS0:OCO 3", ":PULS0:CCO 1"}, 12, "2"},
        {{":PULS0:COUN:SOUR CHA", ":PULS1:STAT 0"}, 25, "0"},
        {{":PULS0:COUN:SOUR CHB"}, 25, "25"},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        Generator g = makeGenerator("6404+", &clock);
        ASSERT_EQ(g.handle(":PULS0:COUN:STAT ON"), "ok");
        for (const std::string& s : c.setup)
            ASSERT_EQ(g.handle(s), "ok") << s;
        ASSERT_EQ(g.handle(":PULS0:STAT ON"), "ok");
        clock.advance(std::chrono::microseconds(1000 * c.periods + 500));
        EXPECT_EQ(g.handle(":PULS0:COUN:COUN?"), c.expected) << c.setup.back();
    }
}

TEST(GeneratorRun, PeriodCounterMeasuresWhileRunning)
{
    ManualClock clock;
    Generator g = makeGenerator("6404+", &clock);
    EXPECT_EQ(g.handle(":PULS0:EXTP:PER?"), "0.000000000000");
    ASSERT_EQ(g.handle(":PULS0:EXTP:STAT ON"), "ok");
    ASSERT_EQ(g.handle(":PULS0:EXTP:NCOU 4"), "ok");
    ASSERT_EQ(g.handle(":PULS0:PER 0.000250"), "ok");
    clock.advance(10ms);
    EXPECT_EQ(g.handle(":PULS0:EXTP:PER?"), "0.000000000000") << "nothing measured while stopped";

    ASSERT_EQ(g.handle(":PULS0:STAT ON"), "ok");
    clock.advance(900us);
    EXPECT_EQ(g.handle(":PULS0:EXTP:PER?"), "0.000000000000") << "fewer than 4 periods so far";
    clock.advance(200us);
    EXPECT_EQ(g.handle(":PULS0:EXTP:PER?"), "0.000250000000");

    ASSERT_EQ(g.handle(":PULS0:STAT OFF"), "ok");
    EXPECT_EQ(g.handle(":PULS0:EXTP:PER?"), "0.000250000000") << "the last measurement stays";
    ASSERT_EQ(g.handle(":PULS0:EXTP:CL"), "ok");
    EXPECT_EQ(g.handle(":PULS0:EXTP:PER?"), "0.000000000000");
}

TEST(GeneratorRun, ErrorCodeIsReportedUntilCleared)
{
    EXPECT_EQ(makeGenerator().handle("*ERS?"), "0");
    GeneratorOptions o;
    o.errorCode = 2;
    Generator g(o);
    EXPECT_EQ(g.handle("*ERS?"), "2");
    EXPECT_EQ(g.handle("*ERS?"), "2") << "reading does not clear the error";
    EXPECT_EQ(g.handle("*CLS"), "ok");
    EXPECT_EQ(g.handle("*ERS?"), "0");
    g.setErrorCode(3);
    EXPECT_EQ(g.handle("*ERS?"), "3");
}
