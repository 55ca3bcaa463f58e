#pragma once

#include <QDateTime>

// Date-times of the data store are day counts since 1899-12-30, the time of
// day as the fraction (12:00 on 1899-12-31 is 1.5), in local time.
namespace DayCount {

double fromDateTime(const QDateTime& local);
QDateTime toDateTime(double days);

} // namespace DayCount
