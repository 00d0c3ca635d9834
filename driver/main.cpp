// Program entry: runs the tool and turns an exit request into the process status.
#include "driver/cleanup.h"
#include "driver/startup.h"

int main(int argc, char** argv) {
    try {
        return runKelvad(argc, argv);
    } catch (const ExitRequest& request) {
        return request.status;
    }
}
