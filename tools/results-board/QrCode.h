#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The board's address as a QR code, for a phone's camera: drawn in the
// terminal when the board starts and served as a picture at /qr.svg.
class QrCode {
public:
    // Empty (size 0) when the text cannot be encoded.
    static QrCode encode(const QString& text);

    int size() const { return m_size; }
    bool dark(int x, int y) const { return m_modules[y * m_size + x]; }

    QByteArray svg() const;
    // Two rows of modules per line of half blocks, dark on light whatever
    // the terminal's colours, with the quiet zone scanners need.
    QString terminal() const;

private:
    int m_size = 0;
    QList<bool> m_modules;
};
