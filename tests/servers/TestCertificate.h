#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// A self-signed certificate and its key, made with openssl for one test run.
struct TestCertificate {
    QString certificateFile;
    QString keyFile;
    QSslCertificate certificate;
    QSslKey key;
};

enum class CertificateValidity { Current, Expired };

// Makes "<name>.pem" and "<name>.key" in `folder` for `commonName`, with `subjectAltName` (openssl
// syntax, e.g. "IP:127.0.0.1,DNS:localhost"). An expired one was valid during 2020 only. Throws
// std::runtime_error when openssl fails.
TestCertificate MakeTestCertificate(const QString& folder, const QString& name, const QString& commonName,
                                    const QString& subjectAltName,
                                    CertificateValidity validity = CertificateValidity::Current);

// The certificate a server on loopback is expected to show: CN=localhost, valid for 127.0.0.1,
// ::1 and localhost.
TestCertificate MakeLoopbackCertificate(const QString& folder, const QString& name);
