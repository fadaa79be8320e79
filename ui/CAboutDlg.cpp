#include "ui/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "check/AccountIcon.h"
#include "res/Strings.h"
#include "ui/DialogUnits.h"
#include "ui/HelpContext.h"

namespace {

// The two lines of text share their column and width.
QLabel* AddText(QWidget* parent, const DialogUnits& du, const char* text, int y) {
    return AddTemplateLabel(parent, du, text, 40, y, 119);
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const DialogUnits du = ApplyTemplate(this, {.id = "IDD_ABOUTBOX",
                                                .caption = Str::kAboutCaption,
                                                .templateId = kTemplateId,
                                                .font = Str::kAboutFont,
                                                .cx = 217,
                                                .cy = 55});

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("IDR_MAINFRAME"));
    icon->setPixmap(BuiltinIcon(IconId::kApp).pixmap(DialogUnits::kLargeIconPixels));
    icon->setGeometry(QRect(du.ToPixels(11, 17, 20, 20).topLeft(),
                            QSize(DialogUnits::kLargeIconPixels, DialogUnits::kLargeIconPixels)));
    AddText(this, du, Str::kAboutVersion, 10)->setObjectName(QStringLiteral("IDC_VERSION"));
    AddText(this, du, Str::kAboutSecondLine, 25)->setObjectName(QStringLiteral("IDC_SECOND_LINE"));

    auto* ok = AddTemplateButton(this, du, Str::kOk, "IDOK", 178, 7, 32);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
