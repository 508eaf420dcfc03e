// The reply line's events in any order: requests, receive events with any
// bytes, silences and time-outs, as the port and the window's timers deliver them.
//
// Input: a sequence of events, each an event byte and its arguments:
//   0 request sent   meter type, command, address
//   1 bytes received length (0..63), then that many bytes
//   2 silence
//   3 time-out
//   4 bytes received the CRC of what was gathered, so that a reply can get past it

#include "engineadapter.h"
#include "fuzzsupport.h"

#include "codec/crc16.h"
#include "engine/replyvalidation.h"

#include <array>

namespace {

using fuzz::Require;
using Chunk = fuzz::Line::Chunk;
using Verdict = fuzz::Line::Verdict;

void checkCount(const fuzz::Line& line)
{
    Require(line.rxCount() >= 0 && line.rxCount() <= fuzz::ReplyBufferSize, "RxCount left 0..30");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteReader in({data, size});
    fuzz::Line line;
    int overflows = 0; // since the last request

    const auto receive = [&](std::span<const std::uint8_t> bytes) {
        const int before = line.rxCount();
        const auto chunk = line.receive(bytes);
        checkCount(line);
        switch (chunk) {
        case Chunk::Stored:
            Require(line.rxCount() == before + static_cast<int>(bytes.size()), "stored bytes went missing");
            break;
        case Chunk::Overflow:
            // The communication error is reported once per request, and only for a full buffer.
            Require(++overflows == 1, "an overflow was reported twice for one request");
            Require(line.rxCount() == fuzz::ReplyBufferSize, "an overflow before the buffer is full");
            Require(before + static_cast<int>(bytes.size()) > fuzz::ReplyBufferSize, "an overflow of bytes that fit");
            break;
        case Chunk::Discarded:
            Require(line.rxCount() == before, "discarded bytes were stored");
            Require(bytes.empty() || overflows == 1, "bytes discarded with room left and no overflow");
            break;
        }
    };

    while (!in.empty()) {
        switch (in.byte() % 5) {
        case 0: {
            const auto meterType = in.meterType();
            const auto command = in.command();
            line.send(meterType, command, in.byte());
            overflows = 0;
            Require(line.awaiting() && line.rxCount() == 0, "a request starts with an empty reply buffer");
            break;
        }
        case 1:
            receive(in.take(in.byte() % 64));
            break;
        case 2: {
            const bool awaited = line.awaiting();
            const int count = line.rxCount();
            // Copied before the call: a stray silence empties the buffer.
            std::array<std::uint8_t, fuzz::ReplyBufferSize> gathered{};
            std::copy(line.buffer().begin(), line.buffer().end(), gathered.begin());
            const auto verdict = line.silence();
            checkCount(line);
            if (verdict == Verdict::Stray) {
                Require(!awaited, "a silence while a reply is awaited counted as stray");
                Require(line.rxCount() == 0, "stray bytes were kept");
                break;
            }
            Require(awaited, "a silence judged a reply nobody awaits");
            const bool valid = engine::ValidateReply(gathered, count, line.requestAddress(), line.replyCode());
            Require((verdict == Verdict::Accepted) == valid, "the verdict differs from ValidateReply of the buffer");
            break;
        }
        case 3:
            line.timeOut();
            Require(!line.awaiting(), "a reply is still awaited after the time-out");
            break;
        case 4: {
            if (line.rxCount() < 0 || line.rxCount() > fuzz::ReplyBufferSize)
                break;
            const auto gathered = line.buffer().first(static_cast<std::size_t>(line.rxCount()));
            const auto crc = codec::ComputeCrc16(gathered);
            const std::array<std::uint8_t, 2> crcBytes = {static_cast<std::uint8_t>(crc & 0xFF),
                                                          static_cast<std::uint8_t>(crc >> 8)};
            receive(crcBytes);
            break;
        }
        }
    }
    return 0;
}
