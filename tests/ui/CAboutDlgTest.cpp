#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "res/Strings.h"
#include "tests/support/WhenModal.h"
#include "ui/CAboutDlg.h"
#include "ui/DialogUnits.h"
#include "ui/HelpContext.h"

namespace {

TEST(AboutDlg, ShowsTheVersionAtTheTemplatePlaces) {
    CAboutDlg dlg;
    const DialogUnits du(dlg.font());
    EXPECT_EQ(dlg.windowTitle(), Str::Text(Str::kAboutCaption));
    EXPECT_EQ(dlg.size(), du.ToPixels(217, 55));
    EXPECT_EQ(dlg.property(HelpContext::kProperty).toInt(), 0x20064);
    // The proportional gothic of its template, not the settings dialog's fixed-pitch one.
    EXPECT_EQ(dlg.font().family(), DialogUnits::DialogFont(Str::kAboutFont).family());

    auto* version = dlg.findChild<QLabel*>("IDC_VERSION");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Quillpost Version 1.2");
    EXPECT_EQ(version->geometry(), du.ToPixels(40, 10, 119, 8));
    auto* second = dlg.findChild<QLabel*>("IDC_SECOND_LINE");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), Str::Text(Str::kAboutSecondLine));
    EXPECT_EQ(second->geometry(), du.ToPixels(40, 25, 119, 8));
    auto* icon = dlg.findChild<QLabel*>("IDR_MAINFRAME");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pos(), du.ToPixels(11, 17, 20, 20).topLeft());
    auto* ok = dlg.findChild<QPushButton*>("IDOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), du.ToPixels(178, 7, 32, 14));
}

TEST(AboutDlg, EnterEscAndOkEndIt) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        CAboutDlg dlg;
        WhenModal<CAboutDlg>([key](CAboutDlg* shown) { QTest::keyClick(shown, key); });
        EXPECT_EQ(dlg.exec(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
    }
    CAboutDlg dlg;
    WhenModal<CAboutDlg>([](CAboutDlg* shown) { shown->findChild<QPushButton*>("IDOK")->click(); });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
}

}  // namespace
