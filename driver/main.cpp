// Program entry: runs the tool and turns an exit request into the process status.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "common/cleanup.h"
#include "common/messages.h"
#include "driver/startup.h"

namespace {

// A run that could not write its messages has not succeeded: the last bytes go
// out here, and a failed write anywhere on standard output is a stream problem.
int checkStandardOutput(int status) {
    errno = 0;
    if (fflush(stdout) == 0 && !ferror(stdout))
        return status;
    int reason = errno;
    reportCause((std::string("cannot write standard output") + (reason ? std::string(": ") + strerror(reason) : "")).c_str());
    return status == ExitOk ? ExitResource : status;
}

int runOrExit(int argc, char** argv) {
    try {
        try {
            return runKelvad(argc, argv);
        } catch (const std::bad_alloc&) {
            // Wherever memory ran out, the streams are still open: the fatal clean-up follows.
            fatalOutOfMemory();
        }
    } catch (const ExitRequest& request) {
        return request.status;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return checkStandardOutput(runOrExit(argc, argv));
}
