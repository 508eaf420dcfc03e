#include "codec/gatewayaddress.h"

#include <algorithm>

namespace codec {

namespace {

constexpr std::string_view SchemeEnd = "://";

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'f');
}

bool isLetter(char c)
{
    return lower(c) >= 'a' && lower(c) <= 'z';
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size()
           && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) { return lower(a) == lower(b); });
}

// The framing a name's scheme stands for and the length of "SCHEME://"; nullopt for no gateway scheme.
std::optional<std::pair<GatewayFraming, std::size_t>> schemeOf(std::string_view name)
{
    for (const auto &[scheme, framing] :
         {std::pair{RtuOverTcpScheme, GatewayFraming::Rtu}, std::pair{ModbusTcpScheme, GatewayFraming::Mbap}}) {
        if (startsWithNoCase(name, scheme) && name.substr(scheme.size()).starts_with(SchemeEnd))
            return std::pair{framing, scheme.size() + SchemeEnd.size()};
    }
    return std::nullopt;
}

// Four decimal numbers 0..255 between dots, without leading zeros (which some
// readers take for octal).
bool isDottedQuad(std::string_view text)
{
    int parts = 0;
    for (;;) {
        const auto dot = text.find('.');
        const auto part = text.substr(0, dot);
        if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), isDigit)
            || (part.size() > 1 && part[0] == '0'))
            return false;
        int value = 0;
        for (const char c : part)
            value = value * 10 + (c - '0');
        if (value > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            return parts == 4;
        text.remove_prefix(dot + 1);
    }
}

// Eight groups of up to four hex digits between colons, where one "::" stands
// for one or more groups of zeros and a dotted quad for the last two groups.
bool isIpv6(std::string_view text)
{
    int groups = 0;
    bool compressed = false;
    if (text.starts_with("::")) {
        compressed = true;
        text.remove_prefix(2);
    }
    while (!text.empty()) {
        const auto colon = text.find(':');
        const auto group = text.substr(0, colon);
        if (colon == std::string_view::npos && group.find('.') != std::string_view::npos) {
            if (!isDottedQuad(group))
                return false;
            groups += 2;
            break;
        }
        if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), isHexDigit))
            return false;
        ++groups;
        if (colon == std::string_view::npos)
            break;
        text.remove_prefix(colon + 1);
        if (text.starts_with(':')) {
            if (compressed)
                return false;
            compressed = true;
            text.remove_prefix(1);
        } else if (text.empty()) {
            return false; // a single colon at the end
        }
    }
    return compressed ? groups <= 7 : groups == 8;
}

// Letters, digits and hyphens in labels of 1 to 63 between dots, no label
// beginning or ending with a hyphen, at most 253 in all (RFC 1123).
bool isHostName(std::string_view text)
{
    if (text.empty() || text.size() > 253)
        return false;
    for (;;) {
        const auto dot = text.find('.');
        const auto label = text.substr(0, dot);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-'
            || !std::all_of(label.begin(), label.end(), [](char c) { return isLetter(c) || isDigit(c) || c == '-'; }))
            return false;
        if (dot == std::string_view::npos)
            return true;
        text.remove_prefix(dot + 1);
    }
}

bool isHost(std::string_view host, bool bracketed)
{
    if (bracketed)
        return isIpv6(host);
    // All digits and dots can only be meant as a dotted quad.
    if (std::all_of(host.begin(), host.end(), [](char c) { return isDigit(c) || c == '.'; }))
        return isDottedQuad(host);
    return isHostName(host);
}

std::optional<std::uint16_t> portOf(std::string_view text, GatewayEnd end)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    long value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value > 65535)
            return std::nullopt;
    }
    if (value == 0 && end == GatewayEnd::Client)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

ParsedGateway refused(GatewayProblem problem)
{
    return {std::nullopt, problem};
}

} // namespace

bool IsGatewayName(std::string_view name)
{
    return schemeOf(name).has_value();
}

ParsedGateway ParseGatewayName(std::string_view name, GatewayEnd end)
{
    const auto scheme = schemeOf(name);
    if (!scheme)
        return refused(GatewayProblem::NotGateway);
    std::string_view rest = name.substr(scheme->second);

    // HOST:PORT runs up to a path, a query or a fragment; only a bare "/" may follow.
    const auto authorityEnd = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view after = authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);
    if (authority.find('@') != std::string_view::npos)
        return refused(GatewayProblem::UserInfo);

    std::string_view host;
    std::string_view portPart; // ":PORT", or empty when there is no colon
    const bool bracketed = authority.starts_with('[');
    if (bracketed) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos)
            return refused(GatewayProblem::BadHost);
        host = authority.substr(1, close - 1);
        portPart = authority.substr(close + 1);
        if (!portPart.empty() && !portPart.starts_with(':'))
            return refused(GatewayProblem::BadHost);
    } else {
        const auto colon = authority.find(':');
        host = authority.substr(0, colon);
        portPart = colon == std::string_view::npos ? std::string_view{} : authority.substr(colon);
        // More than one colon: an IPv6 address without its brackets.
        if (portPart.find(':', 1) != std::string_view::npos)
            return refused(GatewayProblem::BadHost);
    }
    if (host.empty())
        return refused(GatewayProblem::NoHost);
    if (!isHost(host, bracketed))
        return refused(GatewayProblem::BadHost);
    if (portPart.size() <= 1)
        return refused(GatewayProblem::NoPort);
    const auto port = portOf(portPart.substr(1), end);
    if (!port)
        return refused(GatewayProblem::BadPort);
    if (!after.empty() && after != "/")
        return refused(GatewayProblem::Trailing);

    GatewayAddress address{scheme->first, std::string(host), *port};
    std::transform(address.host.begin(), address.host.end(), address.host.begin(), lower);
    return {std::move(address), GatewayProblem::None};
}

std::string GatewayProblemText(GatewayProblem problem, GatewayEnd end)
{
    std::string_view reason;
    switch (problem) {
    case GatewayProblem::None: return {};
    case GatewayProblem::NotGateway: reason = "not a gateway address"; break;
    case GatewayProblem::UserInfo: reason = "no user name goes before the host"; break;
    case GatewayProblem::NoHost: reason = "no host"; break;
    case GatewayProblem::BadHost:
        reason = "the host must be an IPv4 address, an IPv6 address in brackets or a host name";
        break;
    case GatewayProblem::NoPort: reason = "no port after the host"; break;
    case GatewayProblem::BadPort:
        reason = end == GatewayEnd::Listener ? "the port must be 0..65535 (0: any free port)" : "the port must be 1..65535";
        break;
    case GatewayProblem::Trailing: reason = "nothing may follow the port"; break;
    }
    return std::string(reason) + "; expected " + std::string(GatewayForm);
}

std::string GatewayName(const GatewayAddress &address)
{
    const bool ipv6 = address.host.find(':') != std::string::npos;
    return std::string(address.framing == GatewayFraming::Mbap ? ModbusTcpScheme : RtuOverTcpScheme)
           + std::string(SchemeEnd) + (ipv6 ? "[" + address.host + "]" : address.host) + ":"
           + std::to_string(address.port);
}

} // namespace codec
