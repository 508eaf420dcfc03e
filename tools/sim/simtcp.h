#pragma once

#include "simlink.h"

#include <memory>
#include <string>

// The simulator as a gateway on TCP: a listener with one client at a time.
namespace sim {

// A listening socket and the one client it serves. A client that connects
// while another is served replaces it: a tool that died without closing its
// socket must not keep the next one out.
class SimTcpListener : public SimLink {
public:
    // Why Open failed: the host is no address this machine can listen on (the
    // operator's to correct, as a malformed --listen), or the system refused.
    enum class Failure { Address, System };

    // On `address`, read as a listener's: port 0 is any free one. A host name
    // takes the first of its addresses that can be bound, IPv4 first.
    static std::unique_ptr<SimTcpListener> Open(const codec::GatewayAddress& address, std::string& error,
                                                Failure& failure);

    ~SimTcpListener() override;
    SimTcpListener(const SimTcpListener&) = delete;
    SimTcpListener& operator=(const SimTcpListener&) = delete;

    // The scheme, the address and the port really bound, an IPv6 address in brackets.
    std::string portText() const override;
    Pacing pacing() const override { return Pacing::None; }
    // A gateway's serial line is its own business: every meter answers.
    std::optional<Hearing> hearing() override { return std::nullopt; }

    Wait wait(std::optional<Clock::time_point> deadline, std::string& text) override;
    std::optional<std::vector<std::uint8_t>> readAvailable(std::string& error) override;
    // Bytes for a client that has gone, or before one came, are not taken.
    int write(std::span<const std::uint8_t> bytes, std::string& error) override;

private:
    SimTcpListener() = default;
    void closeClient();
    void dropClient(); // and say so at the next wait

    codec::GatewayAddress m_address; // the host as the numeric address bound
    int m_listenFd = -1;
    int m_clientFd = -1;
    std::string m_clientName; // "127.0.0.1:40112" or "[::1]:40112"
    bool m_clientLost = false; // found gone while reading or writing; the next wait tells
};

} // namespace sim
