// The tray service against a real tray host (trayer on Xvfb, started by with-tray.sh): the icon
// appears, shows its tooltip, and real mouse clicks follow the click rule.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "res/Strings.h"
#include "tests/support/ChildProcess.h"
#include "tests/ui/TrayIconOf.h"
#include "ui/TrayMessageNotifier.h"
#include "ui/TrayService.h"

namespace {

// The tray host and the X server answer late on a loaded machine; a wait ends as soon as its
// condition holds.
constexpr int kPatience = 20000;

// Runs xdotool; its output, or a null array when it failed.
QByteArray XdoTool(const QStringList& arguments) {
    const ChildRun xdotool = RunChild(QStringLiteral("xdotool"), arguments, {.forwardErrors = true}, 5000);
    return xdotool.succeeded ? xdotool.output + ' ' : QByteArray();  // never null on success
}

bool MoveTo(const QPoint& where) {
    return !XdoTool({"mousemove", QString::number(where.x()), QString::number(where.y())}).isNull();
}

bool ClickAt(const QPoint& where, int button) {
    return MoveTo(where) && !XdoTool({"click", QString::number(button)}).isNull();
}

// Where the X server has put a window, in screen coordinates. Qt does not learn the position of
// a tray icon's window once the tray host has taken it in, so the server is asked.
QRect ScreenPlace(WId window) {
    QRect place;
    for (const QByteArray& line :
         XdoTool({"getwindowgeometry", "--shell", QString::number(window)}).split('\n')) {
        const QList<QByteArray> pair = line.trimmed().split('=');
        if (pair.size() != 2) {
            continue;
        }
        const int value = pair[1].toInt();
        if (pair[0] == "X") {
            place.moveLeft(value);
        } else if (pair[0] == "Y") {
            place.moveTop(value);
        } else if (pair[0] == "WIDTH") {
            place.setWidth(value);
        } else if (pair[0] == "HEIGHT") {
            place.setHeight(value);
        }
    }
    return place;
}

// The windows Qt made for tray icons.
QSet<QWidget*> TrayIconWindows() {
    QSet<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QSystemTrayIconSys")) {
            windows.insert(widget);
        }
    }
    return windows;
}

// The text of the tooltip on screen, or an empty string when none is shown.
QString ShownTooltip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* label = qobject_cast<QLabel*>(widget);
        if (label != nullptr && widget->inherits("QTipLabel") && widget->isVisible()) {
            return label->text();
        }
    }
    return {};
}

class TrayOnXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run through tests/support/with-tray.sh";
        window.resize(200, 100);
        tray.SetOwnerWindow(&window);
    }

    // Adds an icon and waits until the tray host (at the top right of the screen) has taken it
    // in; returns where it is on the screen.
    QRect AddAndWaitForPlace(int id, const QString& tooltip) {
        const QSet<QWidget*> before = TrayIconWindows();
        if (!tray.NotifyTray(TrayRequest::Add, id, TrayIcon::Builtin(IconId::kNoMail), tooltip)) {
            return {};
        }
        // The host first takes the icon in, then lays its icons out again: a place counts once
        // two looks in a row agree.
        QRect place;
        QRect previous;
        (void)QTest::qWaitFor(
            [&] {
                const QSet<QWidget*> added = TrayIconWindows() - before;
                previous = place;
                place = added.size() == 1 ? ScreenPlace((*added.begin())->winId()) : QRect();
                return place.left() > 0 && !place.isEmpty() && place == previous;
            },
            kPatience);
        return place;
    }

    QWidget window;
    CTrayService tray;
};

TEST_F(TrayOnXvfb, TheMainIconIsShownWithItsTooltipAndALeftClickBringsTheWindowBack) {
    ASSERT_TRUE(tray.IsAvailable());
    const QRect place = AddAndWaitForPlace(TrayId::kMain, {});
    ASSERT_FALSE(place.isEmpty());

    // The tray host really draws the picture there: more than a few colours in that square. It
    // paints when it gets round to it, so look until it has.
    const auto coloursThere = [&place] {
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, place.x(), place.y(), place.width(), place.height())
                                .toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                colours.insert(shot.pixel(x, y));
            }
        }
        return colours.size();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return coloursThere() > 3; }, kPatience)) << coloursThere();

    // Resting the pointer on the icon shows the program name.
    ASSERT_TRUE(MoveTo(place.center()));
    EXPECT_TRUE(QTest::qWaitFor([] { return !ShownTooltip().isEmpty(); }, kPatience));
    EXPECT_EQ(ShownTooltip(), Str::Text(Str::kAppName));

    // A right click leaves the window hidden (looked at once the icon has had the click); a left
    // click brings it back.
    ASSERT_FALSE(window.isVisible());
    QSignalSpy clicks(IconFor(tray, TrayId::kMain), &QSystemTrayIcon::activated);
    ASSERT_TRUE(ClickAt(place.center(), 3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks.size() == 1; }, kPatience));
    EXPECT_FALSE(window.isVisible());
    ASSERT_TRUE(ClickAt(place.center(), 1));
    EXPECT_TRUE(QTest::qWaitFor([this] { return window.isVisible(); }, kPatience));
}

TEST_F(TrayOnXvfb, ALeftClickOnAnAccountIconDoesNothing) {
    const QRect main = AddAndWaitForPlace(TrayId::kMain, {});
    ASSERT_FALSE(main.isEmpty());
    const QRect account = AddAndWaitForPlace(2001, QStringLiteral("alice"));
    ASSERT_FALSE(account.isEmpty());
    ASSERT_FALSE(account.intersects(main));
    QSignalSpy clicks(IconFor(tray, 2001), &QSystemTrayIcon::activated);
    ASSERT_TRUE(ClickAt(account.center(), 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks.size() == 1; }, kPatience));
    EXPECT_FALSE(window.isVisible());

    // Deleting the icon takes it out of the tray.
    ASSERT_TRUE(tray.NotifyTray(TrayRequest::Delete, 2001, {}, {}));
    EXPECT_EQ(IconFor(tray, 2001), nullptr);
}

TEST_F(TrayOnXvfb, AMessageFromTheMainIconShowsTheNoticeAndAClickOnItBringsTheWindowBack) {
    ASSERT_FALSE(AddAndWaitForPlace(TrayId::kMain, {}).isEmpty());
    CTrayMessageNotifier notifier([this] { return IconFor(tray, TrayId::kMain); });
    notifier.SetOwnerWindow(&window);
    notifier.Show(1, QStringLiteral("Quillpost"), QStringLiteral("alice (pop.example.test)"));
    QWidget* balloon = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                balloon = widget->inherits("QBalloonTip") && widget->isVisible() ? widget : balloon;
            }
            return balloon != nullptr;
        },
        kPatience));
    QStringList texts;
    for (const QLabel* label : balloon->findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains("alice (pop.example.test)")) << texts.join('|').toStdString();
    ASSERT_FALSE(window.isVisible());
    ASSERT_TRUE(ClickAt(balloon->geometry().center(), 1));
    EXPECT_TRUE(QTest::qWaitFor([this] { return window.isVisible(); }, kPatience));
}

}  // namespace
