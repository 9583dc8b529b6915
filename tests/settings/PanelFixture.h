// The whole panel, connected to a simulated generator over a pseudo-terminal
// and read back, for tests that drive the real window.
#pragma once

#include "support/AppStart.h"
#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QTimer>

#include "support/AppTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "window/MainForm.h"
#include "app/Program.h"
#include "PtyServer.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"
#include "support/PtyTestSupport.h"
#include "readback/ReadBack.h"
#include "scheduling/StatusPoll.h"
#include "scheduling/TaskQueue.h"
#include "support/LineWait.h"

class Panel : public ::testing::Test {
protected:
    // Starts a simulated generator on COM3, the panel on it, and runs the
    // first read-back, as the program's launch step does.
    void Connect(const std::string& model, const std::string& firmware = "2.1.0", jt6400sim::ServerOptions options = {})
    {
        jt6400sim::GeneratorOptions g;
        g.identity.model = model;
        g.identity.firmware = firmware;
        generator = ServeGenerator(folder.Path(), 3, jt6400sim::Generator(g), options);
        program = std::make_unique<TProgram>(jt::TCommandLineOptions{}, TJT6400App::TServices{dialogs, keys, process});
        ASSERT_TRUE(StartUp(app()));
        app().LaunchTimerTimer();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(state().ChannelCount, ChannelCountOf(QString::fromStdString(model)));
        app().LaunchTimer().stop();
        poll().Stop();
        sentBefore = Received().size();
    }

    TJT6400App& app() { return program->App(); }
    TMainForm& form() { return app().Form(); }
    TProgramState& state() { return app().State(); }
    TStatusPoll& poll() { return program->StatusPoll(); }

    // Waits until the line has carried out what was handed to it and the
    // window has shown the reports.
    bool Settle() { return WaitForLine(app().Line()); }
    // The same, and until the commands queued meanwhile have gone out too.
    bool SettleQueue()
    {
        return WaitUntil([this] { return app().Line().Idle() && app().Queue().TaskCount() == 0; });
    }

    // Every line the generator received, in order.
    QStringList Received() const { return ReceivedLines(generator->trace()); }
    // Sends what the window queued and returns the lines the generator got
    // since the last call.
    QStringList Sent()
    {
        app().Queue().ProcessTasks();
        EXPECT_TRUE(SettleQueue());
        const QStringList all = Received();
        const QStringList fresh = all.mid(sentBefore);
        sentBefore = all.size();
        return fresh;
    }
    jt6400sim::Settings GeneratorSettings()
    {
        jt6400sim::Settings s;
        generator->withGenerator([&](jt6400sim::Generator& g) { s = g.settings(); });
        return s;
    }

    TPortFolder folder;
    TScriptedDialogs dialogs;
    TScriptedKeys keys;
    TRecordingProcess process;
    std::unique_ptr<jt6400sim::PtyServer> generator;
    std::unique_ptr<TProgram> program;
    int sentBefore = 0;
};
