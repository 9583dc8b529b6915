#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>

#ifdef JT6400_HAVE_X11
#include <X11/Xlib.h>
#include <X11/keysym.h>
#endif

bool TDesktopStartupKeys::X11KeyHeld(TKey key)
{
#ifdef JT6400_HAVE_X11
    // Only an X server can say which keys are down; Wayland and headless
    // sessions cannot, and the command-line switches cover them.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    char keys[32] = {};
    XQueryKeymap(display, keys);
    const KeyCode code = XKeysymToKeycode(display, key == TKey::kySpace ? XK_space : XK_Shift_L);
    XCloseDisplay(display);
    return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
#else
    (void)key;
    return false;
#endif
}

bool TDesktopProcessControl::StartOwnExecutable(const QStringList& arguments)
{
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
}

void TDesktopProcessControl::Sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void TDesktopUrlOpener::OpenUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}
