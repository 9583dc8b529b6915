// Saving and restoring through the real read-back: the lines of a saved file
// for every model, and a round trip from one generator to another.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "window/MainForm.h"
#include "support/ChangedSettings.h"
#include "model/ProgramState.h"
#include "readback/ReadBack.h"
#include "storage/SettingsFile.h"
#include "storage/StorageTestSupport.h"
#include "widgets/PlusSpinEdit.h"
#include "jt6400/Version.h"
#include "support/LineWait.h"

namespace {

class SaveRestoreWithReadBack : public StorageFixture {
protected:
    void SetUp() override
    {
        OnCreated = [this](TJT6400App& app) {
            ReadBack = std::make_unique<TReadBack>(app.State(), app.Form(), app.Comm(), app.Line(), app.Queue(), app.MessageForm());
            OnReadBack([this] { ReadBack->Initialize(); });
        };
        OnDestroying = [this] { ReadBack.reset(); };
    }
    QStringList SaveAs(const QString& name)
    {
        Dialogs.FileNames << Work.File(name);
        App->Form().SaveToFileAction->trigger();
        EXPECT_TRUE(Settle());
        const QByteArray bytes = FileBytes(Work.File(name));
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        QStringList lines = QString::fromLatin1(bytes).split("\r\n");
        lines.removeLast();
        return lines;
    }
    // Settings as the generator's own commands, so that a difference reads.
    QStringList SettingsText(const jt6400sim::Settings& s)
    {
        const auto commands = Sim->withGenerator([&](jt6400sim::Generator& g) { return g.settingsCommands(s); });
        QStringList text;
        for (const auto& c : commands)
            text << QString::fromStdString(c);
        return text;
    }
    std::unique_ptr<TReadBack> ReadBack;
};

// The command headers a saved file holds, in order, for a model.
QStringList ExpectedHeaders(const jt6400sim::ModelInfo& info, bool muxGate)
{
    QStringList h;
    if (info.hasPlusFeatures())
        h << ":PULS0:EXTP:STAT"
          << ":PULS0:EXTP:AUT"
          << ":PULS0:EXTP:NCOU"
          << ":PULS0:COUN:STAT"
          << ":PULS0:COUN:SOUR"
          << ":SYST:UPD:AUTO"
          << ":PULS0:CCO";
    h << ":PULS0:PER"
      << ":PULS0:BCO"
      << ":PULS0:MOD"
      << ":PULS0:PCO"
      << ":PULS0:OCO"
      << ":PULS0:EXT:MODE"
      << ":PULS0:EXT:LEV"
      << ":PULS0:EXT:EDG"
      << ":PULS0:EXT:POL"
      << ":SYST:AUT";
    for (int n = 1; n <= info.ChannelCount; ++n) {
        const QString p = QStringLiteral(":PULS%1").arg(n);
        for (const char* c :
             {":STAT", ":DEL", ":WIDT", ":CMOD", ":BCO", ":PCO", ":OCO", ":SYNC", ":POL", ":WCO", ":CGAT"})
            h << p + c;
        if (n <= info.StandardChannelCount) {
            h << p + ":OUTP:AMPL" << p + ":MUX";
            if (muxGate)
                h << p + ":MUXG";
        }
    }
    return h;
}

TEST_F(SaveRestoreWithReadBack, SavedFileHoldsTheLinesOfEachModel)
{
    const std::pair<const char*, bool> models[] = {{"6402", true},   {"6402", false}, {"6404", true}, {"6402+", true},
                                                   {"6404+", false}, {"6422", true},  {"6424", true}};
    for (const auto& [model, muxGate] : models) {
        SCOPED_TRACE(std::string(model) + (muxGate ? " with mux gate" : " without mux gate"));
        Connect(model, muxGate);
        Sim->withGenerator([](jt6400sim::Generator& g) {
            g.handle(":PULS0:PER 0.001");
            g.handle(":PULS1:WIDT 2E-7");
            g.handle(":PULS0:BCO 4000000000");
        });
        const QStringList lines = SaveAs("saved.txt");
        ASSERT_GE(lines.size(), 5);
        EXPECT_TRUE(QRegularExpression("^// \\S.*,\\S+").match(lines[0]).hasMatch()) << lines[0].toStdString();
        EXPECT_TRUE(
            lines[1].startsWith("//  Model " + QString(model) + "  SW Version: " JT6400_VERSION " ComPort: 3") ||
            lines[1].startsWith("// Jentrix Model " + QString(model) + "  SW Version: " JT6400_VERSION " ComPort: 3"))
            << lines[1].toStdString();
        EXPECT_EQ(lines[2], "// Serial Number: 1234");
        EXPECT_EQ(lines[3], "// Firmware Ver: 2.1.0");
        EXPECT_EQ(lines[4], "// FPGA Ver: 3.0.7");
        QStringList headers;
        for (qsizetype i = 5; i < lines.size(); ++i)
            headers << lines[i].section(' ', 0, 0);
        EXPECT_EQ(headers, ExpectedHeaders(jt6400sim::modelInfo(model), muxGate));
        EXPECT_TRUE(lines.contains(":PULS0:PER 0.001"));
        EXPECT_TRUE(lines.contains(":PULS1:WIDT 2E-7"));
        EXPECT_TRUE(lines.contains(":PULS0:BCO 4000000000"));
        // Saving sends no set command, only the read-back's queries.
        for (const QString& line : Received())
            EXPECT_TRUE(line.endsWith('?')) << line.toStdString();
    }
}

// A file command asked for while a read-back runs (the menu greys them, a
// caller may not) starts once the read-back is over, with a read-back of its
// own, and never inside the end of the first.
TEST_F(SaveRestoreWithReadBack, ASaveChosenDuringAReadBackRunsAfterItWithAFreshReadBack)
{
    Connect("6404+");
    Received();
    Dialogs.FileNames << Work.File("during.txt");
    ASSERT_TRUE(ReadBack->Initialize());
    Storage->SaveToFileClick();
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(Work.File("during.txt")); }));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Received().filter(QRegularExpression("^:PULS0:PER\\?$")).size(), 2);
    EXPECT_TRUE(Dialogs.Texts().isEmpty());
}

