// Tests of the console-interrupt handler and the platform's interrupt calls.
#include "driver/interrupt.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "common/globals.h"
#include "platform/platform.h"

namespace {

volatile std::sig_atomic_t interruptsSeen;

void countInterrupt(int) { ++interruptsSeen; }

TEST(Interrupt, IgnoredOnceTheHandlerHasStarted) {
    interruptsSeen = 0;
    installInterruptHandler(countInterrupt);
    raise(SIGINT);
    EXPECT_EQ(interruptsSeen, 1);
    ignoreInterrupt();
    raise(SIGINT);
    EXPECT_EQ(interruptsSeen, 1);
    signal(SIGINT, SIG_DFL);
}

// The handler ends the process, so it runs in a child whose output comes back through a pipe.
TEST(Interrupt, WritesANewLineClosesTheDescriptorsAndEndsWithFour) {
    int output[2], held[2];
    ASSERT_EQ(pipe(output), 0);
    ASSERT_EQ(pipe(held), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(output[1], 1);
        close(output[0]);
        close(output[1]);
        close(held[0]);
        initGlobals();
        openDescriptors[OutputSlot] = held[1];
        onInterrupt(SIGINT);
        _exit(99);
    }
    close(output[1]);
    close(held[1]);
    std::string text;
    char buffer[64];
    ssize_t got;
    while ((got = read(output[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, got);
    close(output[0]);
    // The write end of `held` was the child's last; end of file proves it closed.
    EXPECT_EQ(read(held[0], buffer, sizeof buffer), 0);
    close(held[0]);
    int status;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
    EXPECT_EQ(text, "\n");
}

}  // namespace
