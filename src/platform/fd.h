#pragma once
// A file descriptor that closes with its scope, and the system's text for an errno value.

#include <QString>
#include <cstring>
#include <unistd.h>

namespace kx {

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

inline QString systemErrorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace kx
