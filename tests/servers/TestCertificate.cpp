#include "tests/servers/TestCertificate.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

#include "tests/servers/HostCommand.h"

namespace {

void RunOpenssl(const QString& workingFolder, const QStringList& arguments) {
    RunHostCommand("openssl", arguments, workingFolder);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

// openssl 3.0's "req -x509" only makes certificates valid from now on; "ca -selfsign" takes any
// dates.
void MakeExpired(const QString& folder, const QString& name, const QString& subject, const QString& altName) {
    const QString caFolder = folder + "/" + name + "-ca";
    QDir().mkpath(caFolder);
    WriteFile(caFolder + "/index.txt", {});
    WriteFile(caFolder + "/serial", "01\n");
    WriteFile(caFolder + "/ca.cnf",
              "[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nserial = serial\nnew_certs_dir = .\n"
              "default_md = sha256\npolicy = p\ncopy_extensions = copy\n[p]\ncommonName = supplied\n");
    const QString key = HostPath(folder + "/" + name + ".key");
    RunOpenssl(caFolder, {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", "request.csr",
                          "-subj", subject, "-addext", "subjectAltName=" + altName});
    RunOpenssl(caFolder, {"ca", "-batch", "-config", "ca.cnf", "-selfsign", "-keyfile", key, "-in",
                          "request.csr", "-startdate", "20200101000000Z", "-enddate", "20210101000000Z",
                          "-notext", "-out", HostPath(folder + "/" + name + ".pem")});
}

}  // namespace

TestCertificate MakeTestCertificate(const QString& folder, const QString& name, const QString& commonName,
                                    const QString& subjectAltName, CertificateValidity validity) {
    const QString subject = "/CN=" + commonName;
    TestCertificate made{folder + "/" + name + ".pem", folder + "/" + name + ".key", QSslCertificate(),
                         QSslKey()};
    if (validity == CertificateValidity::Expired) {
        MakeExpired(folder, name, subject, subjectAltName);
    } else {
        RunOpenssl(folder, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                            HostPath(made.keyFile), "-out", HostPath(made.certificateFile), "-days", "3650",
                            "-subj", subject, "-addext", "subjectAltName=" + subjectAltName});
    }
    // Servers that drop privileges must still read them.
    QFile::setPermissions(made.keyFile,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    made.certificate = QSslCertificate(ReadFile(made.certificateFile), QSsl::Pem);
    made.key = QSslKey(ReadFile(made.keyFile), QSsl::Rsa, QSsl::Pem);
    if (made.certificate.isNull() || made.key.isNull()) {
        throw std::runtime_error("openssl made an unreadable certificate " + name.toStdString());
    }
    return made;
}

TestCertificate MakeLoopbackCertificate(const QString& folder, const QString& name) {
    return MakeTestCertificate(folder, name, "localhost", "IP:127.0.0.1,IP:::1,DNS:localhost");
}
