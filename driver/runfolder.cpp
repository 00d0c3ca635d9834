// The run's hold on the current folder: its lock, and what a run cut short left there.
#include "driver/runfolder.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "common/cleanup.h"
#include "common/messages.h"
#include "platform/platform.h"

namespace {
bool lockTaken = false;
}

void takeFolderLock() {
    if (lockTaken)
        return;
    lockTaken = true;
    FolderLock lock = lockWorkingFolder();
    if (lock == FolderLockUnsupported) {
        reportCause("this folder's file system has no locks: a second run here at the same time would share its files");
        return;
    }
    if (lock != FolderLockRefused)
        return;
    int reason = errno;
    reportError(ErrorFolderNotLockable, nullptr);
    // The system's reason where it gives one in errno (Windows does not).
    std::string cause = "the folder cannot be opened for its lock";
    if (reason != 0)
        cause += std::string(": ") + strerror(reason);
    reportCause(cause.c_str());
    fatalExit(ExitResource);
}

void refuseLeftoverOldText() {
    std::string owner;
    if (!findLeftoverOldText(owner))
        return;
    reportError(ErrorOldTextLeft, owner.empty() ? "(a file not recorded)" : owner.c_str());
    fatalExit(ExitSource);
}
