// Times an IMAP check beside a POP3 check against the same dovecot (plain text and TLS), and beside
// curl asking the same STATUS over imaps://.
//
// Usage: imap_bench [rounds]   (prints a Markdown table)
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/ProbeTiming.h"
#include "tests/servers/DovecotServer.h"

namespace {

const std::string kUser = "alice";
const std::string kPassword = "secret";
constexpr int kMessages = 3;

// One check as the program makes it; milliseconds.
double TimeCheck(const std::string& server, const ProbeOptions& options) {
    return TimeProbe(kUser, kPassword, server, options, kMessages);
}

// curl's own STATUS request, its process start included.
double TimeCurl(const DovecotServer& dovecot) {
    QElapsedTimer clock;
    clock.start();
    QProcess curl;
    curl.start("curl", {"-sS", "--cacert", dovecot.Certificate().certificateFile, "--user",
                        QString::fromStdString(kUser + ":" + kPassword),
                        "imaps://127.0.0.1:" + QString::number(dovecot.ImapsPort()) + "/INBOX", "-X",
                        "STATUS INBOX (UNSEEN)"});
    if (!curl.waitForFinished(10000) || curl.exitCode() != 0) {
        throw std::runtime_error("curl failed: " + curl.readAllStandardError().toStdString());
    }
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (!curl.readAllStandardOutput().contains("UNSEEN " + QByteArray::number(kMessages))) {
        throw std::runtime_error("curl read no count");
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    DovecotServer dovecot({{kUser, kPassword}});
    dovecot.SetMessageCount(kUser, kMessages);
    const auto at = [](const char* scheme, quint16 port) {
        return std::string(scheme) + "127.0.0.1:" + std::to_string(port);
    };
    const std::string pop3 = at("", dovecot.Pop3Port());
    const std::string pop3s = at("pop3s://", dovecot.Pop3sPort());
    const std::string imap = at("imap://", dovecot.ImapPort());
    const std::string imaps = at("imaps://", dovecot.ImapsPort());
    const std::string imapStartTls = at("imap+starttls://", dovecot.ImapPort());
    ProbeOptions options;
    options.extraCaCertificates = {dovecot.Certificate().certificate};

    struct Kind {
        const char* what;
        std::function<double()> run;
        std::vector<double> times;
    };
    std::vector<Kind> kinds{
        {"POP3 check, plain (USER, PASS, STAT, QUIT)", [&] { return TimeCheck(pop3, options); }, {}},
        {"IMAP check, plain (imap://)", [&] { return TimeCheck(imap, options); }, {}},
        {"POP3 check over TLS (pop3s://)", [&] { return TimeCheck(pop3s, options); }, {}},
        {"IMAP check over TLS (imaps://)", [&] { return TimeCheck(imaps, options); }, {}},
        {"IMAP check with STARTTLS (imap+starttls://)", [&] { return TimeCheck(imapStartTls, options); }, {}},
        {"curl imaps://…/INBOX -X 'STATUS INBOX (UNSEEN)' (process included)",
         [&] { return TimeCurl(dovecot); },
         {}},
    };
    // Warm up: the TLS back end, dovecot's index files, curl's binary in the page cache.
    for (int i = 0; i < 5; ++i) {
        for (Kind& kind : kinds) {
            kind.run();
        }
    }
    for (int i = 0; i < rounds; ++i) {
        // Rotate the order so that none of them always follows the same one.
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            Kind& kind = kinds[(static_cast<std::size_t>(i) + k) % kinds.size()];
            kind.times.push_back(kind.run());
        }
    }
    const double pop3Median = Median(kinds[0].times);
    const double pop3sMedian = Median(kinds[2].times);
    std::printf("| Run (median of %d, ms) | Time | / POP3 check alike |\n|---|---|---|\n", rounds);
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        // Plain text beside plain text, TLS beside TLS.
        const double pop3Alike = k < 2 ? pop3Median : pop3sMedian;
        std::printf("| %s | %.2f | %.2f |\n", kinds[k].what, Median(kinds[k].times),
                    Median(kinds[k].times) / pop3Alike);
    }
    std::printf("\nIMAP check over TLS / curl: %.2f\n", Median(kinds[3].times) / Median(kinds[5].times));
    return 0;
}
