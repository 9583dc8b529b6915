// Services of the desktop that start-up, restart and the tests need to
// control: the keys held while the panel starts and starting the program anew.
#pragma once

#include <QString>

class IStartupKeys {
public:
    virtual ~IStartupKeys() = default;
    virtual bool SpaceHeld() = 0;
    virtual bool LeftShiftHeld() = 0;
};

// Reads the keyboard from the X server (when there is one), with the
// command-line switches standing in for keys that cannot be read there.
class TDesktopStartupKeys : public IStartupKeys {
public:
    TDesktopStartupKeys(bool spaceSwitch, bool leftShiftSwitch)
        : FSpaceSwitch(spaceSwitch), FLeftShiftSwitch(leftShiftSwitch) {}
    bool SpaceHeld() override { return FSpaceSwitch || X11KeyHeld(KeySpace); }
    bool LeftShiftHeld() override { return FLeftShiftSwitch || X11KeyHeld(KeyLeftShift); }

private:
    enum Key { KeySpace, KeyLeftShift };
    static bool X11KeyHeld(Key key);
    bool FSpaceSwitch;
    bool FLeftShiftSwitch;
};

class IProcessControl {
public:
    virtual ~IProcessControl() = default;
    // Starts the program's own executable, without arguments.
    virtual bool StartOwnExecutable() = 0;
    virtual void Sleep(int milliseconds) = 0;
};

class TDesktopProcessControl : public IProcessControl {
public:
    bool StartOwnExecutable() override;
    void Sleep(int milliseconds) override;
};
