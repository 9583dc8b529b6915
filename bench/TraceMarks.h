// Times taken from the simulated generator's trace, whose entries read
// "HH:MM:SS.mmm RX text" (a line received) or "HH:MM:SS.mmm TX text" (an
// answer sent).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Milliseconds of the day of a trace entry.
inline double TraceMs(const std::string& entry)
{
    int h = 0, m = 0;
    double s = 0;
    std::sscanf(entry.c_str(), "%d:%d:%lf", &h, &m, &s);
    return (h * 60.0 + m) * 60e3 + s * 1e3;
}

// Marks in the trace from entry From on: the first line received, the first
// query of a read-back, the last answer after it.
struct TTraceMarks {
    double FirstLine = -1, FirstQuery = -1, LastAnswer = -1;
    bool Complete() const { return FirstLine >= 0 && FirstQuery >= FirstLine && LastAnswer >= FirstQuery; }
    // From the generator's side: the first query of the read-back received
    // to the last answer sent.
    double ReadBackMs() const { return LastAnswer - FirstQuery; }
};
inline TTraceMarks TraceMarks(const std::vector<std::string>& trace, std::size_t from)
{
    TTraceMarks m;
    for (std::size_t i = from; i < trace.size(); ++i) {
        const bool rx = trace[i].find(" RX ") != std::string::npos;
        if (m.FirstLine < 0 && rx)
            m.FirstLine = TraceMs(trace[i]);
        if (m.FirstQuery < 0 && trace[i].find(" RX :PULS0:EXTP:STAT?") != std::string::npos)
            m.FirstQuery = TraceMs(trace[i]);
        if (m.FirstQuery >= 0 && trace[i].find(" TX ") != std::string::npos)
            m.LastAnswer = TraceMs(trace[i]);
    }
    return m;
}
