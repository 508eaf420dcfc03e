#pragma once

#include "simlink.h"

#include <memory>
#include <string>
#include <string_view>

// The simulator as a gateway on TCP: a listener with one client at a time.
namespace sim {

// Where --listen serves: "rtu-tcp://127.0.0.1:5020" or "modbus-tcp://127.0.0.1:0".
struct ListenAddress {
    Framing framing = Framing::Rtu;
    std::string host; // an IPv4 address
    int port = 0;     // 0: any free port
};

// nullopt with a reason for anything but SCHEME://IPV4:PORT ("localhost" stands for 127.0.0.1).
std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string& error);

// A listening socket and the one client it serves. A client that connects
// while another is served replaces it: a tool that died without closing its
// socket must not keep the next one out.
class SimTcpListener : public SimLink {
public:
    static std::unique_ptr<SimTcpListener> Open(const ListenAddress& address, std::string& error);

    ~SimTcpListener() override;
    SimTcpListener(const SimTcpListener&) = delete;
    SimTcpListener& operator=(const SimTcpListener&) = delete;

    // The scheme, the address and the port really bound.
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

    ListenAddress m_address;
    int m_listenFd = -1;
    int m_clientFd = -1;
    std::string m_clientName; // "127.0.0.1:40112"
    bool m_clientLost = false; // found gone while reading or writing; the next wait tells
};

} // namespace sim
