// Calling a command on the stand-in host, with an allocation failure or an
// interrupt injected if asked, and what every call must satisfy whatever
// it was given. Used by every suite and by the fuzzers.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "model/node_memory.h"
#include "standin.h"

namespace harness {

using standin::ArrayPtr;

// A command as the tests call it: its upper-case name and its entry.
struct Command {
    const char* name;
    standin::MexEntry entry;

    std::string message(const std::string& text) const { return std::string(name) + ": " + text; }
    std::string out_of_memory() const { return message("Not enough memory available; unable to run!"); }
    std::string interrupted() const { return message("Interrupted."); }
};

// What to make go wrong in a call: the k-th host allocation (answered by
// null as MATLAB does, or by an error the host raises as Octave does), the
// k-th node block, or the k-th interrupt poll (k from 1).
struct Injection {
    enum Kind { none, host_null, host_raises, node, interrupt } kind = none;
    long at = 0;
};

// A call's outcome with the node memory it took and left.
struct Result : standin::Outcome {
    long node_allocations = 0;
    std::size_t node_blocks_left = 0;
};

inline Result call(const Command& command, int nlhs, const std::vector<ArrayPtr>& inputs,
                   const Injection& injected = {})
{
    const std::size_t live = tarn::node_memory_live_blocks();
    const long node_before = tarn::node_memory_allocation_count();
    if (injected.kind == Injection::host_null || injected.kind == Injection::host_raises)
        standin::fail_host_allocation_at(injected.at, injected.kind == Injection::host_raises
                                                          ? standin::HostFailure::raised_error
                                                          : standin::HostFailure::null_answer);
    tarn::node_memory_fail_at(injected.kind == Injection::node ? injected.at : 0);
    standin::interrupt_at_poll(injected.kind == Injection::interrupt ? injected.at : 0);
    Result result;
    static_cast<standin::Outcome&>(result) = standin::call(command.entry, nlhs, inputs);
    tarn::node_memory_fail_at(0);
    result.node_allocations = tarn::node_memory_allocation_count() - node_before;
    const std::size_t after = tarn::node_memory_live_blocks();
    result.node_blocks_left = after > live ? after - live : 0;
    return result;
}

// Whether the injected failure or interrupt was reached in the call.
inline bool reached(const Result& result, const Injection& injected)
{
    const long made = injected.kind == Injection::node        ? result.node_allocations
                      : injected.kind == Injection::interrupt ? result.interrupt_polls
                                                              : result.host_allocations;
    return injected.kind != Injection::none && made >= injected.at;
}

// The first breach of what every call must satisfy, or "" when there is
// none: every node block given back, no input written to, no warning (the
// checks leave the conversions nothing to warn about); an injection that
// was reached ends the call as it must (exhausted memory, the host's own
// error, or the interrupted message) and neither ending comes without one;
// any other error names the command in a finished line of text and comes
// before anything is allocated or printed.
inline std::string violation(const Command& command, const Result& result, const Injection& injected = {})
{
    if (result.node_blocks_left != 0)
        return "node blocks left behind";
    if (!result.inputs_unchanged)
        return "an input was written to";
    if (!result.warnings.empty())
        return "warning: " + result.warnings[0];
    const std::string ended = result.raised ? result.error : std::string("success");
    if (reached(result, injected)) {
        const std::string expected = injected.kind == Injection::host_raises ? standin::host_allocation_error
                                     : injected.kind == Injection::interrupt ? command.interrupted()
                                                                             : command.out_of_memory();
        return result.raised && result.error == expected ? "" : "injection reached but the call ended with " + ended;
    }
    if (!result.raised)
        return "";
    if (result.error == command.out_of_memory() || result.error == command.interrupted())
        return "ended with " + ended + " though nothing was injected";
    if (result.error.compare(0, std::strlen(command.name) + 2, command.message("")) != 0)
        return "message without the command's name: " + ended;
    if (result.error.size() >= 200 || result.error.find('%') != std::string::npos)
        return "overlong or unformatted message: " + ended;
    for (char c : result.error)
        if ((c < ' ' || c > '~') && c != '\n')
            return "unprintable message: " + ended;
    if (result.host_allocations != 0 || result.node_allocations != 0 || !result.console.empty())
        return "an argument refused after allocating or printing: " + ended;
    return "";
}

// The console with every work line replaced by a marker (their totals grow
// from call to call).
inline std::string without_work_lines(const std::string& console)
{
    std::string kept;
    std::size_t start = 0;
    while (start < console.size()) {
        std::size_t end = console.find('\n', start);
        end = end == std::string::npos ? console.size() : end + 1;
        const bool work = console.find(" FLOPs and ", start) < end;
        kept += work ? std::string("<work>\n") : console.substr(start, end - start);
        start = end;
    }
    return kept;
}

// The closing line of both reports.
inline std::string work_line(unsigned long long flops, unsigned long long comparisons, int seconds = 0)
{
    return std::to_string(flops) + " FLOPs and " + std::to_string(comparisons) + " comparisons in " +
           std::to_string(seconds) + " seconds\n\n";
}

// An array no matrix test accepts.
inline ArrayPtr three_dimensional()
{
    return standin::make_array(mxDOUBLE_CLASS, {1, 1, 2}, {0, 0});
}

// Every output of a call, as values (empty for an empty slot).
inline std::vector<std::vector<double>> outputs_of(const standin::Outcome& outcome)
{
    std::vector<std::vector<double>> values;
    for (const auto& out : outcome.outputs)
        values.push_back(out ? standin::values_of(out.get()) : std::vector<double>{});
    return values;
}

// Bitwise equality of doubles and of double arrays (so NaN equals the same
// NaN).
inline bool same_bits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool same_bits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

}  // namespace harness
