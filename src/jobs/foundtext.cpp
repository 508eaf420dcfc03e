#include "foundtext.h"

#include "codec/jsontext.h"

namespace jobs {

// "Tarvik CT, Tarvik DC (1234.5677 kWh); Morel-K (120.5 kWh)": types that read alike together.
std::string FoundTypesText(const FoundDevice &found)
{
    std::string text;
    for (std::size_t i = 0; i < found.types.size(); ++i) {
        const auto &[type, energy] = found.types[i];
        text += type;
        const bool last = i + 1 == found.types.size() || found.types[i + 1].second != energy;
        if (!last) {
            text += ", ";
        } else {
            if (!energy.empty())
                text += " (" + energy + " kWh)";
            if (i + 1 < found.types.size())
                text += "; ";
        }
    }
    return text;
}

std::string FoundLine(const FoundDevice &f, const std::string &tag)
{
    const std::string where = tag + "address " + std::to_string(f.address)
                              + (f.throughGateway ? std::string(" through the gateway") : " at " + engine::ShortText(f.settings));
    const std::string heard = f.garbled ? std::string("bytes without a valid frame")
                                        : std::string("answered ") + (f.answersRead ? "a read" : "with exceptions only")
                                              + "; can be " + FoundTypesText(f);
    if (f.suspect == Suspect::Duplicate)
        return where + ": " + heard + "; two devices suspected at address " + std::to_string(f.address)
               + ": disconnect one, re-address the other, reconnect";
    return where + ": " + heard;
}

std::string FoundJson(const FoundDevice &f, bool withPort)
{
    std::string types, energies;
    for (const auto &[type, energy] : f.types) {
        types += (types.empty() ? "" : ", ") + codec::JsonString(type);
        if (!energy.empty())
            energies += (energies.empty() ? "" : ", ") + codec::JsonString(type) + ": " + energy;
    }
    std::string json = "{" + (!withPort ? std::string() : "\"port\": " + codec::JsonString(f.port) + ", ")
                       + "\"address\": " + std::to_string(f.address);
    if (!f.throughGateway)
        json += ", \"baud\": " + std::to_string(f.settings.baud) + ", \"parity\": "
                + codec::JsonString(engine::ParityWord(f.settings.parity)) + ", \"stop_bits\": "
                + std::string(engine::StopBitsText(f.settings.stopBits));
    json += ", \"answered\": " + codec::JsonString(f.garbled ? "garbled" : f.answersRead ? "read" : "exception");
    if (f.suspect == Suspect::Duplicate)
        json += ", \"suspect\": \"duplicate\"";
    return json + ", \"meter_types\": [" + types + "], \"energy_kwh\": {" + energies + "}}";
}

} // namespace jobs
