#include "entry/Timederror.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int warningMilliseconds = 1000;
const QSize clientSize(391, 113);
constexpr int pictureSize = 32;

} // namespace

TTimedErrorForm::TTimedErrorForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Warning"));
    // The next scan follows at once and must reach the grid, not this window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(clientSize);

    Image1 = new QLabel(this);
    Image1->setPixmap(errorPicture());
    Image1->setFixedSize(pictureSize, pictureSize);

    Label1 = new QLabel(sameNumberText(), this);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(16);
    Label1->setFont(font);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 16, 24, 16);
    row->setSpacing(20);
    row->addWidget(Image1, 0, Qt::AlignVCenter);
    row->addWidget(Label1, 1, Qt::AlignVCenter);
    // Where Tahoma is missing the font that stands in may be wider: the
    // window then grows so that the whole warning shows.
    setFixedSize(clientSize.expandedTo(row->sizeHint()));

    Timer1 = new QTimer(this);
    Timer1->setInterval(warningMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &TTimedErrorForm::Timer1Timer);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

QPixmap TTimedErrorForm::errorPicture()
{
    QPixmap picture(pictureSize, pictureSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawEllipse(QRectF(1, 1, pictureSize - 2, pictureSize - 2));
    QPen cross(Qt::white, 4, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(cross);
    painter.drawLine(QPointF(10, 10), QPointF(22, 22));
    painter.drawLine(QPointF(22, 10), QPointF(10, 22));
    return picture;
}

QString TTimedErrorForm::sameNumberText()
{
    return QStringLiteral("Same athlete number entered twice in a row!");
}

void TTimedErrorForm::showWarning()
{
    showWarning(sameNumberText());
}

void TTimedErrorForm::showWarning(const QString& text, QWidget* over)
{
    const bool another = Label1->text() != text;
    if (another) {
        Label1->setText(text);
        setFixedSize(clientSize.expandedTo(layout()->sizeHint()));
    }
    QWidget* active = QApplication::activeWindow();
    QWidget* owner = over ? over->window() : active;
    if (!isVisible())
        placeOver(owner == this ? nullptr : owner);
    else if (another)
        Timer1->start(); // read in its own second, not the rest of the last one's
    show(); // no show handling while already visible: the second runs on
    raise();
    // Where the platform activates every window shown, the window the
    // scans go to gets the keyboard back at once.
    if (active && active != this)
        active->activateWindow();
}

void TTimedErrorForm::placeOver(QWidget* owner)
{
    if (!owner || !owner->isVisible())
        return;
    // Owned by the window it warns over: window managers keep a window
    // above the one it belongs to, even when that one keeps the keyboard
    // and a window shown without it would be stacked below.
    winId();
    if (QWindow* mine = windowHandle(); mine && owner->windowHandle())
        mine->setTransientParent(owner->windowHandle());
    QRect client(QPoint(), size());
    client.moveCenter(owner->geometry().center());
    setGeometry(client);
}

void TTimedErrorForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TTimedErrorForm::FormShow()
{
    Timer1->start();
}

void TTimedErrorForm::Timer1Timer()
{
    Timer1->stop();
    hide();
}
