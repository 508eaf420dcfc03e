#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reading meters over and over: what each reading came to, counted per meter,
// and what the counts say of the whole poll. Plain C++, so that a window can
// keep the same counters as the command line.
namespace commissioning {

// What one reading came to, judged as the window judges a reply.
enum class Reading {
    Answered,
    Timeout,
    BadCrc,
    Exception,    // a whole exception frame from the meter
    WrongAddress, // a frame from another slave: a late reply, or an address clash
    Rejected,     // anything else: too short, another function, a wrong byte count
};

struct Judged {
    Reading reading = Reading::Timeout;
    std::uint8_t exceptionCode = 0; // of an Exception
};

// The reply to a request to `address` whose reply code is `replyCode`;
// timedOut when the line ended the exchange at its time-out.
Judged JudgeReading(std::span<const std::uint8_t> reply, bool timedOut, std::uint8_t address,
                    std::string_view replyCode);

// "answered", "timeout", "bad-crc", "exception", "wrong-address", "rejected".
const char *ReadingWord(Reading reading);

// "02 Illegal Data Address".
std::string ExceptionLabel(std::uint8_t code);

// One meter's readings so far.
class MeterTally
{
public:
    // A reading, with the time from the request leaving to the reply's end,
    // and the energy of an answered read (none where it could not be decoded).
    void count(const Judged &judged, double responseMs, std::optional<double> energyKwh);

    long long sent() const { return m_sent; }
    long long answered() const { return m_answered; }
    long long timeouts() const { return m_timeouts; }
    long long badCrc() const { return m_badCrc; }
    long long wrongAddress() const { return m_wrongAddress; }
    long long rejected() const { return m_rejected; }
    // By exception code.
    const std::map<std::uint8_t, long long> &exceptions() const { return m_exceptions; }
    long long exceptionCount() const;
    // Of the readings sent, the share not answered, 0..100.
    double lossPercent() const;

    // Response times of the answered readings, ms; none before the first.
    std::optional<double> minMs() const;
    std::optional<double> meanMs() const;
    // The nearest-rank 95th percentile, to 0.1 ms.
    std::optional<double> p95Ms() const;
    std::optional<double> maxMs() const;

    std::optional<double> firstEnergy() const { return m_firstEnergy; }
    std::optional<double> lastEnergy() const { return m_lastEnergy; }

private:
    long long m_sent = 0;
    long long m_answered = 0;
    long long m_timeouts = 0;
    long long m_badCrc = 0;
    long long m_wrongAddress = 0;
    long long m_rejected = 0;
    std::map<std::uint8_t, long long> m_exceptions;
    double m_minMs = 0;
    double m_maxMs = 0;
    double m_sumMs = 0;
    // Counts by tenth of a millisecond: a percentile without keeping every
    // sample, so a poll may run for weeks in bounded memory.
    std::map<long long, long long> m_tenths;
    std::optional<double> m_firstEnergy;
    std::optional<double> m_lastEnergy;
};

// What a whole poll came to, as far as its meters go.
enum class PollVerdict {
    EveryReading,   // every meter answered every reading (or nothing was read)
    SomeFailed,     // some readings failed, but every meter answered at least once
    MeterNeverAnswered,
};

// Meters that were never read (the line stopped first) count for nothing.
PollVerdict VerdictOf(std::span<const MeterTally *const> meters);

} // namespace commissioning
