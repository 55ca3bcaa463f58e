#pragma once

#include "store/Exception.h"

#include <QByteArray>

#include <array>

// The failures of the serial port component, by code. The numbers are part
// of the messages officials read and of what callers test for.
enum ComErrorCode : int {
    ecOpenFailed = 1,
    ecWriteFailed = 2,
    ecReadFailed = 3,
    ecInvalidAsync = 4,
    ecPurgeFailed = 5,
    ecAsyncStatus = 6,
    ecSetState = 7,
    ecSetTimeouts = 8,
    ecSetupQueues = 9,
    ecQueueStatus = 10,
    ecModemStatus = 11,
    ecLineControl = 12,
    ecTransmitChar = 13,
    ecSyncMethod = 14,
};

// Indexed by code; codes count from 1, so entry 0 is unused.
extern const std::array<const char*, 15> ComErrorMessages;

// A failed serial operation: the code of the table above and, where the
// operating system reported one, its error number (errno), -1 otherwise.
class EComPort : public Exception {
public:
    // The message is the code's text followed by the system's error number.
    EComPort(int ACode, int AWinCode);
    // A port that would not open, with the device it tried; the message is
    // the same, and Advice says what to do about it.
    EComPort(int ACode, int AWinCode, const QByteArray& device);
    // The message is the code's text alone, for failures the system did not report.
    static EComPort CreateNoWinCode(int ACode);

    int WinCode() const { return FWinCode; }
    int Code() const { return FCode; }
    QByteArray Device() const { return FDevice; }

    // One line for the official that names the device, what is wrong with
    // it and what to do: for a device that is not there, one this user may
    // not open, and one another program holds. Empty for other failures.
    QString Advice() const;

private:
    EComPort(int ACode, int AWinCode, const QString& message, const QByteArray& device);

    int FWinCode;
    int FCode;
    QByteArray FDevice;
};
