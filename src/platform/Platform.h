// Services of the desktop that start-up, restart and the Help menu need: the
// keys held while the panel starts, starting the program anew, and opening a
// web address. Small interfaces, so that tests can stand in for the desktop;
// the desktop's own implementations are in platform/Desktop.h.
#pragma once

#include <QStringList>

class QUrl;

class IStartupKeys {
public:
    virtual ~IStartupKeys() = default;
    virtual bool SpaceHeld() = 0;
    virtual bool LeftShiftHeld() = 0;
};

class IProcessControl {
public:
    virtual ~IProcessControl() = default;
    // Starts the program's own executable with the given arguments.
    virtual bool StartOwnExecutable(const QStringList& arguments) = 0;
    virtual void Sleep(int milliseconds) = 0;
};

// Opens an address with the desktop's default handler.
class IUrlOpener {
public:
    virtual ~IUrlOpener() = default;
    virtual void OpenUrl(const QUrl& url) = 0;
};
