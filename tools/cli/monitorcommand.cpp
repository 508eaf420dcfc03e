#include "commands.h"
#include "exitstatus.h"
#include "interrupt.h"
#include "output.h"

#include "codec/hexcode.h"
#include "engine/replyassembler.h"
#include "engine/replyvalidation.h"
#include "monitor/busmonitor.h"
#include "monitor/pcapwriter.h"
#include "serial/anyline.h"
#include "serial/devicecheck.h"
#include "serial/portdiscovery.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <ctime>
#include <fstream>
#include <optional>

namespace cli {

namespace {

using monitor::Frame;
using monitor::FrameKind;

std::string joined(const std::vector<std::string_view>& names)
{
    std::string text;
    for (const auto name : names)
        text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

std::string jsonNames(const std::vector<std::string_view>& names)
{
    std::string text;
    for (const auto name : names)
        text += (text.empty() ? "" : ",") + JsonString(name);
    return "[" + text + "]";
}

// "20:46:02.377123" in local time, or "2026-12-09T19:46:02.377123Z" in UTC.
std::string wallText(std::chrono::system_clock::time_point at, bool utc)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1'000'000);
    std::tm parts{};
    if (utc)
        gmtime_r(&seconds, &parts);
    else
        localtime_r(&seconds, &parts);
    char text[40];
    const auto n = std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%S" : "%H:%M:%S", &parts);
    std::snprintf(text + n, sizeof text - n, ".%06lld%s", static_cast<long long>(micros % 1'000'000), utc ? "Z" : "");
    return text;
}

const char* kindWord(FrameKind kind)
{
    return kind == FrameKind::Request ? "request" : kind == FrameKind::Reply ? "reply" : "unknown";
}

std::string functionText(std::uint8_t function)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", function);
    return text;
}

// What the frame is, after its bytes: "slave 5, function 04, register 0x0156, count 2; Read Energy: Tarvik CT, ...".
std::string meaning(const Frame& frame)
{
    if (frame.bytes.size() < 2)
        return {};
    std::string text = "slave " + std::to_string(frame.slave) + ", function " + functionText(frame.function);
    if (frame.kind == FrameKind::Request) {
        char reg[48];
        std::snprintf(reg, sizeof reg, ", register 0x%04X, count %u", *frame.firstRegister, unsigned{*frame.count});
        text += reg;
        for (const auto& match : frame.commands)
            text += "; " + std::string(match.command) + ": " + joined(match.meterTypes);
        if (frame.commands.empty())
            text += "; no catalogue command";
    } else if (frame.kind == FrameKind::Reply) {
        text += frame.answers ? ", answers #" + std::to_string(*frame.answers) : ", answers no request";
        if (frame.exception)
            text += "; " + engine::ExceptionText(*frame.exception);
        for (const auto& energy : frame.energies)
            text += "; " + energy.kwh + " kWh (" + std::string(energy.command) + ": " + joined(energy.meterTypes) + ")";
    }
    return text;
}

std::string jsonLine(const Frame& frame, std::chrono::system_clock::time_point at)
{
    std::string text = "{\"frame\":" + std::to_string(frame.number) + ",\"time\":" + JsonString(wallText(at, true))
                       + ",\"gap_ms\":" + (frame.gap ? Millis(*frame.gap) : "null")
                       + ",\"crc\":" + (frame.crcOk ? "true" : "false") + ",\"kind\":" + JsonString(kindWord(frame.kind))
                       + ",\"bytes\":" + JsonString(codec::HexText(frame.bytes));
    if (frame.bytes.size() >= 2)
        text += ",\"slave\":" + std::to_string(frame.slave) + ",\"function\":" + std::to_string(frame.function);
    if (frame.kind == FrameKind::Request) {
        text += ",\"register\":" + std::to_string(*frame.firstRegister) + ",\"count\":" + std::to_string(*frame.count)
                + ",\"commands\":[";
        for (std::size_t i = 0; i < frame.commands.size(); ++i)
            text += std::string(i ? "," : "") + "{\"command\":" + JsonString(frame.commands[i].command)
                    + ",\"meter_types\":" + jsonNames(frame.commands[i].meterTypes) + "}";
        text += "]";
    } else if (frame.kind == FrameKind::Reply) {
        text += ",\"answers\":" + (frame.answers ? std::to_string(*frame.answers) : std::string("null"));
        if (frame.exception)
            text += ",\"exception\":" + std::to_string(*frame.exception);
        text += ",\"energy\":[";
        for (std::size_t i = 0; i < frame.energies.size(); ++i)
            text += std::string(i ? "," : "") + "{\"command\":" + JsonString(frame.energies[i].command)
                    + ",\"kwh\":" + JsonString(frame.energies[i].kwh) + ",\"meter_types\":" + jsonNames(frame.energies[i].meterTypes) + "}";
        text += "]";
    }
    return text + "}";
}

} // namespace

