// What every Linux host does the same way, whatever the window system: a failure is one line on stderr
// and status 1; SIGINT and SIGTERM end the program with status 0, read from a descriptor in the wait; the
// wait itself is one poll on the display's connection and that descriptor until the next deadline.
#pragma once

#include "host/failure.hpp"

#include <string_view>
#include <utility>

namespace zarvo::lnx {

// Writes "zarvo1: <line>" on stderr.
void report(std::string_view line);

// A broken connection or a refused request: the line, then status 1 at once. No destructor runs and nothing
// more is asked of the display server.
[[noreturn]] void fail(std::string_view line);

// A display server gone shows as a broken connection, not as SIGPIPE.
void ignoreBrokenPipes();

// The picture is the one large allocation, and it follows the window's size. With a fixed threshold every
// picture larger than 128 kB lives in a mapping of its own that goes back to the system when it is freed.
// Left to itself the C library raises the threshold after freeing the first large picture, and later ones
// come from the heap, where a freed picture can stay resident for the rest of the run. Each Linux entry
// sets it once, first, for whichever host it runs.
void mapLargePicturesApart();

// Runs a host's window and returns its status; a failure that escapes it is reported in one line and the
// status is 1.
template <class Body>
int runHost(Body&& body)
{
    ignoreBrokenPipes();
    return runReportingFailure(std::forward<Body>(body), [](const Failure& f) { report(f.line()); });
}

// The wait of a host's loop. SIGINT and SIGTERM are blocked from its making on and read from a descriptor
// the wait watches, unless the program came with one ignored (a background job, nohup): that one stays so.
class EventWait {
public:
    enum class Wake {
        timeout,     // the deadline passed
        connection,  // the display's connection has something to read
        quit         // SIGINT or SIGTERM came: the program ends with status 0
    };

    EventWait();
    ~EventWait();
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;
    EventWait(EventWait&&) = delete;
    EventWait& operator=(EventWait&&) = delete;

    // Waits until the connection's descriptor can be read, a quit signal is pending or timeoutMs have passed
    // (a negative time: no deadline; a negative descriptor: the connection is not watched). A quit signal
    // comes first.
    Wake wait(int connection, int timeoutMs) const;

private:
    int signals_;  // the signalfd of the quit signals not ignored
};

}  // namespace zarvo::lnx
