// Scripted desktop services for tests that run the program's frame.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <ostream>

#include "platform/Platform.h"

// Keys held at start-up; LeftShift answers come from a list so a test can
// let go of the key between two questions (the last answer repeats).
class TScriptedKeys : public IStartupKeys {
public:
    bool Space = false;
    QList<bool> LeftShift{false};
    int LeftShiftQueries = 0;
    bool SpaceHeld() override { return Space; }
    bool LeftShiftHeld() override
    {
        const int i = std::min<int>(LeftShiftQueries++, LeftShift.size() - 1);
        return LeftShift[i];
    }
};

class TRecordingProcess : public IProcessControl {
public:
    QList<QString> Calls;  // "sleep <ms>" and "start" with the arguments, in order
    bool StartOwnExecutable(const QStringList& arguments) override
    {
        QStringList call{QStringLiteral("start")};
        call += arguments;
        Calls << call.join(' ');
        return true;
    }
    void Sleep(int milliseconds) override { Calls << QString("sleep %1").arg(milliseconds); }
};

// Opens no web page.
class TNoUrls : public IUrlOpener {
public:
    void OpenUrl(const QUrl&) override {}
};

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
