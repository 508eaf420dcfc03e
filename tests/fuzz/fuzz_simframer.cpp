// The simulator's side of the line: bytes arriving in chunks with any gaps are
// cut into request frames, and the meters of the default line-up (every meter
// type, at addresses 1 to 11) answer them.
//
// Input: line settings (speed, parity and stop bits), then chunks, each a gap
// before it in eighths of a character time, its length (0..63) and its bytes.

#include "fuzzsupport.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "codec/hexcode.h"
#include "engine/replyvalidation.h"
#include "engine/linesettings.h"
#include "requestframer.h"
#include "simmeter.h"

#include <array>
#include <chrono>
#include <map>
#include <vector>

namespace {

using fuzz::Require;

constexpr std::array<int, 8> Speeds = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct Line {
    sim::LineSettings settings;
    std::vector<sim::SimMeter> meters;
};

// The reply a meter's answer makes: a well-formed reply PDU of the request's function.
void checkAnswer(std::span<const std::uint8_t> request, const sim::MeterAnswer& answer)
{
    const auto& pdu = answer.pdu;
    Require(!pdu.empty(), "a meter answered with an empty PDU");
    const std::uint8_t function = request.empty() ? 0 : request[0];
    if (pdu[0] & 0x80) {
        Require(pdu[0] == (function | 0x80) && pdu.size() == 2, "an exception reply is not function|0x80 and a code");
        Require(pdu[1] >= sim::IllegalFunction && pdu[1] <= sim::DeviceFailure, "an exception code outside 1..4");
        Require(!answer.change.any(), "a refused request changed a setting");
        return;
    }
    Require(pdu[0] == function, "a reply does not echo the request's function");
    if (function == 0x03 || function == 0x04) {
        const unsigned count = request.size() >= 5 ? (request[3] << 8 | request[4]) : 0;
        Require(pdu.size() >= 2 && pdu[1] == pdu.size() - 2 && pdu[1] == 2 * count,
                "a read reply's byte count does not match the registers asked for");
        Require(pdu.size() + 3 <= 256, "a read reply is longer than a Modbus RTU frame");
    } else {
        Require(function == 0x10, "a meter carried out a function it does not know");
        Require(pdu.size() == 5 && std::equal(pdu.begin() + 1, pdu.end(), request.begin() + 1),
                "a write reply does not echo register and count");
    }
}

// The tool's request for one of the meter's commands must get a reply the tool accepts.
void checkAgreement(const sim::SimMeter& meter, std::span<const std::uint8_t> frame, std::span<const std::uint8_t> reply)
{
    const auto commands = catalogue::CommandsOf(meter.type());
    if (!commands || reply.size() > 30 || (reply[1] & 0x80))
        return;
    for (const auto command : commands->commands) {
        const auto codes = catalogue::Find_Code(meter.type(), command);
        if (!codes)
            continue;
        const auto code = codec::HexCodeToBytes(codes->request);
        if (code.size() < 6 || frame.size() < code.size() || !std::equal(code.begin() + 1, code.end(), frame.begin() + 1))
            continue;
        Require(engine::ValidateReply(reply, static_cast<int>(reply.size()), frame[0], codes->reply),
                "the tool rejects the simulator's reply to its own request");
    }
}

void apply(Line& line, sim::SimMeter& meter, const sim::SettingChange& change)
{
    if (change.address)
        meter.setAddress(*change.address);
    if (change.baud)
        line.settings.baud = *change.baud;
    if (change.parity)
        line.settings.parity = *change.parity;
    if (change.stopBits)
        line.settings.stopBits = *change.stopBits;
}

void handle(Line& line, const sim::ReceivedFrame& frame)
{
    const auto& bytes = frame.bytes;
    Require(!bytes.empty(), "an empty frame was cut from the line");
    if (frame.byLength)
        Require(static_cast<int>(bytes.size()) == sim::RequestLength(bytes),
                "a frame cut by length is not as long as its function code says");
    if (frame.crcOk)
        Require(bytes.size() >= 4 && fuzz::HasValidCrc(bytes), "a frame with a wrong CRC passed");
    else
        Require(bytes.size() < 4 || !fuzz::HasValidCrc(bytes) || (!frame.byLength && bytes.size() > 256),
                "a frame with a right CRC failed");
    if (!frame.crcOk)
        return;

    const auto pdu = std::span(bytes).subspan(1, bytes.size() - 3);
    const bool broadcast = bytes[0] == 0;
    if (broadcast && (pdu.empty() || pdu[0] != 0x10))
        return; // a broadcast read is ignored
    for (auto& meter : line.meters) {
        if (!broadcast && meter.address() != bytes[0])
            continue;
        (void)meter.describe(pdu);
        const auto answer = meter.answer(pdu);
        checkAnswer(pdu, answer);
        if (!broadcast) {
            std::vector<std::uint8_t> reply;
            reply.reserve(answer.pdu.size() + 3);
            reply.push_back(meter.address());
            reply.insert(reply.end(), answer.pdu.begin(), answer.pdu.end());
            codec::AppendCrc16(reply);
            checkAgreement(meter, bytes, reply);
        }
        apply(line, meter, answer.change);
    }
}

// The meters as the simulator starts them on a line; made once per line setting, copied per input.
Line lineUp(std::uint8_t settingsChoice)
{
    static std::map<int, Line> made;
    sim::LineSettings settings;
    settings.baud = Speeds[settingsChoice % Speeds.size()];
    constexpr std::array<sim::Parity, 3> Parities = {sim::Parity::None, sim::Parity::Even, sim::Parity::Odd};
    const int parity = (settingsChoice >> 3) % 3;
    const int twoStops = (settingsChoice >> 5) & 1;
    settings.parity = Parities[static_cast<std::size_t>(parity)];
    settings.stopBits = twoStops ? sim::StopBits::Two : sim::StopBits::One;
    const int key = settings.baud * 10 + parity * 3 + 1 + twoStops;
    if (const auto it = made.find(key); it != made.end())
        return it->second;
    Line line{settings, {}};
    for (std::size_t i = 0; i < catalogue::MeterTypeNames.size(); ++i) {
        std::string error;
        auto meter = sim::SimMeter::Create(catalogue::MeterTypeNames[i], static_cast<std::uint8_t>(i + 1),
                                           sim::EnergyValues{}, settings, error);
        Require(meter.has_value(), "a meter type of the catalogue cannot be simulated");
        line.meters.push_back(std::move(*meter));
    }
    return made.emplace(key, std::move(line)).first->second;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteReader in({data, size});
    Line line = lineUp(in.byte());

    sim::RequestFramer framer;
    auto now = sim::Clock::time_point{} + std::chrono::hours(1);
    std::size_t pushed = 0;
    std::size_t accounted = 0; // in frames or dropped
    const auto takeDropped = [&] { accounted += framer.takeDropped().size(); };
    // As the simulator's loop: a silence deadline that passes before the next bytes ends the frame.
    const auto silenceUntil = [&](sim::Clock::time_point until) {
        const auto ct = engine::CharacterTime(line.settings);
        if (const auto deadline = framer.silenceDeadline(ct); deadline && *deadline <= until) {
            if (const auto frame = framer.takeAtSilence(*deadline, ct)) {
                Require(!frame->byLength, "a frame cut at a silence claims its length");
                accounted += frame->bytes.size();
                handle(line, *frame);
            }
        }
        takeDropped();
    };

    while (!in.empty()) {
        const auto gap = engine::CharacterTime(line.settings) * in.byte() / 8;
        const auto chunk = in.take(in.byte() % 64);
        silenceUntil(now + gap);
        now += gap;
        framer.push(chunk, now);
        pushed += chunk.size();
        while (const auto frame = framer.next()) {
            Require(frame->byLength, "a frame taken before the silence does not know its length");
            accounted += frame->bytes.size();
            handle(line, *frame);
        }
        takeDropped();
    }
    silenceUntil(now + std::chrono::seconds(10));
    Require(!framer.silenceDeadline(engine::CharacterTime(line.settings)), "bytes still pending after a long silence");
    Require(pushed == accounted, "bytes were lost or doubled between the line and the frames");
    return 0;
}
