// The desktop's own start-up keys, process control and web-address opener.
#pragma once

#include "platform/Platform.h"

// Reads the keyboard from the X server (when there is one), with the
// command-line switches standing in for keys that cannot be read there.
class TDesktopStartupKeys : public IStartupKeys {
public:
    TDesktopStartupKeys(bool spaceSwitch, bool leftShiftSwitch)
        : FSpaceSwitch(spaceSwitch), FLeftShiftSwitch(leftShiftSwitch)
    {
    }
    bool SpaceHeld() override { return FSpaceSwitch || X11KeyHeld(TKey::kySpace); }
    bool LeftShiftHeld() override { return FLeftShiftSwitch || X11KeyHeld(TKey::kyLeftShift); }

private:
    enum class TKey { kySpace, kyLeftShift };
    static bool X11KeyHeld(TKey key);
    bool FSpaceSwitch;
    bool FLeftShiftSwitch;
};

class TDesktopProcessControl : public IProcessControl {
public:
    bool StartOwnExecutable(const QStringList& arguments) override;
    void Sleep(int milliseconds) override;
};

class TDesktopUrlOpener : public IUrlOpener {
public:
    void OpenUrl(const QUrl& url) override;
};
