// The lines a simulated generator received, from its traffic trace.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// Trace entries read "HH:MM:SS.mmm RX text" or "... TX text"; this returns
// the texts of the RX entries from entry `from` on, in order.
inline QStringList ReceivedLines(const std::vector<std::string>& trace, std::size_t from = 0)
{
    QStringList lines;
    for (std::size_t i = from; i < trace.size(); ++i) {
        const auto at = trace[i].find(" RX ");
        if (at != std::string::npos)
            lines << QString::fromStdString(trace[i].substr(at + 4));
    }
    return lines;
}
