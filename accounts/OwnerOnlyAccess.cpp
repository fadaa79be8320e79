#include "accounts/OwnerOnlyAccess.h"

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on
#include <vector>

namespace {

// The user this program runs as, as the token names it.
std::vector<BYTE> CurrentUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        user.clear();
    }
    CloseHandle(token);
    return user;
}

}  // namespace

bool RestrictToOwner(const QString& path) {
    std::vector<BYTE> user = CurrentUser();
    if (user.empty()) {
        return false;
    }
    EXPLICIT_ACCESS_W access{};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
    PACL list = nullptr;
    if (SetEntriesInAclW(1, &access, nullptr, &list) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring name = path.toStdWString();
    const DWORD result = SetNamedSecurityInfoW(
        name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
        nullptr, list, nullptr);
    LocalFree(list);
    return result == ERROR_SUCCESS;
}

#else

bool RestrictToOwner(const QString&) {
    return true;
}

#endif
