#include "VirtualDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace hlvtest {

namespace {
constexpr int kStartTimeoutMs = 20000;   // a loaded machine can be slow to bring a server up
}

VirtualDisplay::VirtualDisplay() {
    int fds[2];
    if (pipe(fds) != 0) {
        why_ = "cannot make a pipe for Xvfb";
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        // Xvfb picks a free display and writes its number to the pipe.
        close(fds[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM);   // a test that crashes takes its server with it
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd wait = {fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, kStartTimeoutMs) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (pid_ > 0 && !number.empty() && c == '\n') {
        name_ = ":" + number;
        return;
    }
    // A server that did not come up is stopped with the object all the same.
    why_ = "no virtual X display: Xvfb is not installed or did not start (package xvfb)";
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

VirtualDisplay& VirtualDisplay::shared() {
    static VirtualDisplay display;
    static const bool pointed = display.ok() && setenv("DISPLAY", display.name().c_str(), 1) == 0;
    (void)pointed;
    return display;
}

}  // namespace hlvtest
