#include "ui/CAccountDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "accounts/AccountText.h"
#include "accounts/CAccount.h"
#include "alerts/Alerts.h"
#include "check/AccountIcon.h"
#include "check/CheckScheduler.h"
#include "res/Strings.h"
#include "ui/DialogInteger.h"
#include "ui/DialogUnits.h"
#include "ui/HelpContext.h"
#include "ui/MessageBox.h"

namespace {

template <class Widget>
Widget* Named(Widget* widget, const char* id) {
    widget->setObjectName(QString::fromLatin1(id));
    return widget;
}

QLineEdit* AddEdit(QWidget* parent, const DialogUnits& du, const char* id, int x, int y, int cx) {
    auto* edit = Named(new QLineEdit(parent), id);
    du.Place(edit, x, y, cx, 14);
    return edit;
}

// Text: the whole text; towards the control only when it differs, so the caret stays put. A box
// still showing the member's text leaves the member's bytes alone: text from another system's
// encoding would not survive the trip through the local one. A box whose text the local encoding
// turns into the member's bytes keeps it too, so that OK can still point out what it cannot hold.
void ExchangeText(bool toMembers, QLineEdit* box, std::string& member) {
    const QString shown = DisplayText(member);
    if (toMembers) {
        if (box->text() != shown) {
            member = TypedBytes(box->text());
        }
        return;
    }
    if (box->text() != shown && TypedBytes(box->text()) != member) {
        box->setText(shown);
    }
}

// The first character the local 8-bit encoding cannot hold (Windows' ANSI code page: "é" under
// code page 932), which the file would get back as "?" or another character; empty when none.
QString FirstUnstorableCharacter(const QString& text) {
    if (DisplayText(TypedBytes(text)) == text) {
        return {};
    }
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (DisplayText(TypedBytes(character)) != character) {
            return character;
        }
    }
    return text;
}

// Check box: 1 ticked, 0 not; towards the control only 1 and 2 show ticked.
void ExchangeCheck(bool toMembers, QCheckBox* box, std::int32_t& member) {
    if (toMembers) {
        member = box->isChecked() ? 1 : 0;
    } else {
        box->setChecked(member == 1 || member == 2);
    }
}

// Radio group: the index of the ticked button, -1 when none is.
void ExchangeRadio(bool toMembers, QButtonGroup* group, std::int32_t& member) {
    const QList<QAbstractButton*> buttons = group->buttons();
    if (toMembers) {
        member = -1;
        for (int i = 0; i < buttons.size(); ++i) {
            if (buttons[i]->isChecked()) {
                member = i;
            }
        }
        return;
    }
    // An exclusive group cannot show "none"; lift that while setting the buttons.
    group->setExclusive(false);
    for (int i = 0; i < buttons.size(); ++i) {
        buttons[i]->setChecked(i == member);
    }
    group->setExclusive(true);
}

}  // namespace

CAccountDlg::CAccountDlg(CAlerts& alerts, QWidget* parent) : QDialog(parent), m_alerts(alerts) {
    BuildControls(ApplyTemplate(this, {.id = "IDD_ACCOUNT",
                                       .caption = Str::kSettingsCaption,
                                       .templateId = kTemplateId,
                                       .font = Str::kDialogFont,
                                       .cx = 217,
                                       .cy = 245}));
}

CAccountDlg::~CAccountDlg() = default;

