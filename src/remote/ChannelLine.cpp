#include "remote/ChannelLine.h"

#include "comm/Communication.h"
#include "serial/JTComPort.h"

#include <QMetaObject>

namespace remote {

TChannelLine::TChannelLine(TPost post, QObject* parent) : QObject(parent), FPost(std::move(post)) {}

TCarried TChannelLine::Exchange(TCommunication& channel, const TRemoteLine& line)
{
    TCarried carried;
    if (line.Wanted && !line.Wanted->load()) {
        carried.Sent = false;
        return carried;
    }
    carried.Answer = channel.SendCommand(QString::fromLatin1(line.Text), line.Client);
    carried.Lost = channel.Port().TimedOut() || !channel.Port().Opened();
    return carried;
}

void TChannelLine::Carry(TRemoteLine line, std::function<void(const TCarried&)> done)
{
    FPost(
        [this, line = std::move(line), done](TCommunication& channel) {
            const TCarried carried = Exchange(channel, line);
            QMetaObject::invokeMethod(
                this, [done, carried] { done(carried); }, Qt::QueuedConnection);
        },
        [this, done] {
            TCarried dropped;
            dropped.Sent = false;
            dropped.Dropped = true;
            QMetaObject::invokeMethod(
                this, [done, dropped] { done(dropped); }, Qt::QueuedConnection);
        });
}

void TChannelLine::Note(const QString& text)
{
    FPost([text](TCommunication& channel) { channel.LogNote(text); }, {});
}

}  // namespace remote
