// The floor for a program that wakes every 50 ms: a loop that only sleeps to the next 50 ms deadline on the
// monotonic clock and does nothing else. The measurement script runs it beside the program for comparison.
// Usage: zarvo1-bare-sleep [SECONDS]   (runs until killed without an argument)
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    constexpr long kTickNs = 50'000'000;
    constexpr long kSecondNs = 1'000'000'000;
    const long ticks = argc > 1 ? std::strtol(argv[1], nullptr, 10) * (kSecondNs / kTickNs) : -1;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long n = 0; ticks < 0 || n < ticks; ++n) {
        next.tv_nsec += kTickNs;
        if (next.tv_nsec >= kSecondNs) {
            next.tv_nsec -= kSecondNs;
            ++next.tv_sec;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
            // interrupted by a signal: sleep on to the same deadline
        }
    }
    return 0;
}
