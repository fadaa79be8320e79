#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <memory>

#include "check/AccountIcon.h"
#include "res/Strings.h"
#include "tests/support/TempDir.h"
#include "tests/ui/TrayIconOf.h"
#include "ui/TrayService.h"

namespace {

QImage Picture(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

class TrayServiceTest : public ::testing::Test {
protected:
    bool Add(int id, const TrayIcon& icon, const QString& tooltip = {}) {
        return tray.NotifyTray(TrayRequest::Add, id, icon, tooltip);
    }
    QString TooltipOf(int id) const { return IconFor(tray, id) ? IconFor(tray, id)->toolTip() : "<none>"; }

    CTrayService tray;
};

TEST_F(TrayServiceTest, AnIconWithoutTextShowsTheProgramName) {
    ASSERT_TRUE(Add(TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail)));
    ASSERT_NE(IconFor(tray, TrayId::kMain), nullptr);
    EXPECT_EQ(TooltipOf(TrayId::kMain), Str::Text(Str::kAppName));
    EXPECT_EQ(Picture(IconFor(tray, TrayId::kMain)->icon()), Picture(BuiltinIcon(IconId::kNoMail)));
    // Offscreen there is no tray: the window must then never hide into it.
    EXPECT_FALSE(tray.IsAvailable());
}

TEST_F(TrayServiceTest, AddingAnIdThatExistsFailsAndKeepsTheIconAsItWas) {
    ASSERT_TRUE(Add(2001, TrayIcon::Builtin(IconId::kNoMail), "alice"));
    EXPECT_FALSE(Add(2001, TrayIcon::Builtin(IconId::kError), "bob"));
    EXPECT_EQ(TooltipOf(2001), "alice");
    EXPECT_EQ(Picture(IconFor(tray, 2001)->icon()), Picture(BuiltinIcon(IconId::kNoMail)));
}

TEST_F(TrayServiceTest, ModifyChangesOnlyAnExistingIcon) {
    ASSERT_TRUE(Add(TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail)));
    const QString count = Str::Text(Str::kMailCount).replace("%d", "3");
    EXPECT_TRUE(tray.NotifyTray(TrayRequest::Modify, TrayId::kMain, TrayIcon::Builtin(IconId::kMail), count));
    EXPECT_EQ(TooltipOf(TrayId::kMain), count);
    EXPECT_EQ(Picture(IconFor(tray, TrayId::kMain)->icon()), Picture(BuiltinIcon(IconId::kMail)));

    EXPECT_FALSE(tray.NotifyTray(TrayRequest::Modify, 2005, TrayIcon::Builtin(IconId::kMail), "x"));
    EXPECT_EQ(IconFor(tray, 2005), nullptr);
}

TEST_F(TrayServiceTest, DeleteRemovesOnlyTheIconWithThatId) {
    ASSERT_TRUE(Add(2001, TrayIcon::Builtin(IconId::kNoMail), "a"));
    ASSERT_TRUE(Add(2002, TrayIcon::Builtin(IconId::kNoMail), "b"));
    EXPECT_TRUE(tray.NotifyTray(TrayRequest::Delete, 2001, {}, {}));
    EXPECT_EQ(IconFor(tray, 2001), nullptr);
    EXPECT_FALSE(tray.NotifyTray(TrayRequest::Delete, 2001, {}, {}));
    EXPECT_FALSE(tray.NotifyTray(TrayRequest::Delete, 2009, {}, {}));
    EXPECT_EQ(TooltipOf(2002), "b");
    // The id is free again.
    EXPECT_TRUE(Add(2001, TrayIcon::Builtin(IconId::kNoMail), "c"));
    EXPECT_EQ(TooltipOf(2001), "c");
}

TEST_F(TrayServiceTest, TooltipsAreCutTo63BytesAtACharacterBoundary) {
    const QString ascii(70, QChar('n'));
    ASSERT_TRUE(Add(2001, TrayIcon::Builtin(IconId::kNoMail), ascii));
    EXPECT_EQ(TooltipOf(2001), ascii.left(63));

    const QString japanese = "x" + QString(30, QChar(0x3042));  // あ, three bytes each
    ASSERT_TRUE(Add(2002, TrayIcon::Builtin(IconId::kNoMail), japanese));
    EXPECT_EQ(TooltipOf(2002), japanese.left(21));
}

TEST_F(TrayServiceTest, AnAccountShowsItsOwnPictureOrElseTheNoMailPicture) {
    TempDir dir;
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(dir.file("red.png")));
    dir.write("broken.ico", "not a picture");

    ASSERT_TRUE(Add(2001, AccountTrayIcon(dir.file("red.png")), "own"));
    EXPECT_EQ(Picture(IconFor(tray, 2001)->icon()).pixelColor(8, 8), QColor(Qt::red));

    for (const QString& file : {dir.file("broken.ico"), dir.file("missing.ico"), QString()}) {
        EXPECT_EQ(AccountTrayIcon(file), TrayIcon::Builtin(IconId::kNoMail)) << file.toStdString();
    }
    // A file that stopped being readable after it was chosen also falls back.
    ASSERT_TRUE(Add(2002, TrayIcon::FromFile(dir.file("broken.ico")), "gone"));
    EXPECT_EQ(Picture(IconFor(tray, 2002)->icon()), Picture(BuiltinIcon(IconId::kNoMail)));
}

TEST(BuiltinIcons, AllFourAreCompiledInAndDrawSomething) {
    for (int id : {IconId::kApp, IconId::kNoMail, IconId::kMail, IconId::kError}) {
        for (int size : {16, 32, 48}) {
            const QIcon icon = BuiltinIcon(id);
            ASSERT_FALSE(icon.isNull()) << id;
            const QImage image = icon.pixmap(size, size).toImage();
            ASSERT_EQ(image.size(), QSize(size, size)) << id << " at " << size;
            int opaque = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    opaque += qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
                }
            }
            // A real drawing covers a good part of its square, and not all of it.
            EXPECT_GT(opaque, size * size / 5) << id << " at " << size;
            EXPECT_LT(opaque, size * size) << id << " at " << size;
        }
    }
    // The pictures differ from one another.
    EXPECT_NE(Picture(BuiltinIcon(IconId::kNoMail)), Picture(BuiltinIcon(IconId::kMail)));
    EXPECT_NE(Picture(BuiltinIcon(IconId::kMail)), Picture(BuiltinIcon(IconId::kError)));
    EXPECT_TRUE(BuiltinIcon(999).pixmap(16, 16).isNull());
}

// The click rule: only a left click on the main icon brings the window back.
class TrayClickTest : public TrayServiceTest {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        tray.SetOwnerWindow(window.get());
        ASSERT_TRUE(Add(TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail)));
        ASSERT_TRUE(Add(2001, TrayIcon::Builtin(IconId::kNoMail), "alice"));
    }

    std::unique_ptr<QWidget> window;
};

TEST_F(TrayClickTest, ALeftClickOnTheMainIconRestoresTheHiddenWindow) {
    EXPECT_FALSE(window->isVisible());
    emit IconFor(tray, TrayId::kMain)->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(TrayClickTest, ALeftClickOnTheMainIconRestoresAMinimizedWindow) {
    window->showMinimized();
    tray.OnTrayNotify(TrayId::kMain, QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(TrayClickTest, EveryOtherClickDoesNothing) {
    for (auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick,
                        QSystemTrayIcon::Unknown}) {
        emit IconFor(tray, TrayId::kMain)->activated(reason);
        EXPECT_FALSE(window->isVisible()) << reason;
    }
    emit IconFor(tray, 2001)->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
