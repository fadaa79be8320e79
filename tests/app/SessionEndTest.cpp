// A logout that did not end the program must not leave it believing the session is ending: a
// later "終了" whose save fails would then lose the change without offering to try again.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QTest>
#include <QWidget>

#include "app/SessionEnd.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

TEST(SessionEnd, ALogoutEndsWithTheUsersNextActionOrItsCancellation) {
    CSessionEnd end;
    QWidget window;
    window.show();
    end.OnLogoutBegun();
    EXPECT_TRUE(end.IsEnding());
    QTest::mouseClick(&window, Qt::LeftButton);
    EXPECT_FALSE(end.IsEnding());

#ifdef Q_OS_WIN
    end.OnLogoutBegun();
    MSG cancelled{nullptr, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, 0, {}};
    qintptr result = 0;
    QAbstractEventDispatcher::instance()->filterNativeEvent("windows_generic_MSG", &cancelled, &result);
    EXPECT_FALSE(end.IsEnding());
#endif
}

}  // namespace
