#include "e2e/HeldKey.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {
Display* Dpy(void* display)
{
    return static_cast<Display*>(display);
}
}  // namespace

THeldKey::THeldKey(const QString& display, const char* keysym)
{
    Display* d = XOpenDisplay(display.toLocal8Bit().constData());
    if (!d)
        return;
    FDisplay = d;
    int event = 0, error = 0, major = 0, minor = 0;
    FKeyCode = XKeysymToKeycode(d, XStringToKeysym(keysym));
    if (FKeyCode == 0 || !XTestQueryExtension(d, &event, &error, &major, &minor))
        return;
    XTestFakeKeyEvent(d, FKeyCode, True, CurrentTime);
    XSync(d, False);
    FDown = true;
}

THeldKey::~THeldKey()
{
    Release();
    if (FDisplay)
        XCloseDisplay(Dpy(FDisplay));
}

void THeldKey::Release()
{
    if (!FDown)
        return;
    XTestFakeKeyEvent(Dpy(FDisplay), FKeyCode, False, CurrentTime);
    XSync(Dpy(FDisplay), False);
    FDown = false;
}

int THeldKey::AutoRepeat(int intervalMs)
{
    if (!FDisplay)
        return 0;
    Display* d = Dpy(FDisplay);
    XAutoRepeatOn(d);
    unsigned delay = 0, interval = 0;
    XkbGetAutoRepeatRate(d, XkbUseCoreKbd, &delay, &interval);
    XkbSetAutoRepeatRate(d, XkbUseCoreKbd, delay, static_cast<unsigned>(intervalMs));
    XSync(d, False);
    return static_cast<int>(delay);
}
