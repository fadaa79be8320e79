#pragma once
// The keyring of the system the program is built for.

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "secrets/CredentialSecretStore.h"
using CDesktopSecretStore = CCredentialSecretStore;
#else
#include "secrets/KeychainSecretStore.h"
using CDesktopSecretStore = CKeychainSecretStore;
#endif
