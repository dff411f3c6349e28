// The run-time error path every host shares: what ended the program, in the words it is reported with,
// and a guard that turns an exception escaping the host's run into that report and status 1.
#pragma once

#include <string>

namespace zarvo {

struct Failure {
    enum class Kind { runtimeError, outOfMemory, unexpected };
    Kind kind = Kind::unexpected;
    std::string what;  // the exception's own text; "unknown error" when it has none

    // One line: "run-time error: ...", "out of memory: ..." or "unexpected failure: ...".
    std::string line() const;
};

// The failure being handled: call it inside a catch block only.
Failure currentFailure();

// Runs body (the host's window and its loop) and returns its status; an exception that escapes it is handed
// to report as a Failure, and the status is then 1.
template <class Body, class Report>
int runReportingFailure(Body&& body, Report&& report)
{
    try {
        return body();
    } catch (...) {
        report(currentFailure());
    }
    return 1;
}

}  // namespace zarvo
