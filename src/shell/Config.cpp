#include "shell/Config.h"

#include "shell/FileLocations.h"

#include <limits>

namespace {

const QByteArray coms = "Coms";
const QByteArray barcode = "Barcode";

int digitValue(char c, int base)
{
    int digit = -1;
    if (c >= '0' && c <= '9')
        digit = c - '0';
    else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
    return digit < base ? digit : -1;
}

// A stored integer: decimal with an optional sign, or hexadecimal after
// "0x" or "0X". Anything else, and anything beyond 32 bits, is not one.
bool parseInteger(const QByteArray& text, qint32& result)
{
    qsizetype i = 0;
    int base = 10;
    bool negative = false;
    if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    } else if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return false;
    // Gathered in 64 bits so that one past the range is still seen.
    const qint64 limit = negative ? qint64(std::numeric_limits<qint32>::max()) + 1
                                  : std::numeric_limits<qint32>::max();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return false;
        value = value * base + digit;
        if (value > limit)
            return false;
    }
    result = qint32(negative ? -value : value);
    return true;
}

QByteArray decimal(qint32 value)
{
    return QByteArray::number(value);
}

QByteArray flag(bool value)
{
    return value ? QByteArray("1") : QByteArray("0");
}

} // namespace

const QList<QByteArray>& CONFIG::portTable()
{
    static const QList<QByteArray> table = [] {
        QList<QByteArray> ports;
        for (int i = 1; i <= 50; ++i)
            ports.append("COM" + QByteArray::number(i));
        return ports;
    }();
    return table;
}

QString CONFIG::defaultFileName()
{
    return FileLocations::ofRunningProgram().settingsFile;
}

CONFIG::CONFIG()
    : CONFIG(defaultFileName())
{
}

CONFIG::CONFIG(const QString& fileName)
    : m_file(fileName)
{
    load();
    save(ConfigSections::All);
}

QString CONFIG::fileName() const
{
    return m_file.fileName();
}

qint32 CONFIG::readInteger(const QByteArray& section, const QByteArray& key, qint32 fallback) const
{
    qint32 value = 0;
    return parseInteger(m_file.readString(section, key, QByteArray()), value) ? value : fallback;
}

bool CONFIG::readBoolean(const QByteArray& section, const QByteArray& key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

// An unrecognised rate keeps the index held before: at the first load of a
// new object that is 0, which the constructor's save then writes back.
qint32 CONFIG::readBaud(const QByteArray& key, qint32 fallbackRate, qint32 index) const
{
    const qint32 rate = readInteger(coms, key, fallbackRate);
    for (std::size_t i = 0; i < baudTable.size(); ++i) {
        if (baudTable[i] == rate)
            return qint32(i);
    }
    return index;
}

// Port names compare exactly: "com3" or "COM 3" is not a port.
qint32 CONFIG::readPort(const QByteArray& key, const QByteArray& fallbackPort, qint32 index) const
{
    const qsizetype found = portTable().indexOf(m_file.readString(coms, key, fallbackPort));
    return found >= 0 ? qint32(found) : index;
}

void CONFIG::load()
{
    baud = readBaud("baud", 57600, baud);
    port = readPort("port", "COM11", port);
    bluetooth = readBoolean(coms, "bluetooth", false);
    portname = m_file.readString(coms, "portname", QByteArray());
    baud2 = readBaud("baud2", 57600, baud2);
    port2 = readPort("port2", "COM12", port2);
    bluetooth2 = readBoolean(coms, "bluetooth2", false);
    portname2 = m_file.readString(coms, "portname2", QByteArray());
    dualComPorts = readBoolean(coms, "dualComPorts", false);
    bcHeight = readInteger(barcode, "bcHeight", 50);
    bcWidth = readInteger(barcode, "bcWidth", 100);
    bcIncludeNumber = readBoolean(barcode, "bcIncludeNumber", true);
    bcTopMargin = readInteger(barcode, "bcTopMargin", 35);
    bcLeftMargin = readInteger(barcode, "bcLeftMargin", 8);
    bcVerticalPitch = readInteger(barcode, "bcVerticalPitch", 67);
    bcHorizontalPitch = readInteger(barcode, "bcHorizontalPitch", 128);
    bcColumns = readInteger(barcode, "bcColumns", 5);
    bcRows = readInteger(barcode, "bcRows", 13);
}

void CONFIG::save(ConfigSections sections)
{
    // Indexes come from load or from the settings dialog's lists; one out of
    // range would have no rate or port to write, so it writes the first.
    const auto rate = [](qint32 index) {
        return decimal(index >= 0 && std::size_t(index) < baudTable.size() ? baudTable[std::size_t(index)]
                                                                           : baudTable[0]);
    };
    const auto portText = [](qint32 index) { return portTable().value(index, portTable().first()); };

    if (sections != ConfigSections::Barcode) {
        m_file.writeStrings(coms, {
                                      {"baud", rate(baud)},
                                      {"port", portText(port)},
                                      {"bluetooth", flag(bluetooth)},
                                      {"portname", portname},
                                      {"baud2", rate(baud2)},
                                      {"port2", portText(port2)},
                                      {"bluetooth2", flag(bluetooth2)},
                                      {"portname2", portname2},
                                      {"dualComPorts", flag(dualComPorts)},
                                  });
    }
    if (sections != ConfigSections::Coms) {
        m_file.writeStrings(barcode, {
                                         {"bcHeight", decimal(bcHeight)},
                                         {"bcWidth", decimal(bcWidth)},
                                         {"bcIncludeNumber", flag(bcIncludeNumber)},
                                         {"bcTopMargin", decimal(bcTopMargin)},
                                         {"bcLeftMargin", decimal(bcLeftMargin)},
                                         {"bcVerticalPitch", decimal(bcVerticalPitch)},
                                         {"bcHorizontalPitch", decimal(bcHorizontalPitch)},
                                         {"bcColumns", decimal(bcColumns)},
                                         {"bcRows", decimal(bcRows)},
                                     });
    }
}
