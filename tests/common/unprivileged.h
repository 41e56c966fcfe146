#pragma once

#include <unistd.h>

// File permissions do not stop root, and tests often run as root in containers. While an
// instance lives, file access is checked as the unprivileged "nobody" user; when the test already
// runs unprivileged it changes nothing. Folders the test uses must be reachable by others.
class Unprivileged {
public:
    Unprivileged() {
        if (geteuid() == 0)
            m_switched = seteuid(65534) == 0;
    }
    ~Unprivileged() {
        if (m_switched) [[maybe_unused]]
            int rc = seteuid(0);
    }
    // False when the test still runs as root (switching was refused): permissions prove nothing.
    bool effective() const { return geteuid() != 0; }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

private:
    bool m_switched = false;
};
