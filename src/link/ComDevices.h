#pragma once

#include "link/ComTypes.h"

#include <QByteArray>
#include <QString>

// Which Linux device file each port number opens. The built-in table:
//   COM1-COM10   /dev/ttyS0-9      (on-board serial ports)
//   COM11-COM20  /dev/ttyUSB0-9    (USB serial adapters)
//   COM21-COM30  /dev/ttyACM0-9    (USB modem-class devices)
//   COM31-COM40  /dev/rfcomm0-9    (Bluetooth serial links)
//   COM41-COM50  /dev/ttyAMA0-9    (single-board computer UARTs)
// The main window fills the overrides at start-up from the settings file's
// Devices section (COM11=/dev/serial/by-id/...), so a port keeps its number
// when an adapter enumerates under another name. The port only asks; it
// reads no file itself. One table serves the whole program.
class ComDeviceTable {
public:
    // The built-in device of a port; empty for a value outside COM1-COM50.
    static QByteArray defaultPath(TPortType port);
    // The override when there is one, else the built-in device.
    static QByteArray path(TPortType port);

    // An empty path drops the override.
    static void map(TPortType port, const QByteArray& path);
    // One line of the Devices section: a key "COM1" to "COM50" (any case)
    // and a device path. False, and nothing changed, for a key that names
    // no port, so the caller can tell the official which line is wrong.
    static bool mapSetting(const QString& key, const QString& value);
    static void clear();
};
