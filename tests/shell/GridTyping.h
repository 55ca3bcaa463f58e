#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Keys as a keyboard-style barcode reader sends them: each to the widget
// that has the focus at that moment (the grid, then its cell editor).
inline void typeKeys(QWidget* fallback, const QString& text)
{
    for (const QChar c : text) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : fallback;
        QTest::keyClick(target, c.toLatin1());
    }
}

inline void pressKey(QWidget* fallback, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : fallback;
    QTest::keyClick(target, key, modifiers);
}

// A barcode scan: the digits, then Enter.
inline void scan(QWidget* fallback, const QString& digits)
{
    typeKeys(fallback, digits);
    pressKey(fallback, Qt::Key_Return);
}
