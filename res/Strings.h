#pragma once
// Every user-visible text of the program, in one place. The texts are the program's own and are
// used exactly as they stand (half-width katakana included). Sources are UTF-8.

#include <QString>

namespace Str {

// String table.
inline constexpr char kAboutMenuItem[] = "ﾊﾞｰｼﾞｮﾝ情報(Quillpost) (&A)...";           // 101
inline constexpr char kSocketInitFailed[] = "Windows ｿｹｯﾄの初期化に失敗しました。";  // 103
inline constexpr int kSocketInitFailedId = 103;
inline constexpr char kHelpFailed[] = "ﾍﾙﾌﾟの起動に失敗しました。";

// Program name: default tray tooltip, message-box titles.
inline constexpr char kAppName[] = "Quillpost";
inline constexpr char kVendor[] = "HALVERN";

// Tray tooltips after a check.
inline constexpr char kConnectError[] = "ソケット・コネクト・エラー";
inline constexpr char kLoginError[] = "ログイン・エラー";
inline constexpr char kNoMail[] = "メールはありません。";
inline constexpr char kMailCount[] = "メールが%d通あります。";

// Main window.
inline constexpr char kMainCaption[] = "Quillpost " QUILLPOST_VERSION;
inline constexpr char kCheckButton[] = "チェック∨";
inline constexpr char kExitButton[] = "終了";
inline constexpr char kAddButton[] = "追加";
inline constexpr char kEditButton[] = "編集";
inline constexpr char kDeleteButton[] = "削除";
inline constexpr char kStartDisp[] = "起動時に表示する。";
inline constexpr char kColumnUser[] = "User";
inline constexpr char kColumnServer[] = "Server";
inline constexpr char kColumnTime[] = "Time";
inline constexpr char kColumnCount[] = "Count";
inline constexpr char kConfirmDelete[] = "削除してもよろしいですか？";

// The account file's failures: %1 the file, %2 the system's reason, %3 where an unread file is kept.
inline constexpr char kReadFailed[] =
    "アカウント ファイルを読み込めませんでした。\n%1\n（%2）\n\n"
    "このファイルは上書きしません。アカウントを保存するときは、先にこのファイルを次の名前で残します。\n%3";
inline constexpr char kSaveFailed[] =
    "アカウント ファイルを保存できませんでした。\n%1\n（%2）\n\n"
    "変更はプログラムの中に残っています。次に追加・編集・削除するときと終了するときに、もう一度保存します。";
inline constexpr char kExitSaveFailed[] =
    "アカウント ファイルを保存できませんでした。\n%1\n（%2）\n\n"
    "「再試行」でもう一度保存します。「保存せずに終了」を選ぶと、前回の保存のあとの変更は失われます。";
// The status line at start when the file is missing but an earlier run left files beside it (%1).
inline constexpr char kLeftBeside[] = "アカウント ファイルがありません。同じフォルダーに残されたファイル: %1";
inline constexpr char kRetryButton[] = "再試行";
inline constexpr char kEndWithoutSaving[] = "保存せずに終了";
inline constexpr int kReadFailedId = 108;
inline constexpr int kSaveFailedId = 109;
inline constexpr int kExitSaveFailedId = 110;

// A second start whose running copy does not answer; %1 the account file.
inline constexpr char kRunningCopySilent[] =
    "同じアカウント ファイルを使う Quillpost がすでに起動していますが、応答がありません。\n%1\n\n"
    "そのプログラムを終了してから、もう一度起動してください。";

// The main window's right-click menu, after the About item.
inline constexpr char kNotifyMenuItem[] = "新着メールを通知する";
inline constexpr char kLoginStartMenuItem[] = "ログイン時に起動する";
inline constexpr char kCheckNowMenuItem[] = "今すぐチェック";
inline constexpr char kKeyringMenuItem[] = "パスワードをキーリングに保存する";

// The desktop's keyring. The status line tells where the passwords are; a failed tick says why in
// a box, with %1 the keyring's or the file's words.
inline constexpr char kKeyringUnusable[] = "キーリングを使用できません。パスワードはACCOUNT.CSVに残ります。";
inline constexpr char kKeyringMoveOutFailed[] =
    "パスワードをACCOUNT.CSVに戻せませんでした。パスワードはキーリングに残ります。";
inline constexpr char kKeyringReason[] = "%1\n（%2）";
inline constexpr int kKeyringUnusableId = 111;
inline constexpr int kKeyringMoveOutFailedId = 112;
// Reasons of our own.
inline constexpr char kKeyringTimedOut[] = "キーリングが%1秒以内に応答しませんでした。";
inline constexpr char kKeyringMismatch[] = "キーリングから読み戻したパスワードが一致しません。";
inline constexpr char kKeyringNoReason[] = "キーリングがエラーを返しました。";

// Account settings dialog.
inline constexpr char kSettingsCaption[] = "設定";
inline constexpr char kUserLabel[] = "ユーザー名";
inline constexpr char kPasswordLabel[] = "パスワード";
inline constexpr char kServerLabel[] = "サーバー";
inline constexpr char kIntervalLabel[] = "チェック間隔（秒）";
inline constexpr char kSound[] = "サウンド";
inline constexpr char kOnMail[] = "着信メールがあるとき";
inline constexpr char kOnIncrease[] = "着信メール数が増えたとき";
inline constexpr char kBrowse[] = "参照";
inline constexpr char kPreview[] = "プレビュー";
inline constexpr char kLaunch[] = "起動";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancel[] = "ｷｬﾝｾﾙ";
inline constexpr char kSoundFilter[] = "WAVEフォームサウンド(*.WAV)|*.WAV||";
inline constexpr char kLaunchFilter[] = "すべてのファイル(*.*)|*.*||";
inline constexpr char kIconFilter[] = "アイコン(*.ICO)|*.ICO||";
inline constexpr char kSoundInitialName[] = "*.WAV";
inline constexpr char kLaunchInitialName[] = "*.*";
inline constexpr char kIconInitialName[] = "*.ICO";
inline constexpr char kEnterInteger[] = "整数を入力してください。";
inline constexpr char kIntervalRange[] = "1 から %1 までの整数を入力してください。";  // %1: the limit
inline constexpr char kNoComma[] = "カンマ（,）は使用できません。";
inline constexpr char kNoControlCharacter[] = "改行やタブなどの制御文字は使用できません。";
inline constexpr char kNoEdgeBlank[] = "先頭と末尾に空白は使用できません。";
// %1 the field (one of the six below), %2 the first character its text cannot keep in the file.
inline constexpr char kUnstorableCharacter[] =
    "%1に、アカウント ファイルに保存できない文字「%2」があります。\n"
    "この文字を使わない値にしてください（ファイルはこのパソコンの文字コードで保存します）。";
inline constexpr char kUserField[] = "ユーザー名";
inline constexpr char kPasswordField[] = "パスワード";
inline constexpr char kServerField[] = "サーバー";
inline constexpr char kSoundFileField[] = "サウンドのファイル名";
inline constexpr char kLaunchFileField[] = "起動するファイルの名前";
inline constexpr char kIconFileField[] = "アイコンのファイル名";
// Ids of the settings dialog's messages, for their help topics.
inline constexpr int kEnterIntegerId = 0xF110;
inline constexpr int kIntervalRangeId = 104;
inline constexpr int kNoCommaId = 105;
inline constexpr int kNoControlCharacterId = 106;
inline constexpr int kNoEdgeBlankId = 107;
inline constexpr int kUnstorableCharacterId = 111;

// About box.
inline constexpr char kAboutCaption[] = "ﾊﾞｰｼﾞｮﾝ情報 Quillpost";
inline constexpr char kAboutVersion[] = "Quillpost Version " QUILLPOST_VERSION;
inline constexpr char kAboutSecondLine[] = "POP3・IMAP メールの見張り番";

// Dialog fonts named by the templates.
inline constexpr char kDialogFont[] = "ＭＳ ゴシック";
inline constexpr char kAboutFont[] = "ＭＳ Ｐゴシック";

inline QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace Str
