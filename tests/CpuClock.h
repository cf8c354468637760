#pragma once

#include <ctime>

// The time this thread has spent running, in milliseconds. Guards against a hang are measured
// with it rather than the wall clock, which other work on a shared machine stretches.
class CpuClock {
public:
    void start() { m_start = now(); }
    void restart() { m_start = now(); }
    long long elapsed() const { return now() - m_start; }

private:
    static long long now()
    {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
    }
    long long m_start { now() };
};