TEST_F(SaveRestoreWithReadBack, RoundTripLeavesASecondGeneratorWithIdenticalSettings)
{
    for (const char* model : {"6404+", "6424", "6402"}) {
        SCOPED_TRACE(model);
        const jt6400sim::Settings wanted = ChangedSettings(jt6400sim::modelInfo(model));
        Connect(model);
        Sim->withGenerator([&](jt6400sim::Generator& g) { g.setSettings(wanted); });
        ASSERT_EQ(SimSettings(), wanted);
        SaveAs("roundtrip.txt");

        const QString file = Work.File("roundtrip.txt");
        Connect(model);
        ASSERT_NE(SimSettings(), wanted);
        ReadBack->Initialize();  // the window as after start-up
        ASSERT_TRUE(Settle());
        Dialogs.Shown.clear();
        Dialogs.FileNames << file;
        App->Form().RestoreFromFileAction->trigger();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(Dialogs.Texts(), QStringList{"Settings loaded."});
        {
            const QStringList got = SettingsText(SimSettings()), want = SettingsText(wanted);
            QStringList diff;
            for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i)
                if (got.value(i) != want.value(i))
                    diff << got.value(i) + " instead of " + want.value(i);
            EXPECT_EQ(diff, QStringList{});
        }
        // The window shows the restored values, and the snapshot is the
        // generator's again, not the file's.
        EXPECT_DOUBLE_EQ(App->Form().PeriodAdj->Value(), 0.0025);
        EXPECT_DOUBLE_EQ(App->Form().ChannelControls.ChWidthAdj[2]->Value(), 4e-7);
        EXPECT_TRUE(App->State().SettingsList.contains(":PULS0:PER 0.0025"));
        const auto commands = [](QStringList lines) {
            lines.removeIf([](const QString& l) { return l.contains("//"); });
            return lines;
        };
        {
            const QStringList got = commands(App->State().SettingsList), want = commands(ReadSettingsFile(file).Lines);
            QStringList diff;
            for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i)
                if (got.value(i) != want.value(i))
                    diff << got.value(i) + " instead of " + want.value(i);
            EXPECT_EQ(diff, QStringList{});
        }
    }
}

}  // namespace
