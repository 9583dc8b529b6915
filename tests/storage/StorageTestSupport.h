// A program frame connected to a simulated generator, with scripted desktop
// services, and the storage commands bound to its window.
#pragma once

#include "support/AppStart.h"
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>

#include "app/App.h"
#include "scheduling/TaskQueue.h"
#include "support/AppTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "window/MainForm.h"
#include "platform/Platform.h"
#include "PtyServer.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"
#include "support/PtyTestSupport.h"
#include "storage/Storage.h"
#include "support/LineWait.h"

class TRecordingUrls : public IUrlOpener {
public:
    QList<QUrl> Opened;
    void OpenUrl(const QUrl& url) override { Opened << url; }
};

// Makes a folder the working folder while it lives.
class TWorkingFolder {
public:
    TWorkingFolder() : FOld(QDir::currentPath()) { QDir::setCurrent(FDir.path()); }
    ~TWorkingFolder() { QDir::setCurrent(FOld); }
    QString Path() const { return FDir.path(); }
    QString File(const QString& name) const { return QDir(FDir.path()).filePath(name); }

private:
    QTemporaryDir FDir;
    QString FOld;
};

inline QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class StorageFixture : public ::testing::Test {
protected:
    // Starts a simulated generator of Model on COM3 and runs the program's
    // start-up against it (discovery), leaving out the launch read-back.
    // A program connected before is closed, with its generator, first.
    void Connect(const std::string& model, bool muxGate = true)
    {
        Disconnect();
        jt6400sim::GeneratorOptions g;
        g.identity.model = model;
        g.muxGateSupported = muxGate;
        Sim = ServeGenerator(Ports.Path(), 3, jt6400sim::Generator(g));
        MakeApp();
        ASSERT_TRUE(StartUp(*App));
        App->LaunchTimer().stop();
        TraceMark = Sim->trace().size();
    }

    // The program frame without a generator; OnCreated may bind more
    // subsystems to it (as the program does) before start-up.
    void MakeApp()
    {
        App = std::make_unique<TJT6400App>(jt::TCommandLineOptions{}, TJT6400App::TServices{Dialogs, Keys, Process});
        Storage = std::make_unique<TStorage>(App->State(), App->Form(), App->MessageForm(), App->Comm(), App->Line(), App->Queue(),
                                             Dialogs, Urls);
        if (OnCreated)
            OnCreated(*App);
    }

    // Runs ReadBack wherever the program asks for a read-back: its launch
    // step, the task tick and the settings-file commands.
    void OnReadBack(const std::function<void()>& readBack)
    {
        QObject::connect(App.get(), &TJT6400App::ReadBackDue, readBack);
        QObject::connect(&App->Queue(), &TTaskQueue::ReadBackDue, readBack);
        QObject::connect(Storage.get(), &TStorage::ReadBackDue, readBack);
    }

    void Disconnect()
    {
        if (OnDestroying)
            OnDestroying();
        Storage.reset();
        App.reset();
        if (Sim)
            Sim->stop();
        Sim.reset();
    }
    void TearDown() override { Disconnect(); }

    // Waits until the line has carried out what was handed to it and the
    // window has shown the reports.
    bool Settle() { return !App || WaitForLine(App->Line()); }

    // Lines the generator received since Connect (or the last call).
    QStringList Received()
    {
        Settle();
        const auto trace = Sim->trace();
        const QStringList lines = ReceivedLines(trace, TraceMark);
        TraceMark = trace.size();
        return lines;
    }

    jt6400sim::Settings SimSettings()
    {
        return Sim->withGenerator([](jt6400sim::Generator& g) { return g.settings(); });
    }

    TPortFolder Ports;
    TWorkingFolder Work;
    TScriptedDialogs Dialogs;
    TScriptedKeys Keys;
    TRecordingProcess Process;
    TRecordingUrls Urls;
    std::unique_ptr<jt6400sim::PtyServer> Sim;
    std::unique_ptr<TJT6400App> App;
    std::unique_ptr<TStorage> Storage;
    std::size_t TraceMark = 0;
    std::function<void(TJT6400App&)> OnCreated;
    std::function<void()> OnDestroying;
};
