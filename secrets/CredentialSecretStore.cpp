#include "secrets/CredentialSecretStore.h"

#include <QTimer>
#include <utility>
#include <vector>
// clang-format off
#include <windows.h>
#include <wincred.h>
// clang-format on

#include "accounts/AccountText.h"

namespace {

SecretOutcome LastError() {
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_FOUND) {
        return {SecretOutcome::Result::NotFound, {}, qt_error_string(static_cast<int>(error))};
    }
    return {SecretOutcome::Result::Failed, {}, qt_error_string(static_cast<int>(error))};
}

std::wstring Wide(const QString& text) {
    return text.toStdWString();
}

}  // namespace

QString CCredentialSecretStore::TargetName(const SecretKey& key) {
    return QStringLiteral("quillpost:") + DisplayText(key.user) + QLatin1Char('@') + DisplayText(key.server);
}

void CCredentialSecretStore::Store(const SecretKey& key, const std::string& secret, Done done) {
    std::wstring target = Wide(TargetName(key));
    std::wstring user = Wide(DisplayText(key.user));
    std::vector<BYTE> blob(secret.begin(), secret.end());
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = target.data();
    credential.UserName = user.data();
    credential.CredentialBlobSize = static_cast<DWORD>(blob.size());
    credential.CredentialBlob = blob.data();
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    Finish(std::move(done), CredWriteW(&credential, 0) ? SecretOutcome{} : LastError());
}

void CCredentialSecretStore::Load(const SecretKey& key, Done done) {
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(Wide(TargetName(key)).c_str(), CRED_TYPE_GENERIC, 0, &credential)) {
        Finish(std::move(done), LastError());
        return;
    }
    SecretOutcome outcome;
    const auto* blob = reinterpret_cast<const char*>(credential->CredentialBlob);
    outcome.secret.assign(blob, blob + credential->CredentialBlobSize);
    CredFree(credential);
    Finish(std::move(done), std::move(outcome));
}

void CCredentialSecretStore::Remove(const SecretKey& key, Done done) {
    if (CredDeleteW(Wide(TargetName(key)).c_str(), CRED_TYPE_GENERIC, 0) ||
        GetLastError() == ERROR_NOT_FOUND) {
        Finish(std::move(done), {});
        return;
    }
    Finish(std::move(done), LastError());
}

void CCredentialSecretStore::Finish(Done done, SecretOutcome outcome) {
    QTimer::singleShot(0, this, [done = std::move(done), outcome = std::move(outcome)] { done(outcome); });
}
