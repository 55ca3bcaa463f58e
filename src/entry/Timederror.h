#pragma once

#include <QWidget>

class QLabel;
class QTimer;

// The warning of the race details window: a scan refused (a repeat of the
// number accepted just before it, a full race) or a number to look at. It
// closes itself one second after it appeared, so the official need not
// touch it and can scan on: it never takes the keyboard focus, which stays
// with the grid the scans go to. It belongs to the window it warns over, as
// that window's tool window kept above it, so no window manager stacks it
// below the window that keeps the keyboard. Created once, hidden, and shown
// on demand.
class TTimedErrorForm : public QWidget {
    Q_OBJECT

public:
    explicit TTimedErrorForm(QWidget* parent = nullptr);

    // Shows the warning centred on the window over (the active window when
    // none is given), or only brings it to the front while it is still
    // visible: the same warning again within the second does not lengthen
    // it, another text gets a second of its own. The text is the repeat's
    // unless another is given.
    void showWarning();
    void showWarning(const QString& text, QWidget* over = nullptr);

    static QString sameNumberText();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    // Disabled while the window is hidden; armed by each showing.
    QTimer* Timer1 = nullptr;

    // The white cross on a red disc at the left of the warning.
    static QPixmap errorPicture();

public slots:
    void FormShow();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeOver(QWidget* owner);
};