void CAccountDlg::BuildControls(const DialogUnits& du) {
    AddTemplateLabel(this, du, Str::kUserLabel, 5, 5, 41);
    m_user = AddEdit(this, du, "IDC_USER", 50, 0, 165);
    AddTemplateLabel(this, du, Str::kPasswordLabel, 5, 21, 41);
    m_password = AddEdit(this, du, "IDC_PASSWORD", 50, 15, 165);
    m_password->setEchoMode(QLineEdit::Password);
    AddTemplateLabel(this, du, Str::kServerLabel, 5, 35, 33);
    m_server = AddEdit(this, du, "IDC_SERVER", 50, 30, 165);
    AddTemplateLabel(this, du, Str::kIntervalLabel, 5, 50, 73);
    m_interval = AddEdit(this, du, "IDC_INTERVAL", 80, 45, 20);

    const char* soundIds[] = {"IDC_SOUND",      "IDC_SOUND_ON_MAIL", "IDC_SOUND_ON_INCREASE",
                              "IDC_SOUND_FILE", "IDC_SOUND_BROWSE",  "IDC_SOUND_PREVIEW"};
    std::tie(m_sound, m_soundModes, m_soundFile) = BuildAlertGroup(
        du, 100, Str::kSound, 48, soundIds, &CAccountDlg::OnSoundBrowse, &CAccountDlg::OnSoundPreview);
    const char* launchIds[] = {"IDC_LAUNCH",      "IDC_LAUNCH_ON_MAIL", "IDC_LAUNCH_ON_INCREASE",
                               "IDC_LAUNCH_FILE", "IDC_LAUNCH_BROWSE",  "IDC_LAUNCH_PREVIEW"};
    std::tie(m_launch, m_launchModes, m_launchFile) = BuildAlertGroup(
        du, 165, Str::kLaunch, 32, launchIds, &CAccountDlg::OnLaunchBrowse, &CAccountDlg::OnLaunchPreview);

    auto* ok = AddTemplateButton(this, du, Str::kOk, "IDOK", 90, 230, 59);
    ok->setDefault(true);
    auto* cancel = AddTemplateButton(this, du, Str::kCancel, "IDCANCEL", 155, 230, 59);

    m_iconPreview = Named(new QLabel(this), "IDC_ICON_PREVIEW");
    m_iconPreview->setGeometry(QRect(du.ToPixels(5, 65, 20, 20).topLeft(),
                                     QSize(DialogUnits::kLargeIconPixels, DialogUnits::kLargeIconPixels)));
    m_iconFile = AddEdit(this, du, "IDC_ICON_FILE", 30, 70, 150);
    auto* iconBrowse = AddTemplateButton(this, du, Str::kBrowse, "IDC_ICON_BROWSE", 180, 70, 35);

    connect(iconBrowse, &QPushButton::clicked, this, &CAccountDlg::OnIconBrowse);
    connect(ok, &QPushButton::clicked, this, &CAccountDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAccountDlg::reject);
}

// One of the two alert groups. Its check box is its title: the frame's top line runs through the
// middle of the box, as a titled frame's line runs through its title, and the box hides it there.
std::tuple<QCheckBox*, QButtonGroup*, QLineEdit*> CAccountDlg::BuildAlertGroup(
    const DialogUnits& du, int top, const char* caption, int checkWidth, const char* ids[6], Slot onBrowse,
    Slot onPreview) {
    auto* frame = new QGroupBox(this);
    frame->setAccessibleName(Str::Text(caption));
    frame->setGeometry(du.ToPixels(5, top, 210, 60).adjusted(0, du.Y(4), 0, 0));
    auto* check = Named(new QCheckBox(Str::Text(caption), this), ids[0]);
    check->setAutoFillBackground(true);
    du.Place(check, 10, top, checkWidth, 10);
    auto* modes = new QButtonGroup(this);
    auto* onMail = Named(new QRadioButton(Str::Text(Str::kOnMail), this), ids[1]);
    du.Place(onMail, 10, top + 10, 96, 10);
    auto* onIncrease = Named(new QRadioButton(Str::Text(Str::kOnIncrease), this), ids[2]);
    du.Place(onIncrease, 10, top + 25, 112, 10);
    modes->addButton(onMail);
    modes->addButton(onIncrease);
    auto* file = AddEdit(this, du, ids[3], 10, top + 40, 130);
    auto* browse = AddTemplateButton(this, du, Str::kBrowse, ids[4], 140, top + 40, 35);
    auto* preview = AddTemplateButton(this, du, Str::kPreview, ids[5], 175, top + 40, 35);
    FitCaption(preview);
    connect(browse, &QPushButton::clicked, this, onBrowse);
    connect(preview, &QPushButton::clicked, this, onPreview);
    return {check, modes, file};
}

