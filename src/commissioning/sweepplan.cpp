#include "commissioning/sweepplan.h"

#include "catalogue/catalogue.h"
#include "engine/addressrule.h"

#include <charconv>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

namespace commissioning {

namespace {

using engine::Parity;
using engine::StopBits;

// The catalogue's parity and stop-bit pairs as line settings, in its order.
std::vector<std::pair<Parity, StopBits>> meterPairs()
{
    std::vector<std::pair<Parity, StopBits>> pairs;
    for (const auto &framing : catalogue::MeterFramings()) {
        std::string word(framing.parity);
        std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        const auto parity = engine::ParityFromWord(word);
        const auto stopBits = engine::StopBitsFromText(framing.stopBits);
        if (parity && stopBits)
            pairs.emplace_back(*parity, *stopBits);
    }
    return pairs;
}

bool listed(const auto &list, const auto &value)
{
    return list.empty() || std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

std::vector<SweepSetting> SweepSettings(const SweepLists &lists)
{
    const std::vector<int> bauds = lists.bauds.empty() ? catalogue::SweepBauds() : lists.bauds;
    std::vector<std::pair<Parity, StopBits>> pairs;
    if (!lists.parities.empty() && !lists.stopBits.empty()) {
        for (const auto p : lists.parities)
            for (const auto s : lists.stopBits)
                pairs.emplace_back(p, s);
    } else {
        for (const auto &[p, s] : meterPairs())
            if (listed(lists.parities, p) && listed(lists.stopBits, s))
                pairs.emplace_back(p, s);
    }
    std::vector<SweepSetting> settings;
    for (const int baud : bauds)
        for (const auto &[p, s] : pairs)
            if (const SweepSetting setting{baud, p, s};
                std::find(settings.begin(), settings.end(), setting) == settings.end())
                settings.push_back(setting);
    return settings;
}

engine::LineSettings WithSetting(engine::LineSettings line, const SweepSetting &setting)
{
    line.baud = setting.baud;
    line.parity = setting.parity;
    line.stopBits = setting.stopBits;
    return line;
}

std::optional<std::vector<std::uint8_t>> ParseAddressList(std::string_view text)
{
    // One address: ASCII digits only, in the meters' range.
    const auto number = [](std::string_view digits) -> std::optional<int> {
        int value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()
            || value < engine::LowestMeterAddress || value > engine::HighestAddress)
            return std::nullopt;
        return value;
    };
    std::vector<std::uint8_t> addresses;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = std::min(text.find(',', start), text.size());
        const auto item = text.substr(start, comma - start);
        start = comma + 1;
        const auto dash = item.find('-');
        const auto first = number(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : number(item.substr(dash + 1));
        if (!first || !last || *last < *first)
            return std::nullopt;
        for (int a = *first; a <= *last; ++a)
            if (std::find(addresses.begin(), addresses.end(), a) == addresses.end())
                addresses.push_back(static_cast<std::uint8_t>(a));
    }
    return addresses;
}

} // namespace commissioning
