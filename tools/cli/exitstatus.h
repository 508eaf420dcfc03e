#pragma once

// What quorvane-cli's exit status says: one name for each meaning, as its help
// text and the README list them.
namespace cli::status {

inline constexpr int Success = 0;
inline constexpr int Refused = 1;     // a value refused, a reply rejected
inline constexpr int Usage = 2;
inline constexpr int NoReply = 3;     // no reply; for scan, no meter
inline constexpr int PortFailed = 4;
inline constexpr int Unverified = 5;  // a change acknowledged, not verified
// poll: some readings failed, but every meter answered at least once; a meter
// that never answered is NoReply.
inline constexpr int PartlyAnswered = 6;
inline constexpr int Interrupted = 130; // Ctrl+C or SIGTERM
inline constexpr int ReaderGone = 141;  // SIGPIPE: the reader of the output went away

// Of two lines' statuses, the one the run ends with: a port failure, then a
// stop by a signal, then the first other failure.
constexpr int Worse(int current, int next)
{
    if (current == PortFailed || next == Success)
        return current;
    if (next == PortFailed || current == Success)
        return next;
    return current >= Interrupted ? current : next >= Interrupted ? next : current;
}

} // namespace cli::status