void CAccountDlg::LoadFrom(const CAccount& account) {
    m_strIconFile = account.m_strIconFile;
    m_strUser = account.m_strUser;
    m_strPassword = account.m_strPassword;
    m_strServer = account.m_strServer;
    m_nInterval = account.m_nInterval;
    m_bSound = account.m_bSound;
    m_nSoundMode = account.m_nSoundMode;
    m_strSoundFile = account.m_strSoundFile;
    m_bLaunch = account.m_bLaunch;
    m_nLaunchMode = account.m_nLaunchMode;
    m_strLaunchFile = account.m_strLaunchFile;
}

void CAccountDlg::StoreInto(CAccount& account) const {
    account.m_strIconFile = m_strIconFile;
    account.m_strUser = m_strUser;
    account.m_strPassword = m_strPassword;
    account.m_strServer = m_strServer;
    account.m_nInterval = m_nInterval;
    account.m_bSound = m_bSound;
    account.m_nSoundMode = m_nSoundMode;
    account.m_strSoundFile = m_strSoundFile;
    account.m_bLaunch = m_bLaunch;
    account.m_nLaunchMode = m_nLaunchMode;
    account.m_strLaunchFile = m_strLaunchFile;
}

bool CAccountDlg::TransferData(bool toMembers) {
    ExchangeRadio(toMembers, m_launchModes, m_nLaunchMode);
    ExchangeText(toMembers, m_password, m_strPassword);
    ExchangeText(toMembers, m_server, m_strServer);
    ExchangeText(toMembers, m_soundFile, m_strSoundFile);
    ExchangeCheck(toMembers, m_sound, m_bSound);
    ExchangeText(toMembers, m_launchFile, m_strLaunchFile);
    ExchangeCheck(toMembers, m_launch, m_bLaunch);
    ExchangeRadio(toMembers, m_soundModes, m_nSoundMode);
    if (!ExchangeInterval(toMembers)) {
        return false;
    }
    ExchangeText(toMembers, m_user, m_strUser);
    ExchangeText(toMembers, m_iconFile, m_strIconFile);
    return true;
}

bool CAccountDlg::ExchangeInterval(bool toMembers) {
    if (!toMembers) {
        const QString text = QString::number(m_nInterval);
        if (m_interval->text() != text) {
            m_interval->setText(text);
        }
        return true;
    }
    const std::optional<std::int32_t> value = ParseDialogInteger(m_interval->text());
    if (!value) {
        FailOn(m_interval, Str::Text(Str::kEnterInteger), Str::kEnterIntegerId);
        return false;
    }
    // Below one second the account would be probed without pause; above the limit the timer's
    // milliseconds would not fit.
    if (*value < 1 || *value > CCheckScheduler::kMaxIntervalSeconds) {
        FailOn(m_interval, Str::Text(Str::kIntervalRange).arg(CCheckScheduler::kMaxIntervalSeconds),
               Str::kIntervalRangeId);
        return false;
    }
    m_nInterval = *value;
    return true;
}

