// Times one probe against a local dovecot beside a minimal blocking client and curl, over TLS and
// upgraded with STLS, and by a name whose first address is black-holed; and measures the longest
// the event loop stalls while probes run.
//
// Usage: probe_bench [rounds]   (prints a Markdown table)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/ProbeTiming.h"
#include "protocol/pop3/Pop3Probe.h"
#include "tests/servers/BlackHoleListener.h"
#include "tests/servers/DovecotServer.h"

namespace {

const std::string kUser = "alice";
const std::string kPassword = "secret";
constexpr int kMessages = 3;

double TimeProbe(const std::string& server, const ProbeOptions& options, int expected) {
    return TimeProbe(kUser, kPassword, server, options, expected);
}

// Reads one reply line the simplest way: byte after byte up to "\n".
std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (::recv(fd, &c, 1, 0) == 1 && c != '\n') {
        line.push_back(c);
    }
    return line;
}

// The same four commands over a blocking socket, nothing else.
double TimeMinimalClient(quint16 port, int expected) {
    QElapsedTimer clock;
    clock.start();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("minimal client cannot connect");
    }
    ReadLine(fd);
    std::string stat;
    for (const std::string& command : {"USER " + kUser, "PASS " + kPassword, std::string("STAT")}) {
        const std::string bytes = command + "\r\n";
        ::send(fd, bytes.data(), bytes.size(), 0);
        stat = ReadLine(fd);
    }
    ::send(fd, "QUIT\r\n", 6, 0);
    ::close(fd);
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    int count = -1;
    std::sscanf(stat.c_str(), "+OK %d", &count);
    if (count != expected) {
        throw std::runtime_error("minimal client read " + stat);
    }
    return ms;
}

double TimeCurl(quint16 port) {
    QElapsedTimer clock;
    clock.start();
    QProcess curl;
    curl.start("curl", {"-s", "-u", QString::fromStdString(kUser + ":" + kPassword), "-X", "STAT", "-I",
                        "pop3://127.0.0.1:" + QString::number(port) + "/"});
    if (!curl.waitForFinished(10000) || curl.exitCode() != 0) {
        throw std::runtime_error("curl failed");
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The longest gap between two turns of the event loop while some work runs to completion: as
// wall time (what the user sees, including time the thread was not given a CPU on a busy machine)
// and as CPU time the thread spent in between (what the code itself holds the loop for).
struct Stall {
    double wallMs = 0;
    double cpuMs = 0;
};

Stall MeasureStall(const std::function<void(std::function<void()>)>& work) {
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(0);
    QElapsedTimer sinceLast;
    double cpuAtLast = ThreadCpuMs();
    Stall longest;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double cpu = ThreadCpuMs();
        longest.wallMs = std::max(longest.wallMs, static_cast<double>(sinceLast.nsecsElapsed()) / 1e6);
        longest.cpuMs = std::max(longest.cpuMs, cpu - cpuAtLast);
        sinceLast.restart();
        cpuAtLast = cpu;
    });
    sinceLast.start();
    tick.start();
    QTimer::singleShot(0, [&] { work([&] { loop.quit(); }); });
    loop.exec();
    return longest;
}

// A listening socket nobody accepts from: the kernel completes the connection and then nothing
// is ever said.
class SilentListener {
public:
    SilentListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_fd, 16) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("silent listener");
        }
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(m_fd); }
    quint16 Port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

// Starts `count` probes at once and calls `finished` when all have reported.
void RunTogether(std::vector<std::unique_ptr<CPop3Probe>>& probes, int count, const std::string& server,
                 const ProbeOptions& options, std::function<void()> finished) {
    auto left = std::make_shared<int>(count);
    for (int i = 0; i < count; ++i) {
        probes.push_back(ProbeMailbox(
            kUser, kPassword, server,
            [left, finished](const ProbeOutcome&) {
                if (--*left == 0) {
                    finished();
                }
            },
            options));
    }
}

Stall StallOf(int count, const std::string& server, const ProbeOptions& options) {
    std::vector<std::unique_ptr<CPop3Probe>> probes;
    return MeasureStall(
        [&](std::function<void()> done) { RunTogether(probes, count, server, options, done); });
}