int RunMonitor(const Options& options, std::ostream& out, std::ostream& err)
{
    const auto& line = options.line;
    const QString name = QString::fromStdString(line.port);
    if (const QString notSerial = serial::notASerialDevice(name); !notSerial.isEmpty()) {
        err << "cannot open " << line.port << ": " << notSerial.toStdString() << "\n";
        return status::PortFailed;
    }
    std::ofstream pcapFile;
    std::optional<monitor::PcapWriter> pcap;
    if (options.pcap) {
        pcapFile.open(*options.pcap, std::ios::binary | std::ios::trunc);
        pcap.emplace(pcapFile);
        if (!pcapFile || !pcap->start()) {
            err << "cannot write " << *options.pcap << "\n";
            return status::PortFailed;
        }
    }
    const auto port = serial::makeLine(name);
    if (port->applySettings(line.settings) != serial::PortError::None) {
        err << line.port << ": the port cannot take " << engine::ShortText(line.settings) << "\n";
        return status::PortFailed;
    }
    if (const auto error = port->open(); error != serial::PortError::None) {
        err << "cannot open " << line.port << ": " << serial::portErrorText(error).toStdString() << "\n";
        return status::PortFailed;
    }
    // Bytes from before we listened have no time of their own.
    port->discardInput();
    err << "listening on " << line.port << " at " << engine::ShortText(line.settings) << "; Ctrl+C ends" << std::endl;

    // Steady time cuts and spaces the frames; the wall clock only names them.
    const auto steadyStart = monitor::Clock::now();
    const auto wallStart = std::chrono::system_clock::now();
    const auto wallAt = [&](monitor::Clock::time_point at) {
        return wallStart + std::chrono::duration_cast<std::chrono::system_clock::duration>(at - steadyStart);
    };
    monitor::BusMonitor bus(engine::ReplySilence(line.settings, port->pacedByLine()));
    int status = -1;
    const auto report = [&](const std::vector<Frame>& frames) {
        for (const auto& frame : frames) {
            const auto at = wallAt(frame.start);
            if (options.json) {
                out << jsonLine(frame, at) << std::endl;
            } else {
                char gap[24] = "         -";
                if (frame.gap)
                    std::snprintf(gap, sizeof gap, "%7s ms", ("+" + Millis(*frame.gap)).c_str());
                out << wallText(at, false) << " " << gap << "  #" << frame.number << " "
                    << (frame.crcOk ? "CRC ok  " : "CRC bad ") << std::string(kindWord(frame.kind)).append(7 - std::string_view(kindWord(frame.kind)).size(), ' ') << "  "
                    << codec::HexText(frame.bytes) << "  " << meaning(frame) << std::endl;
            }
            if (pcap && !pcap->write(at, frame.bytes) && status < 0) {
                err << "cannot write " << *options.pcap << "\n";
                status = status::PortFailed;
                QCoreApplication::quit();
            }
        }
    };
    QTimer silence;
    silence.setSingleShot(true);
    silence.setTimerType(Qt::PreciseTimer);
    const auto armSilence = [&] {
        const auto due = bus.silenceDue();
        if (!due) {
            silence.stop();
            return;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - monitor::Clock::now());
        silence.start(std::max(left, std::chrono::milliseconds::zero()));
    };
    QObject::connect(port.get(), &serial::SerialLine::received, &silence, [&] {
        const auto bytes = port->readAll();
        const auto now = monitor::Clock::now();
        report(bus.take(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())), now));
        armSilence();
    });
    QObject::connect(&silence, &QTimer::timeout, &silence, [&] {
        // The timer may fire a little early; the silence is the line's, not the timer's.
        if (const auto due = bus.silenceDue(); due && *due > monitor::Clock::now()) {
            armSilence();
            return;
        }
        report(bus.silence());
    });
    QObject::connect(port.get(), &serial::SerialLine::lost, &silence, [&] {
        err << line.port << ": the port went away\n";
        status = status::PortFailed;
        QCoreApplication::quit();
    });
    const auto stop = [&] {
        if (status < 0)
            status = Interruption::caught() == SIGPIPE ? status::ReaderGone : status::Interrupted;
        QCoreApplication::quit();
    };
    if (auto* interruption = Interruption::instance())
        QObject::connect(interruption, &Interruption::requested, &silence, stop);
    if (Interruption::caught() == 0)
        QCoreApplication::exec();
    else
        stop();
    port->close();
    // The end of listening ends whatever was pending.
    report(bus.silence());

    if (status == status::ReaderGone)
        return status;
    const auto summary = bus.summary();
    if (options.json)
        out << "{\"summary\":{\"frames\":" << summary.frames << ",\"crc_errors\":" << summary.crcErrors
            << ",\"requests\":" << summary.requests << ",\"paired\":" << summary.paired
            << ",\"unanswered\":" << summary.unanswered << "}}" << std::endl;
    else
        out << summary.frames << " frames, " << summary.crcErrors << " with a bad CRC, " << summary.requests
            << " requests, " << summary.paired << " answered, " << summary.unanswered << " left unanswered" << std::endl;
    return status;
}

} // namespace cli