void CAccountDlg::FailOn(QLineEdit* box, const QString& message, int stringId) {
    ShowExclamation(this, message, stringId);
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

// A box whose text the file cannot hold, or would give back changed, is refused: a comma splits
// the field, a control character can end the line, and the reader drops blanks at a field's ends.
// A box left as it opened is written back byte for byte, so only changed boxes are looked at.
bool CAccountDlg::RefuseUnstorableText() {
    const std::tuple<QLineEdit*, std::string CAccount::*, const char*> boxes[] = {
        {m_password, &CAccount::m_strPassword, Str::kPasswordField},
        {m_server, &CAccount::m_strServer, Str::kServerField},
        {m_soundFile, &CAccount::m_strSoundFile, Str::kSoundFileField},
        {m_launchFile, &CAccount::m_strLaunchFile, Str::kLaunchFileField},
        {m_user, &CAccount::m_strUser, Str::kUserField},
        {m_iconFile, &CAccount::m_strIconFile, Str::kIconFileField},
    };
    for (const auto& [box, field, name] : boxes) {
        const QString text = box->text();
        if (m_opened && text == DisplayText((*m_opened).*field)) {
            continue;
        }
        if (text.contains(u',')) {
            FailOn(box, Str::Text(Str::kNoComma), Str::kNoCommaId);
            return true;
        }
        if (std::any_of(text.cbegin(), text.cend(),
                        [](QChar c) { return c.category() == QChar::Other_Control; })) {
            FailOn(box, Str::Text(Str::kNoControlCharacter), Str::kNoControlCharacterId);
            return true;
        }
        if (text.startsWith(u' ') || text.endsWith(u' ')) {
            FailOn(box, Str::Text(Str::kNoEdgeBlank), Str::kNoEdgeBlankId);
            return true;
        }
        if (const QString lost = FirstUnstorableCharacter(text); !lost.isEmpty()) {
            FailOn(box, Str::Text(Str::kUnstorableCharacter).arg(Str::Text(name), lost),
                   Str::kUnstorableCharacterId);
            return true;
        }
    }
    return false;
}

void CAccountDlg::accept() {
    if (RefuseUnstorableText() || !TransferData(true)) {
        return;
    }
    QDialog::accept();
}

// Cancel discards every change, a file chosen through a browse button included.
void CAccountDlg::reject() {
    if (m_opened) {
        LoadFrom(*m_opened);
    }
    QDialog::reject();
}

void CAccountDlg::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        m_initialised = true;
        m_opened = std::make_unique<CAccount>();
        StoreInto(*m_opened);
        TransferData(false);
        ShowIconPreview(m_strIconFile);
    }
    QDialog::showEvent(event);
}

void CAccountDlg::ShowIconPreview(const std::string& file) {
    const QIcon icon = IconFromFile(DisplayText(file));
    if (icon.isNull()) {
        return;
    }
    m_iconPreview->setPixmap(icon.pixmap(DialogUnits::kLargeIconPixels));
}

bool CAccountDlg::Browse(QLineEdit* box, std::string& member, const char* initialName, const char* filter) {
    TransferData(true);  // a bad box has been pointed out; the choice goes on regardless
    const FileRequest request{DisplayText(member), Str::Text(initialName), QtFileFilter(Str::Text(filter))};
    const std::optional<QString> chosen = m_chooseFile(this, request);
    if (!chosen) {
        return false;
    }
    member = TypedBytes(*chosen);
    TransferData(false);
    box->setText(*chosen);  // as chosen, even where the file cannot hold it: OK then says so
    return true;
}

void CAccountDlg::OnSoundBrowse() {
    Browse(m_soundFile, m_strSoundFile, Str::kSoundInitialName, Str::kSoundFilter);
}

void CAccountDlg::OnLaunchBrowse() {
    Browse(m_launchFile, m_strLaunchFile, Str::kLaunchInitialName, Str::kLaunchFilter);
}

void CAccountDlg::OnIconBrowse() {
    if (Browse(m_iconFile, m_strIconFile, Str::kIconInitialName, Str::kIconFilter)) {
        ShowIconPreview(m_strIconFile);
    }
}

void CAccountDlg::OnSoundPreview() {
    TransferData(true);
    m_alerts.PreviewSound(DisplayText(m_strSoundFile));
}

void CAccountDlg::OnLaunchPreview() {
    TransferData(true);
    m_alerts.LaunchFile(this, DisplayText(m_strLaunchFile));
}
