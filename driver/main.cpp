// Program entry: runs the tool and turns an exit request into the process status.
#include <new>

#include "common/cleanup.h"
#include "driver/startup.h"

int main(int argc, char** argv) {
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
