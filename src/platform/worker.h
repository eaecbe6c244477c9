#pragma once
// A thread for work that may get stuck in the kernel: a read from a share whose server has gone,
// a folder listing on a disk that sleeps. Its owner waits for it with a limit and, past that,
// leaves it behind instead of hanging with it. A worker left behind keeps whatever its body uses:
// the owner hands over, with abandon(), what is to happen once the body returns after all.

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace kx {

class Worker
{
public:
    Worker() = default;
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;
    // Waits for the body without limit unless the worker was left behind.
    ~Worker();

    // Runs `body` on a thread of its own; later calls do nothing.
    void start(std::function<void()> body);
    bool started() const { return bool(m_state); }
    // Waits until the body has returned, `timeout` at most; true when it has (or it never
    // started). Never true for a worker left behind.
    bool wait(std::chrono::milliseconds timeout);
    // Waits without limit (nothing when left behind).
    void join();
    // Leaves the thread to itself when its body is still at work: `afterReturn` runs on that
    // thread should the body return after all. Returns false (and has waited for the thread) when
    // the body had already returned: nothing was left behind.
    bool abandon(std::function<void()> afterReturn = {});
    bool abandoned() const { return m_abandoned; }

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
    bool m_abandoned = false;
};

// Workers left behind in this process so far. Once there is one, the process must not run its
// static destructors at its end (the worker may still use what they destroy): it ends with
// std::_Exit after its own orderly steps.
int abandonedWorkers();

} // namespace kx
