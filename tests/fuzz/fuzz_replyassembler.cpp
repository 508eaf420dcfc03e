// The reply's end for the command line and the line client, fed any bytes in
// any chunks and times, and the Modbus TCP stream cutter fed the same bytes.
//
// Input: a flags byte (bit 0: the adapter echoes), a request length (1..32)
// and the request, then chunks, each a length (0..63), that many bytes and a
// step of time in 0.1 ms.

#include "fuzzsupport.h"

#include "codec/mbap.h"
#include "engine/replyassembler.h"
#include "engine/replyend.h"

#include <vector>

using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using Clock = engine::ReplyAssembler::Clock;
    fuzz::ByteReader in({data, size});
    const bool skipEcho = in.byte() & 1;
    const auto request = in.take(1 + in.byte() % 32);
    const auto sent = Clock::time_point{} + std::chrono::seconds(1);
    engine::ReplyAssembler assembler;
    assembler.start(request, skipEcho, sent, std::chrono::microseconds(1750), std::chrono::milliseconds(50));
    std::vector<std::uint8_t> all;
    auto at = sent;
    std::size_t given = 0;
    while (!in.empty()) {
        const auto chunk = in.take(in.byte() % 64);
        at += std::chrono::microseconds(100) * in.byte();
        all.insert(all.end(), chunk.begin(), chunk.end());
        const bool wasComplete = assembler.complete();
        const auto before = assembler.reply();
        assembler.take(chunk, at);
        if (wasComplete)
            Require(assembler.reply() == before, "a whole reply changed after it was whole");
        else
            given += chunk.size();
        Require(assembler.reply().size() <= engine::MaxRtuFrame, "more than a frame kept");
        if (const auto due = assembler.silenceDue())
            Require(assembler.lastByte() && *due > *assembler.lastByte(), "a silence due before the last byte");
    }
    Require(assembler.timeoutDue() == sent + std::chrono::milliseconds(50), "the time-out moved");
    if (assembler.complete()) {
        Require(engine::ReplyComplete(assembler.reply()), "a whole reply that is not whole");
        Require(assembler.reply().size() == *engine::ExpectedReplyLength(assembler.reply()), "a whole reply of the wrong length");
    } else {
        // Nothing is lost: what was not kept is counted.
        Require(assembler.echo().size() + assembler.reply().size() + assembler.dropped() == given, "bytes went missing");
    }
    Require(!(skipEcho && assembler.echoed()), "an expected echo taken for an unexpected one");
    Require(assembler.echo().empty() || skipEcho, "an echo skipped that was not expected");

    // The same bytes as a Modbus TCP stream: every cut moves on, and never past the end.
    std::span<const std::uint8_t> stream(all);
    while (!stream.empty()) {
        const auto cut = codec::CutMbapFront(stream);
        if (cut.front == codec::MbapFront::Incomplete) {
            Require(cut.size == 0, "an incomplete front that was cut");
            break;
        }
        Require(cut.size > 0 && cut.size <= stream.size(), "a cut that does not move on");
        stream = stream.subspan(cut.size);
    }
    return 0;
}
