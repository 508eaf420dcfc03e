#include "linesession.h"

#include "serial/anyline.h"
#include "serial/devicecheck.h"
#include "serial/portdiscovery.h"


#include <cstdio>

namespace jobs {

LineSession::LineSession(std::unique_ptr<lineclient::LineClient> client, const LineSetup &setup)
    : m_client(std::move(client))
    , m_setup(setup)
{
    m_client->setSettleTime(std::chrono::milliseconds(setup.settleMs.value_or(setup.timeoutMs)));
    if (setup.guardMs)
        m_client->setGuardTime(std::chrono::milliseconds(*setup.guardMs));
    // A reply that comes after its time-out is never taken for the answer to
    // the next request: it is thrown away, and said.
    QObject::connect(m_client.get(), &lineclient::LineClient::lateBytesDiscarded, m_client.get(),
                     [this](std::size_t count, serial::Clock::duration after) {
                         if (!m_notes)
                             return;
                         char text[120];
                         std::snprintf(text, sizeof text, "late reply discarded: %zu byte%s, %.0f ms after the time-out",
                                       count, count == 1 ? "" : "s", std::chrono::duration<double, std::milli>(after).count());
                         m_notes(text);
                     });
}

LineSession::~LineSession()
{
    m_client->close();
}

Task<std::unique_ptr<LineSession>> LineSession::Open(const LineSetup &options, std::string &reason)
{
    // A serial device, or a gateway named rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT.
    const QString name = QString::fromStdString(options.port);
    if (const QString notSerial = serial::notASerialDevice(name); !notSerial.isEmpty()) {
        reason = "cannot open " + options.port + ": " + notSerial.toStdString();
        co_return nullptr;
    }
    auto client = std::make_unique<lineclient::LineClient>(name);
    if (client->setSettings(options.settings) != serial::PortError::None) {
        reason = options.port + ": the port cannot take " + engine::ShortText(options.settings);
        co_return nullptr;
    }
    const auto [error, why] = co_await lineclient::Opened(*client);
    if (error != serial::PortError::None) {
        reason = "cannot open " + options.port + ": " + serial::portErrorText(error).toStdString();
        co_return nullptr;
    }
    co_return std::unique_ptr<LineSession>(new LineSession(std::move(client), options));
}

void LineSession::stop()
{
    m_stopped = true;
    m_client->abortAll();
}

bool LineSession::setSettings(const engine::LineSettings &settings, std::string &reason)
{
    if (m_client->setSettings(settings) != serial::PortError::None) {
        reason = m_setup.port + ": the port cannot take " + engine::ShortText(settings);
        return false;
    }
    return true;
}

Task<serial::ExchangeResult> LineSession::exchange(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout)
{
    if (m_stopped) {
        serial::ExchangeResult aborted;
        aborted.end = serial::ExchangeResult::End::Aborted;
        aborted.written = aborted.sent = aborted.ended = serial::Clock::now();
        co_return aborted;
    }
    auto result = co_await lineclient::Finished{m_client->send(request, timeout, m_setup.echo)};
    if (m_observer)
        m_observer(request, result);
    co_return result;
}

} // namespace jobs
