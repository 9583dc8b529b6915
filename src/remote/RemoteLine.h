// The server's one way to the generator: a remote line is handed over with a
// completion, carried out on the line after every line handed over before,
// and its answer comes back through the completion on the server's thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace remote {

struct TRemoteLine {
    QString Client;    // "127.0.0.1:50412"
    QByteArray Text;   // the line as it goes on the wire, without terminator
    bool Query = false;
    // Cleared when the client has gone: a line not yet started is then not
    // sent at all.
    std::shared_ptr<const std::atomic<bool>> Wanted;
};

struct TCarried {
    QString Answer;        // the generator's answer, trimmed
    bool Sent = true;      // false when the line was skipped (its client had gone, or the line ended)
    bool Lost = false;     // the generator stopped answering
    bool Dropped = false;  // the line ended before this line's turn: nothing was sent
};

class IRemoteLine {
public:
    virtual ~IRemoteLine() = default;
    // Done is called exactly once, on the thread that called Carry: with the
    // answer, or with Dropped set when the line ends before the line's turn
    // (while that thread still runs its event loop).
    virtual void Carry(TRemoteLine line, std::function<void(const TCarried&)> done) = 0;
};

}  // namespace remote
