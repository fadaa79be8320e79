#include "protocol/TlsSettings.h"

#include <QSslConfiguration>
#include <QSslSocket>

void ConfigureTls(QSslSocket* socket, const QString& peerName,
                  const QList<QSslCertificate>& extraCaCertificates) {
    QSslConfiguration config = socket->sslConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Whatever the library or the program-wide default would allow.
    config.setProtocol(QSsl::TlsV1_2OrLater);
    if (!extraCaCertificates.isEmpty()) {
        config.addCaCertificates(extraCaCertificates);
    }
    socket->setSslConfiguration(config);
    // The connection is made to an address; the certificate must carry the name.
    socket->setPeerVerifyName(peerName);
}
