#include "secrets/KeychainSecretStore.h"

#include <qt6keychain/keychain.h>
#include <QTimer>
#include <memory>
#include <utility>

#include "accounts/AccountText.h"
#include "res/Strings.h"

namespace {

constexpr char kService[] = "quillpost";

QString KeyText(const SecretKey& key) {
    return DisplayText(key.user) + QLatin1Char('@') + DisplayText(key.server);
}

SecretOutcome Failure(const QString& reason) {
    return {SecretOutcome::Result::Failed, {}, reason};
}

SecretOutcome Ended(QKeychain::Job& job) {
    if (job.error() == QKeychain::NoError) {
        return {};
    }
    if (job.error() == QKeychain::EntryNotFound) {
        return {SecretOutcome::Result::NotFound, {}, job.errorString()};
    }
    return Failure(job.errorString());
}

SecretOutcome Loaded(QKeychain::Job& job) {
    SecretOutcome outcome = Ended(job);
    if (outcome.Ok()) {
        const QByteArray secret = static_cast<QKeychain::ReadPasswordJob&>(job).binaryData();
        outcome.secret.assign(secret.constData(), static_cast<std::size_t>(secret.size()));
    }
    return outcome;
}

SecretOutcome Removed(QKeychain::Job& job) {
    SecretOutcome outcome = Ended(job);
    return outcome.result == SecretOutcome::Result::NotFound ? SecretOutcome{} : outcome;
}

}  // namespace

CKeychainSecretStore::CKeychainSecretStore(std::chrono::milliseconds jobLimit, QObject* parent)
    : QObject(parent), m_jobLimit(jobLimit) {}

void CKeychainSecretStore::Store(const SecretKey& key, const std::string& secret, Done done) {
    // The Secret Service keeps a text secret and a binary one for the same key as two items, and a
    // read may find either: the old item goes first. The library runs its jobs in order.
    auto* old = new QKeychain::DeletePasswordJob(kService);
    old->setKey(KeyText(key));
    old->start();
    auto* job = new QKeychain::WritePasswordJob(kService);
    const QByteArray bytes(secret.data(), static_cast<qsizetype>(secret.size()));
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes) {
        job->setTextData(text);
    } else {
        job->setBinaryData(bytes);  // only UTF-8 can be kept as text and come back byte for byte
    }
    Run(job, key, std::move(done), &Ended);
}

void CKeychainSecretStore::Load(const SecretKey& key, Done done) {
    Run(new QKeychain::ReadPasswordJob(kService), key, std::move(done), &Loaded);
}

void CKeychainSecretStore::Remove(const SecretKey& key, Done done) {
    Run(new QKeychain::DeletePasswordJob(kService), key, std::move(done), &Removed);
}

void CKeychainSecretStore::Run(QKeychain::Job* job, const SecretKey& key, Done done, Read read) {
    job->setKey(KeyText(key));
    job->setInsecureFallback(false);
    job->setAutoDelete(true);
    // Whichever comes first ends the job for us: the library's answer or our limit. The library
    // cannot cancel a job, so a late answer is dropped.
    auto ended = std::make_shared<bool>(false);
    auto* limit = new QTimer(this);
    limit->setSingleShot(true);
    const auto finish = [ended, limit, done = std::move(done)](const SecretOutcome& outcome) {
        if (std::exchange(*ended, true)) {
            return;
        }
        limit->deleteLater();
        done(outcome);
    };
    const QString late = Str::Text(Str::kKeyringTimedOut).arg(m_jobLimit.count() / 1000.0);
    connect(limit, &QTimer::timeout, this, [finish, late] { finish(Failure(late)); });
    connect(job, &QKeychain::Job::finished, this,
            [finish, read](QKeychain::Job* ended) { finish(read(*ended)); });
    limit->start(m_jobLimit);
    job->start();
}
