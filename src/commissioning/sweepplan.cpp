#include "commissioning/sweepplan.h"

#include "catalogue/catalogue.h"

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

} // namespace commissioning
