#include "link/ComError.h"

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
    : EComPort(ACode, AWinCode, codeText(ACode) + QStringLiteral(" (win error code: %1)").arg(AWinCode))
{
}

EComPort EComPort::CreateNoWinCode(int ACode)
{
    return EComPort(ACode, -1, codeText(ACode));
}

EComPort::EComPort(int ACode, int AWinCode, const QString& message)
    : Exception(message)
    , FWinCode(AWinCode)
    , FCode(ACode)
{
}
