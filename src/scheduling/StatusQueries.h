// The questions of the status poll and the texts made of their answers, with
// nothing but the command channel: whether the generator runs, its shot
// count and measured input period, and its error state. The panel's poll
// shows them in the window; a program without a window prints them.
#pragma once

#include <QString>
#include <cstdint>

class TCommunication;
struct TDeviceIdentity;

// ":PULS0:STAT?" answered with anything but 0.
bool QueryRunning(TCommunication& comm);
// The low 32 bits of ":PULS0:COUN:COUN?".
std::uint32_t QueryShotCount(TCommunication& comm);
// ":PULS0:EXTP:PER?", in seconds.
double QueryMeasuredPeriod(TCommunication& comm);
// "*ERS?": 0 for no error, else the generator's error code.
std::int32_t QueryErrorCode(TCommunication& comm);

// The error query exists from firmware 2 on.
bool HasErrorQuery(const TDeviceIdentity& identity);
// Text for an error code: "Over Current Error", "Over Temperature Error",
// "Fan Failure"; empty for any other code.
QString ErrorText(int code);
// "Count: %10u" and "P: %11.10f", as the counter labels show them.
QString ShotCountText(std::uint32_t count);
QString MeasuredPeriodText(double period);
