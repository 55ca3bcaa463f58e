#pragma once

#include "shell/IniFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// Which sections a save writes. The main window changes only the port
// settings and the barcode window only the label layout; each saves only its
// own section, so that neither puts back in the file the other's values as
// they were when its copy was loaded.
enum class ConfigSections {
    Coms,
    Barcode,
    All,
};

// Every setting of the program, one member per key of the settings file,
// the members of port A without and those of port B with the digit 2.
// Construction reads the file and writes it straight back, so the file then
// holds every key, unrecognised rates and ports replaced by what was used.
class CONFIG {
public:
    // The serial rates in bits per second and the port names, at the
    // ordinals of the serial component's enumerations and the settings
    // dialog's lists: an index passes unchanged between the three.
    static constexpr std::array<qint32, 13> baudTable{110,   300,   600,   1200,  2400,  4800,  9600,
                                                      14400, 19200, 38400, 56000, 57600, 115200};
    static const QList<QByteArray>& portTable(); // "COM1" to "COM50"

    // The settings file of the running executable: its name with the
    // extension replaced by ".ini", in the executable's folder when the
    // program can write there, else in the user's data folder.
    static QString defaultFileName();

    CONFIG();
    explicit CONFIG(const QString& fileName);

    QString fileName() const;

    void load();
    // Throws Exception "Unable to write to <path>".
    void save(ConfigSections sections = ConfigSections::All);

    qint32 baud = 0; // index into baudTable
    qint32 port = 0; // index into portTable()
    bool bluetooth = false;
    QByteArray portname;
    qint32 baud2 = 0;
    qint32 port2 = 0;
    bool bluetooth2 = false;
    QByteArray portname2;
    bool dualComPorts = false;
    qint32 bcHeight = 0;
    qint32 bcWidth = 0;
    bool bcIncludeNumber = false;
    qint32 bcTopMargin = 0;
    qint32 bcLeftMargin = 0;
    qint32 bcVerticalPitch = 0;
    qint32 bcHorizontalPitch = 0;
    qint32 bcColumns = 0;
    qint32 bcRows = 0;

private:
    qint32 readInteger(const QByteArray& section, const QByteArray& key, qint32 fallback) const;
    bool readBoolean(const QByteArray& section, const QByteArray& key, bool fallback) const;
    qint32 readBaud(const QByteArray& key, qint32 fallbackRate, qint32 index) const;
    qint32 readPort(const QByteArray& key, const QByteArray& fallbackPort, qint32 index) const;

    IniFile m_file;
};
