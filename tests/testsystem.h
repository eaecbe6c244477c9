#pragma once
// Test helpers that reach into the system: small and read-only mounts (root only), a call that
// might wait for ever in a pipe, and poorly compressible bytes.

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <exception>
#include <fcntl.h>
#include <future>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

namespace kxtest {

// A small tmpfs over a temporary folder, for as long as this lives (root only).
struct SmallFileSystem {
    QTemporaryDir dir;
    bool mounted = false;
    explicit SmallFileSystem(const char *size)
    {
        const QByteArray options = QByteArray("size=") + size;
        mounted = dir.isValid()
                  && ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
};

// A file or folder made read-only by mounting it over itself, for as long as this lives (root
// only). Mode bits would not stop root; a read-only mount does.
struct ReadOnlyMount {
    QByteArray path;
    bool mounted = false;
    explicit ReadOnlyMount(const QString &target) : path(QFile::encodeName(target))
    {
        if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
            return;
        if (::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            ::umount(path.constData());
            return;
        }
        mounted = true;
    }
    ~ReadOnlyMount()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
};

// Runs `call` on a thread of its own. A call still waiting after a generous time is stuck in
// the pipe: opening the pipe's other end frees it, so a regression fails the test instead of
// hanging it.
template<class Call>
bool returnsPromptly(Call call, const QString &pipe)
{
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread runner([&] {
        try {
            call();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    bool prompt = finished.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!prompt) {
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        if (finished.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
            qFatal("a call stuck in a pipe did not return even once the pipe was opened");
    }
    runner.join();
    finished.get();
    return prompt;
}

// Poorly compressible bytes, the same for the same seed.
inline QByteArray noise(int size, quint32 seed = 7)
{
    QRandomGenerator gen(seed);
    QByteArray b(size, Qt::Uninitialized);
    for (char &c : b)
        c = char(gen.bounded(256));
    return b;
}

} // namespace kxtest
