#include "link/ComError.h"

#include <cerrno>

const std::array<const char*, 15> ComErrorMessages = {
    "",
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set SyncMethod while connected",
};

namespace {

QString codeText(int code)
{
    if (code >= 1 && code < static_cast<int>(ComErrorMessages.size()))
        return QString::fromLatin1(ComErrorMessages[static_cast<std::size_t>(code)]);
    return QStringLiteral("Unknown com port error %1").arg(code);
}

} // namespace

EComPort::EComPort(int ACode, int AWinCode)
    : EComPort(ACode, AWinCode, QByteArray())
{
}

EComPort::EComPort(int ACode, int AWinCode, const QByteArray& device)
    : EComPort(ACode, AWinCode, codeText(ACode) + QStringLiteral(" (win error code: %1)").arg(AWinCode), device)
{
}

QString EComPort::Advice() const
{
    if (FCode != ecOpenFailed || FDevice.isEmpty())
        return QString();
    const QString device = QString::fromLocal8Bit(FDevice);
    switch (FWinCode) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("%1 is not there: plug in the timer unit's adapter, or choose the port of its "
                              "device in Coms Setup or name its device in the Devices section of the settings file.")
            .arg(device);
    case EACCES:
    case EPERM:
        return QStringLiteral("This user may not open %1: join the group dialout (sudo adduser $USER dialout), "
                              "then log out and in again.")
            .arg(device);
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("%1 is busy: another program holds it. Close that program and the port opens "
                              "within a second.")
            .arg(device);
    default:
        return QString();
    }
}

EComPort EComPort::CreateNoWinCode(int ACode)
{
    return EComPort(ACode, -1, codeText(ACode), QByteArray());
}

EComPort::EComPort(int ACode, int AWinCode, const QString& message, const QByteArray& device)
    : Exception(message)
    , FWinCode(AWinCode)
    , FCode(ACode)
    , FDevice(device)
{
}
