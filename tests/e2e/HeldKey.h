// A key held down on an X display the way a user holds it: pressed through
// the XTEST extension by a client that stays connected until the key is
// released, so the server's auto-repeat runs for as long as it is down.
#pragma once

#include <QString>

class THeldKey {
public:
    // Presses the key (an X keysym name such as "space") on the display and
    // waits until the server has taken the press.
    THeldKey(const QString& display, const char* keysym);
    ~THeldKey();
    THeldKey(const THeldKey&) = delete;
    THeldKey& operator=(const THeldKey&) = delete;

    bool Down() const { return FDown; }
    void Release();

    // Turns the server's auto-repeat on, at one repeat every `intervalMs`
    // after the server's usual delay; returns that delay in ms.
    int AutoRepeat(int intervalMs);

private:
    void* FDisplay = nullptr;  // the Xlib Display, kept out of this header
    unsigned FKeyCode = 0;
    bool FDown = false;
};
