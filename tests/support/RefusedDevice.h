// A device node that refuses this process, as a serial device refuses a user
// outside its group: for root, owned by another user and the group
// "dialout", mode 0660; for anyone else, who cannot give a file away, mode 0.
// The owner and mode come back when the object goes. Root with its override
// may still open it: Refuses() tells whether it really does.
#pragma once

#include <QByteArray>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

class TRefusedDevice {
public:
    explicit TRefusedDevice(QByteArray path) : FPath(std::move(path))
    {
        if (::stat(FPath.constData(), &FBefore) != 0)
            return;
        FChanged = true;
        const group* dialout = ::getgrnam("dialout");
        if (::geteuid() == 0 && dialout && ::chown(FPath.constData(), 65534, dialout->gr_gid) == 0)
            ::chmod(FPath.constData(), 0660);
        else
            ::chmod(FPath.constData(), 0);
    }
    ~TRefusedDevice()
    {
        if (!FChanged)
            return;
        if (::chown(FPath.constData(), FBefore.st_uid, FBefore.st_gid) != 0) {
            // Only root changed the owner, and root may change it back.
        }
        ::chmod(FPath.constData(), FBefore.st_mode & 07777);
    }
    TRefusedDevice(const TRefusedDevice&) = delete;
    TRefusedDevice& operator=(const TRefusedDevice&) = delete;

    // True when this process may not open the device for reading and writing.
    bool Refuses() const { return FChanged && ::access(FPath.constData(), R_OK | W_OK) != 0; }

private:
    QByteArray FPath;
    struct stat FBefore {};
    bool FChanged = false;
};
