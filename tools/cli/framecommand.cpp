#include "commands.h"
#include "commissioning/operationchoice.h"

#include "codec/hexcode.h"
#include "engine/requestframe.h"

#include <cstdio>

namespace cli {

int RunFrame(const Options& options, std::ostream& out, std::ostream& err)
{
    const auto preparation = commissioning::PrepareOperation(options);
    if (!preparation.prepared) {
        err << preparation.refusal << "\n";
        return 1;
    }
    const auto& p = *preparation.prepared;
    const auto frame = engine::BuildRequestFrame(p.state.FrameKind, options.command, p.state.RequestCode,
                                                 p.state.RequestAddress, p.parameterCode, p.state.TimeData,
                                                 p.state.TariffData);
    if (frame.empty()) {
        err << "no request frame for " << options.meter << " / " << options.command << "\n";
        return 1;
    }
    out << codec::HexText(frame) << "\n";
    return 0;
}

} // namespace cli