// One after another, as the scheduler runs them.
Stall StallOfSequence(int count, const std::string& server, const ProbeOptions& options) {
    std::unique_ptr<CPop3Probe> probe;
    std::function<void()> allDone;
    std::function<void(const ProbeOutcome&)> next;
    int left = count;
    next = [&](const ProbeOutcome&) {
        if (--left == 0) {
            QTimer::singleShot(0, allDone);
            return;
        }
        // The finished probe is replaced outside its own report.
        QTimer::singleShot(0, [&] { probe = ProbeMailbox(kUser, kPassword, server, next, options); });
    };
    return MeasureStall([&](std::function<void()> done) {
        allDone = std::move(done);
        probe = ProbeMailbox(kUser, kPassword, server, next, options);
    });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    DovecotServer dovecot({{kUser, kPassword}});
    dovecot.SetMessageCount(kUser, kMessages);
    const std::string plain = "127.0.0.1:" + std::to_string(dovecot.Pop3Port());
    const std::string tls = "pop3s://127.0.0.1:" + std::to_string(dovecot.Pop3sPort());
    const std::string stls = "pop3+starttls://127.0.0.1:" + std::to_string(dovecot.Pop3Port());
    ProbeOptions options;
    options.extraCaCertificates = {dovecot.Certificate().certificate};

    // The first TLS probe loads the TLS back end; its stall is reported on its own.
    const Stall coldTlsStall = StallOf(1, tls, options);

    for (int i = 0; i < 5; ++i) {
        TimeProbe(plain, options, kMessages);
        TimeMinimalClient(dovecot.Pop3Port(), kMessages);
        TimeCurl(dovecot.Pop3Port());
    }
    std::vector<double> probe, minimal, curl, probeTls, probeStls;
    for (int i = 0; i < rounds; ++i) {
        // Rotate the order so that none of them always follows the same one.
        const std::function<void()> runs[] = {
            [&] { probe.push_back(TimeProbe(plain, options, kMessages)); },
            [&] { minimal.push_back(TimeMinimalClient(dovecot.Pop3Port(), kMessages)); },
            [&] { curl.push_back(TimeCurl(dovecot.Pop3Port())); },
            [&] { probeTls.push_back(TimeProbe(tls, options, kMessages)); },
            [&] { probeStls.push_back(TimeProbe(stls, options, kMessages)); },
        };
        const int kinds = static_cast<int>(std::size(runs));
        for (int k = 0; k < kinds; ++k) {
            runs[(i + k) % kinds]();
        }
    }

    // A name whose first address drops every connection request and whose second is dovecot's.
    const BlackHoleListener blackHole(QHostAddress("127.0.0.2"), dovecot.Pop3Port());
    ProbeOptions raceOptions = options;
    raceOptions.resolve = [](const QString&) {
        return QList<QHostAddress>{QHostAddress("127.0.0.2"), QHostAddress(QHostAddress::LocalHost)};
    };
    const std::string raced = "mail.test:" + std::to_string(dovecot.Pop3Port());
    std::vector<double> probeRaced, probeDirect;
    for (int i = 0; i < std::max(1, rounds / 10); ++i) {
        probeRaced.push_back(TimeProbe(raced, raceOptions, kMessages));
        probeDirect.push_back(TimeProbe(plain, options, kMessages));
    }

    ProbeOptions silentOptions = options;
    silentOptions.idleTimeout = std::chrono::milliseconds(300);
    SilentListener silent;
    const std::string silentServer = "127.0.0.1:" + std::to_string(silent.Port());
    const Stall stallPlain = StallOfSequence(50, plain, options);
    const Stall stallTls = StallOfSequence(50, tls, options);
    const Stall stallTogether = StallOf(10, plain, options);
    const Stall stallSilent = StallOf(10, silentServer, silentOptions);
    const Stall stallLookup = StallOf(10, "localhost:" + std::to_string(dovecot.Pop3Port()), options);

    const double mProbe = Median(probe), mMinimal = Median(minimal), mCurl = Median(curl),
                 mTls = Median(probeTls), mStls = Median(probeStls);
    std::printf("| Run (median of %d, ms) | Time | Probe / it |\n|---|---|---|\n", rounds);
    std::printf("| probe, plain POP3 | %.2f | 1.00 |\n", mProbe);
    std::printf("| minimal blocking client, same 4 commands | %.2f | %.2f |\n", mMinimal, mProbe / mMinimal);
    std::printf("| curl -X STAT -I pop3:// (process included) | %.2f | %.2f |\n", mCurl, mProbe / mCurl);
    std::printf("| probe, POP3 over TLS (pop3s) | %.2f | %.2f |\n", mTls, mProbe / mTls);
    std::printf("| probe, POP3 upgraded with STLS (pop3+starttls) | %.2f | %.2f |\n\n", mStls,
                mProbe / mStls);
    std::printf("| Name with a black-holed first address (median of %zu, ms) | Time |\n|---|---|\n",
                probeRaced.size());
    std::printf("| whole probe by the name, first address black-holed | %.2f |\n", Median(probeRaced));
    std::printf("| whole probe to the working address directly, same rounds | %.2f |\n", Median(probeDirect));
    std::printf("| time to the working second address (difference) | %.2f |\n\n",
                Median(probeRaced) - Median(probeDirect));
    std::printf("| Longest event-loop stall while probes run | wall ms | on-CPU ms |\n|---|---|---|\n");
    const auto row = [](const char* what, const Stall& stall) {
        std::printf("| %s | %.2f | %.2f |\n", what, stall.wallMs, stall.cpuMs);
    };
    row("50 plain probes one after another", stallPlain);
    row("50 TLS probes one after another", stallTls);
    row("10 plain probes at once", stallTogether);
    row("10 probes at once, silent server (idle limit 300 ms)", stallSilent);
    row("10 probes at once by name (localhost)", stallLookup);
    row("first TLS probe of the process (loads the TLS back end)", coldTlsStall);
    return 0;
}
