#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Acceptance of a reply gathered for the outstanding request.
namespace engine {

// The first check a reply fails, in the order the checks run, or Accepted.
enum class ReplyCheck {
    Accepted,
    TooShort,      // fewer bytes than the reply must hold
    WrongAddress,  // from another slave
    Exception,     // a Modbus exception reply (function code with its high bit set)
    WrongFunction, // any other function code, or a read reply while a write is outstanding
    EchoMismatch,  // a write echo of another register or count
    WrongLength,   // a read reply whose byte count does not match its length, a write echo of other than 8 bytes
    BadCrc,
};

// Judges the first rxCount bytes of rx: the request's slave address, a write
// echo of the reply code's function, register and count, or a read reply whose
// byte count matches its length, and a right CRC (low byte first). Never reads
// a byte that was not received.
ReplyCheck CheckReply(std::span<const std::uint8_t> rx, int rxCount, std::uint8_t requestAddress,
                      std::string_view replyCode);

// True when CheckReply accepts.
bool ValidateReply(std::span<const std::uint8_t> rx, int rxCount, std::uint8_t requestAddress,
                   std::string_view replyCode);

// Why a reply was rejected, in a few words: "bad CRC", "wrong address 2",
// "exception 02 (Illegal Data Address)"; the exception only when its frame is
// whole, from the right slave and its CRC right.
std::string RejectionText(std::span<const std::uint8_t> reply, std::uint8_t requestAddress, std::string_view replyCode);

// "exception 02 (Illegal Data Address)".
std::string ExceptionText(std::uint8_t code);

// "Illegal Data Address": the name of an exception code alone.
const char *ExceptionName(std::uint8_t code);

} // namespace engine
