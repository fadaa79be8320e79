#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

class QSslSocket;

// What every TLS connection to a mail server holds to: the peer verified against the system's
// authorities (plus `extraCaCertificates`) under the name the user gave, and TLS 1.2 at least.
void ConfigureTls(QSslSocket* socket, const QString& peerName,
                  const QList<QSslCertificate>& extraCaCertificates);
