#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The names of meter lines behind network gateways, "rtu-tcp://HOST:PORT" and
// "modbus-tcp://HOST:PORT": the one reading of them that the window, the
// command line and the simulator share.
namespace codec {

// The schemes of a gateway's name, and the form its whole name takes.
inline constexpr std::string_view RtuOverTcpScheme = "rtu-tcp";
inline constexpr std::string_view ModbusTcpScheme = "modbus-tcp";
inline constexpr std::string_view GatewayForm = "rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT";

// How a gateway carries the frames: rtu-tcp passes the RTU frames through as
// they are, modbus-tcp speaks Modbus TCP (MBAP header, no CRC).
enum class GatewayFraming { Rtu, Mbap };

struct GatewayAddress {
    GatewayFraming framing = GatewayFraming::Rtu;
    std::string host;       // in lower case; an IPv6 address without its brackets
    std::uint16_t port = 0; // 0 only for a listener: any free port

    friend bool operator==(const GatewayAddress &, const GatewayAddress &) = default;
};

// Why a name is not a usable gateway address.
enum class GatewayProblem {
    None,
    NotGateway, // neither scheme: the name of a serial device
    UserInfo,   // "user@" before the host
    NoHost,
    BadHost,    // neither a dotted quad, an IPv6 address in brackets nor a host name
    NoPort,
    BadPort,    // not decimal digits, or out of range
    Trailing,   // a path, a query or anything else after the port
};

// Who the address is for: to a listener port 0 is any free port, to a client it is none.
enum class GatewayEnd { Client, Listener };

struct ParsedGateway {
    std::optional<GatewayAddress> address;
    GatewayProblem problem = GatewayProblem::None;
};

// Whether a name names a gateway rather than a serial device: it begins with
// one of the two schemes and "://", in any case. It need not be well formed.
bool IsGatewayName(std::string_view name);

// The address in a gateway's name; a lone "/" after the port is taken as none.
ParsedGateway ParseGatewayName(std::string_view name, GatewayEnd end = GatewayEnd::Client);

// "no port after the host; expected rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT";
// empty for None.
std::string GatewayProblemText(GatewayProblem problem, GatewayEnd end = GatewayEnd::Client);

// The name of an address, an IPv6 host in brackets: what ParseGatewayName reads back.
std::string GatewayName(const GatewayAddress &address);

} // namespace codec
