// The warning of the race details window on a real X display with a window
// manager (Xvfb and openbox), where the offscreen platform cannot tell:
// whether the window manager stacks the warning above the race details
// window, and whether the keyboard stays with that window. The program
// starts its own display and window manager, and reports itself skipped
// (exit code 77) where they are not installed.

#include "EntryFixture.h"
#include "support/Eventually.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr int skipped = 77;
constexpr int patienceMs = 20000; // a loaded 2-core machine starts an X server slowly

QString xprop(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("xprop"), arguments);
    p.waitForFinished(patienceMs);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The window ids of a root window property that lists windows, in order.
QList<WId> windowList(const QString& property)
{
    QList<WId> ids;
    static const QRegularExpression id(QStringLiteral("0x[0-9a-fA-F]+"));
    for (auto it = id.globalMatch(xprop({QStringLiteral("-root"), property})); it.hasNext();)
        ids << it.next().captured().toULongLong(nullptr, 16);
    return ids;
}

// What the X server and the window manager do takes its own time; each
// check runs xprop, a client of the X server, so they come 20 ms apart.
bool waitFor(const std::function<bool()>& condition)
{
    return eventually(condition, patienceMs, 20);
}

using WarningOnDisplay = EntryFixture;

TEST_F(WarningOnDisplay, TheWarningShowsAboveTheRaceDetailsWindowAndTheKeyboardStaysWithIt)
{
    const qint32 race = storeRace(raceLine({"12.10", "12.20", "12.30"}));
    form->openForRace(race, QStringLiteral("Race 7"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), patienceMs));
    // The official clicks the window: asked as a pager or a click would,
    // which the window manager grants whenever it has taken the window on.
    ASSERT_TRUE(waitFor([&] {
        if (windowList(QStringLiteral("_NET_ACTIVE_WINDOW")).value(0) == form->winId()
            && QApplication::activeWindow() == form.get())
            return true;
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QString::number(form->winId())});
        return false;
    })) << "the window manager never gave the race details window the keyboard";
    grid->setFocus();

    // A number no athlete carries: stored, and the warning shown. Its
    // second is held while the display is read, so that no slow moment
    // of the machine can close it first.
    scan(grid, "9999");
    ASSERT_TRUE(timedError->isVisible());
    timedError->Timer1->stop();
    const WId details = form->winId();
    const WId warning = timedError->winId();
    QList<WId> stacking;
    ASSERT_TRUE(waitFor([&] {
        stacking = windowList(QStringLiteral("_NET_CLIENT_LIST_STACKING"));
        return stacking.contains(warning);
    })) << "the window manager never listed the warning";
    EXPECT_GT(stacking.indexOf(warning), stacking.indexOf(details)) << "the warning is stacked below the window";
    EXPECT_TRUE(xprop({QStringLiteral("-id"), QString::number(warning), QStringLiteral("WM_TRANSIENT_FOR")})
                    .contains(QString::number(details, 16)))
        << "owned by the race details window";
    const QPoint offCentre = timedError->geometry().center() - form->geometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 40) << "centred on the race details window";

    // The keyboard never left the race details window: the next scan,
    // typed as the reader types it through the X server, lands there.
    EXPECT_EQ(windowList(QStringLiteral("_NET_ACTIVE_WINDOW")).value(0), details);
    EXPECT_EQ(QApplication::activeWindow(), form.get());
    EXPECT_TRUE(form->isAncestorOf(QApplication::focusWidget()));
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("104")});
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(waitFor([&] { return storedNumbers(race) == QStringList({"9999", "104", ""}); }))
        << storedNumbers(race).join(',').toStdString();
    timedError->Timer1Timer();
    EXPECT_FALSE(timedError->isVisible());
}

// An X server on a free display, chosen by the server itself, and openbox
// on it; both go when the run ends.
class DisplayWithWindowManager {
public:
    QString start()
    {
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                 QStringLiteral("-screen"), QStringLiteral("0"),
                                                 QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                                 QStringLiteral("tcp")});
        if (!m_server.waitForStarted(patienceMs))
            return QStringLiteral("Xvfb did not start: ") + m_server.errorString();
        QByteArray number;
        QDeadlineTimer deadline(patienceMs);
        while (!number.contains('\n') && !deadline.hasExpired() && m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(200);
            number += m_server.readAllStandardOutput();
        }
        if (!number.contains('\n'))
            return QStringLiteral("Xvfb named no display: ") + QString::fromLocal8Bit(m_server.readAllStandardError());
        const QByteArray display = ':' + number.trimmed();
        qputenv("DISPLAY", display);

        m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!m_windowManager.waitForStarted(patienceMs))
            return QStringLiteral("openbox did not start: ") + m_windowManager.errorString();
        // The window manager is in charge once it names itself on the root.
        if (!waitFor([] { return xprop({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                                     .contains(QStringLiteral("window id")); }))
            return QStringLiteral("openbox did not take the display ") + QString::fromLatin1(display)
                + (m_windowManager.state() == QProcess::NotRunning
                       ? QStringLiteral(": openbox ended, saying ")
                           + QString::fromLocal8Bit(m_windowManager.readAllStandardError())
                       : QStringLiteral(" (openbox still running)"));
        return {};
    }

    ~DisplayWithWindowManager()
    {
        for (QProcess* p : {&m_windowManager, &m_server}) {
            if (p->state() == QProcess::NotRunning)
                continue;
            p->terminate();
            if (!p->waitForFinished(patienceMs))
                p->kill();
            p->waitForFinished(patienceMs);
        }
    }

private:
    QProcess m_server;
    QProcess m_windowManager;
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (const char* tool : {"Xvfb", "openbox", "xprop", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("Skipped: %s is not installed (scripts/install-deps installs it)\n", tool);
            return skipped;
        }
    }
    DisplayWithWindowManager display;
    if (const QString failure = display.start(); !failure.isEmpty()) {
        std::printf("%s\n", qPrintable(failure));
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
