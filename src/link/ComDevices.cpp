#include "link/ComDevices.h"

#include <QHash>

#include <array>
#include <mutex>

namespace {

struct Overrides {
    std::mutex mutex;
    QHash<int, QByteArray> paths;
};

Overrides& overrides()
{
    static Overrides table;
    return table;
}

bool validPort(TPortType port)
{
    return port >= COM1 && port <= COM50;
}

} // namespace

QByteArray ComDeviceTable::defaultPath(TPortType port)
{
    if (!validPort(port))
        return {};
    static const std::array<const char*, 5> families = {
        "/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM", "/dev/rfcomm", "/dev/ttyAMA"};
    const int ordinal = static_cast<int>(port);
    return QByteArray(families[static_cast<std::size_t>(ordinal / 10)]) + QByteArray::number(ordinal % 10);
}

QByteArray ComDeviceTable::path(TPortType port)
{
    if (!validPort(port))
        return {};
    {
        Overrides& table = overrides();
        std::lock_guard lock(table.mutex);
        const auto found = table.paths.constFind(static_cast<int>(port));
        if (found != table.paths.constEnd())
            return found.value();
    }
    return defaultPath(port);
}

void ComDeviceTable::map(TPortType port, const QByteArray& path)
{
    if (!validPort(port))
        return;
    Overrides& table = overrides();
    std::lock_guard lock(table.mutex);
    if (path.isEmpty())
        table.paths.remove(static_cast<int>(port));
    else
        table.paths.insert(static_cast<int>(port), path);
}

bool ComDeviceTable::mapSetting(const QString& key, const QString& value)
{
    const QString name = key.trimmed();
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return false;
    const QString digits = name.mid(3);
    // "COM01" or "COM+1" are not port names.
    if (digits.isEmpty() || digits.startsWith(QLatin1Char('0')) || !digits.front().isDigit())
        return false;
    bool ok = false;
    const int number = digits.toInt(&ok);
    if (!ok || number < 1 || number > PortTypeCount)
        return false;
    map(static_cast<TPortType>(number - 1), value.trimmed().toUtf8());
    return true;
}

void ComDeviceTable::clear()
{
    Overrides& table = overrides();
    std::lock_guard lock(table.mutex);
    table.paths.clear();
}
