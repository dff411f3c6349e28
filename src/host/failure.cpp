// What ended the program, and its one-line report.
#include "host/failure.hpp"

#include "core/runtime.hpp"

#include <exception>
#include <new>

namespace zarvo {

std::string Failure::line() const
{
    switch (kind) {
    case Kind::runtimeError: return "run-time error: " + what;
    case Kind::outOfMemory:
        return "out of memory: the window's picture needs more memory than the system gives the program";
    case Kind::unexpected: break;
    }
    return "unexpected failure: " + what;
}

Failure currentFailure()
{
    const auto textOf = [](const std::exception& e) {
        const std::string what = e.what();
        return what.empty() ? std::string("unknown error") : what;
    };
    try {
        throw;
    } catch (const RuntimeError& e) {
        return Failure{Failure::Kind::runtimeError, textOf(e)};
    } catch (const std::bad_alloc& e) {
        return Failure{Failure::Kind::outOfMemory, textOf(e)};
    } catch (const std::exception& e) {
        return Failure{Failure::Kind::unexpected, textOf(e)};
    } catch (...) {
        return Failure{Failure::Kind::unexpected, "unknown error"};
    }
}

}  // namespace zarvo
