// The real way of the server's lines to the generator: each line becomes a
// job for the line owner, carried out through the command channel like a
// terminal command (echoed in the terminal, marked with its client, and in
// the traffic log), and its answer is delivered back to the server's thread.
#pragma once

#include "remote/RemoteLine.h"

#include <QObject>

#include <functional>

class TCommunication;

namespace remote {

class TChannelLine : public QObject, public IRemoteLine {
    Q_OBJECT
public:
    using TJob = std::function<void(TCommunication& channel)>;
    // Called, on any thread, instead of a job that will never run.
    using TDropped = std::function<void()>;
    using TPost = std::function<void(TJob job, TDropped dropped)>;
    // Post queues a job for the line owner: after every job posted before.
    // The object lives on the server's thread and outlives the line owner's
    // thread: answers are delivered to it from there.
    explicit TChannelLine(TPost post, QObject* parent = nullptr);

    void Carry(TRemoteLine line, std::function<void(const TCarried&)> done) override;

    // One line for the traffic log (a connection or a refusal), written in
    // its turn on the line.
    void Note(const QString& text);

    // The exchange itself, on the line owner's thread.
    static TCarried Exchange(TCommunication& channel, const TRemoteLine& line);

private:
    TPost FPost;
};

}  // namespace remote
