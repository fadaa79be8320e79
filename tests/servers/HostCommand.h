#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Programs of the machine the tests run on (dovecot, openssl, chown). A Windows test program
// runs under wine on Linux: it reaches them through wine's start of Linux programs, and names
// its own files to them by their Linux paths.

// Runs `program` with `arguments` in `folder` and waits for it; throws std::runtime_error when it
// cannot be started, does not end within `timeoutMs` or ends with a status other than 0.
QByteArray RunHostCommand(const QString& program, const QStringList& arguments, const QString& folder = {},
                          int timeoutMs = 30000);

// The name of a local file or folder as the host's programs know it.
QString HostPath(const QString& path);
