// A private X server (Xvfb) for tests that need a real display: the setup
// dialog and full-screen mode switches.
#pragma once

#include <string>

#include <sys/types.h>

#include "TestSupport.h"   // HLV_REQUIRE_DEVICE

namespace hlvtest {

class VirtualDisplay {
public:
    static constexpr int kWidth = 1280, kHeight = 1024;   // the one screen mode it offers

    // Starts Xvfb on a free display number; ok() is false when Xvfb is
    // missing or did not come up, and why() says which.
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // The test program's one display, started on first use and pointed at
    // by DISPLAY from then on.
    static VirtualDisplay& shared();

    bool ok() const { return pid_ > 0 && !name_.empty(); }
    const std::string& name() const { return name_; }   // ":N"
    const std::string& why() const { return why_; }

private:
    pid_t       pid_ = -1;   // the server (or the failed start), stopped with the object
    std::string name_;
    std::string why_;
};

// Ends the current test, with the reason, when there is no virtual display
// (a failure when CI is set).
#define HLV_REQUIRE_X(display) HLV_REQUIRE_DEVICE((display).ok(), (display).why())

}  // namespace hlvtest
