#include "output.h"

#include "codec/hexcode.h"

#include <cstdio>

namespace cli {

void NoteExtraBytes(const serial::ExchangeResult &result, std::ostream &err)
{
    if (result.trailing > 0)
        err << "note: " << result.trailing << (result.trailing == 1 ? " more byte" : " more bytes")
            << " followed the reply\n";
    if (result.dropped > 0)
        err << "note: " << result.dropped << (result.dropped == 1 ? " byte" : " bytes")
            << " past the longest Modbus frame (256 bytes) were thrown away\n";
}

void PrintStep(std::ostream &out, std::ostream &err, bool json, const std::string &tag, const std::string &meter,
               const jobs::StepResult &result)
{
    using jobs::Verdict;
    if (json) {
        out << "{\"meter\": " << JsonString(meter) << ", \"command\": " << JsonString(result.command)
            << ", \"value\": " << JsonString(result.value) << ", \"outcome\": " << JsonString(jobs::VerdictWord(result.verdict))
            << ", \"acknowledged\": " << JsonString(result.acknowledged) << ", \"problem\": " << JsonString(result.problem);
        if (!result.answersAt.empty())
            out << ", \"answers_at\": " << JsonString(result.answersAt);
        out << "}\n" << std::flush;
        return;
    }
    const std::string what = tag + result.command + " at " + std::to_string(result.address) + " to " + result.value;
    // "acknowledged (DETAIL), verified: answers at ..." as each step ends.
    const bool acknowledged = !result.acknowledged.empty();
    if (acknowledged)
        out << what << ": acknowledged (" << result.acknowledged << ")";
    switch (result.verdict) {
    case Verdict::Verified: out << ", verified: " << result.answersAt << "\n"; break;
    case Verdict::Unverified: out << ", not verified: " << result.problem << "\n"; break;
    case Verdict::NoReply: out << what << ": no reply\n"; break;
    case Verdict::Rejected: out << what << ": rejected: " << result.problem << "\n"; break;
    case Verdict::PortFailed:
    case Verdict::Interrupted:
        if (acknowledged)
            out << ", not verified: " << result.problem << "\n";
        out << std::flush;
        err << what << ": " << result.problem << "\n";
        break;
    case Verdict::Refused:
    case Verdict::NotRun: break;
    }
    out << std::flush;
}

} // namespace cli
