#pragma once

#include <QWidget>

class QLabel;
class QTimer;

// The warning that a scan repeated the number accepted just before it. It
// closes itself one second after it appeared, so the official need not
// touch it and can scan on: it never takes the keyboard focus, which stays
// with the grid the scans go to. Created once, hidden, and shown on demand.
class TTimedErrorForm : public QWidget {
    Q_OBJECT

public:
    explicit TTimedErrorForm(QWidget* parent = nullptr);

    // Shows the warning, or only brings it to the front while it is still
    // visible: a repeat within the second does not lengthen it. The text
    // is the repeat's unless another is given.
    void showWarning();
    void showWarning(const QString& text);

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
};
