// Saves a list of accounts over ACCOUNT.CSV once, so that a test can kill it part-way.
//   save_worker PATH COUNT TAG [--fsize-limit=BYTES [--ignore-sigxfsz]]
// Prints "ready" once the list is built, right before the save starts, and "saved" right after it
// returns. Exits 0 when the save reported success, 1 when it reported failure, 2 on bad arguments.
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "accounts/AccountFile.h"
#include "tests/accounts/SaveWorkerLists.h"

namespace {

bool LimitFileSize(const std::string& bytes) {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return false;
    }
    limit.rlim_cur = std::strtoull(bytes.c_str(), nullptr, 10);
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: save_worker PATH COUNT TAG [--fsize-limit=BYTES [--ignore-sigxfsz]]\n");
        return 2;
    }
    const CAccountList list = SaveWorkerList(std::atoi(argv[2]), argv[3]);
    for (int i = 4; i < argc; ++i) {
        const std::string option = argv[i];
        const std::string limitOption = "--fsize-limit=";
        if (option.rfind(limitOption, 0) == 0) {
            if (!LimitFileSize(option.substr(limitOption.size()))) {
                return 2;
            }
        } else if (option == "--ignore-sigxfsz") {
            std::signal(SIGXFSZ, SIG_IGN);
        } else {
            return 2;
        }
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    const bool saved = SaveAccounts(QString::fromLocal8Bit(argv[1]), list);
    std::fputs("saved\n", stdout);
    std::fflush(stdout);
    return saved ? 0 : 1;
}
