#include "codec/mbap.h"

#include "codec/crc16.h"

namespace codec {

namespace {

constexpr std::size_t CrcSize = 2;
// Transaction id, protocol id and length: the part of the header that frames.
constexpr std::size_t FramingSize = 6;

std::uint16_t word(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void putWord(std::vector<std::uint8_t> &out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

bool lengthFits(std::uint16_t length)
{
    return length >= MbapMinLength && length <= MbapMaxLength;
}

// Whether a Modbus header could begin at `at`, judged on the bytes there are:
// protocol id 0 and a length an ADU can have (its high byte is 0 for that).
bool couldStartHeader(std::span<const std::uint8_t> stream, std::size_t at)
{
    const std::size_t left = stream.size() - at;
    if (left > 2 && stream[at + 2] != 0)
        return false;
    if (left > 3 && stream[at + 3] != 0)
        return false;
    if (left > 4 && stream[at + 4] != 0)
        return false;
    return left <= 5 || lengthFits(word(stream, at + 4));
}

} // namespace

std::vector<std::uint8_t> RtuToMbap(std::span<const std::uint8_t> rtuFrame, std::uint16_t transactionId)
{
    // Address and function code at the least, then the CRC.
    if (rtuFrame.size() < 2 + CrcSize)
        return {};
    const auto pdu = rtuFrame.subspan(1, rtuFrame.size() - 1 - CrcSize);
    if (pdu.size() + 1 > MbapMaxLength)
        return {};
    std::vector<std::uint8_t> adu;
    adu.reserve(MbapHeaderSize + pdu.size());
    putWord(adu, transactionId);
    putWord(adu, MbapModbusProtocol);
    putWord(adu, static_cast<std::uint16_t>(1 + pdu.size()));
    adu.push_back(rtuFrame[0]);
    adu.insert(adu.end(), pdu.begin(), pdu.end());
    return adu;
}

std::optional<MbapHeader> ReadMbapHeader(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < MbapHeaderSize)
        return std::nullopt;
    return MbapHeader{word(bytes, 0), word(bytes, 2), word(bytes, 4), bytes[6]};
}

MbapCut CutMbapFront(std::span<const std::uint8_t> stream)
{
    if (stream.size() < FramingSize)
        return {};
    const std::uint16_t length = word(stream, 4);
    if (!lengthFits(length)) {
        std::size_t next = 1;
        while (next < stream.size() && !couldStartHeader(stream, next))
            ++next;
        return {MbapFront::Unframed, next};
    }
    const std::size_t size = FramingSize + length;
    if (stream.size() < size)
        return {};
    return {word(stream, 2) == MbapModbusProtocol ? MbapFront::Adu : MbapFront::Foreign, size};
}

MbapDecoded MbapToRtu(std::span<const std::uint8_t> adu)
{
    const auto header = ReadMbapHeader(adu);
    if (!header || adu.size() < MbapHeaderSize + 1)
        return {MbapCheck::Short, 0, {}};
    if (header->protocolId != MbapModbusProtocol)
        return {MbapCheck::Protocol, header->transactionId, {}};
    if (!lengthFits(header->length) || adu.size() != FramingSize + header->length)
        return {MbapCheck::Length, header->transactionId, {}};
    std::vector<std::uint8_t> rtu(adu.begin() + FramingSize, adu.end());
    AppendCrc16(rtu);
    return {MbapCheck::Good, header->transactionId, std::move(rtu)};
}

MbapDecoded MbapReplyToRtu(std::span<const std::uint8_t> adu, std::uint16_t transactionId)
{
    MbapDecoded decoded = MbapToRtu(adu);
    if (decoded.check == MbapCheck::Good && decoded.transactionId != transactionId)
        return {MbapCheck::Transaction, decoded.transactionId, {}};
    return decoded;
}

} // namespace codec
