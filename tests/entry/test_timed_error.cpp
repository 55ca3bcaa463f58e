#include "entry/Timederror.h"
#include "support/Eventually.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

TEST(TimedErrorTest, ShowsTheWarningAndHidesItselfWhenTheTimerFires)
{
    TTimedErrorForm warning;
    EXPECT_EQ(warning.windowTitle(), "Warning");
    EXPECT_EQ(warning.Label1->text(), "Same athlete number entered twice in a row!");
    EXPECT_EQ(warning.Timer1->interval(), 1000);
    EXPECT_FALSE(warning.Timer1->isActive()) << "disabled at creation";
    EXPECT_FALSE(warning.isVisible());

    warning.showWarning();
    EXPECT_TRUE(warning.isVisible());
    EXPECT_TRUE(warning.Timer1->isActive());
    warning.Timer1Timer();
    EXPECT_FALSE(warning.isVisible());
    EXPECT_FALSE(warning.Timer1->isActive());

    warning.showWarning();
    EXPECT_TRUE(warning.Timer1->isActive()) << "each showing arms it again";
}

TEST(TimedErrorTest, GoesAwayOneSecondAfterItAppearedAndARepeatDoesNotLengthenIt)
{
    TTimedErrorForm warning;
    QElapsedTimer shown;
    shown.start();
    warning.showWarning();
    QTest::qWait(300);
    // At least 300 ms have gone; a restarted second would have all of it.
    if (warning.isVisible()) { // not so on a machine stalled for a second
        const int before = warning.Timer1->remainingTime();
        warning.showWarning();
        EXPECT_LE(warning.Timer1->remainingTime(), before);
        EXPECT_LT(before, 900);
    }

    EXPECT_TRUE(eventually([&] { return !warning.isVisible(); }, 3000));
    EXPECT_GE(shown.elapsed(), 900);
}

TEST(TimedErrorTest, ShowsCentredOnTheWindowItWarnsOverAndOwnedByIt)
{
    QWidget owner;
    owner.setGeometry(200, 150, 962, 473);
    owner.show();
    TTimedErrorForm warning;
    warning.showWarning(QStringLiteral("9999: no athlete of this meet has this number"), &owner);
    EXPECT_EQ(warning.geometry().center(), owner.geometry().center());
    ASSERT_NE(warning.windowHandle(), nullptr);
    EXPECT_EQ(warning.windowHandle()->transientParent(), owner.windowHandle());
    EXPECT_TRUE(warning.windowFlags() & Qt::WindowStaysOnTopHint);
}

} // namespace

TEST(TimedErrorLayout, TheWholeWarningFitsWhateverFontStandsIn)
{
    TTimedErrorForm form;
    const QFontMetrics metrics(form.Label1->font());
    form.show();
    QApplication::processEvents();
    EXPECT_GE(form.Label1->width(), metrics.horizontalAdvance(form.Label1->text()));
    EXPECT_GE(form.width(), 391);

    // A longer warning, naming what the reader read, fits as well.
    form.showWarning(QStringLiteral("\"WWWWWWWWWWWWWWWWWWWW...\" is not an athlete number!"));
    QApplication::processEvents();
    EXPECT_GE(form.Label1->width(), metrics.horizontalAdvance(form.Label1->text()));
}
