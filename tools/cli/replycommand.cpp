#include "commands.h"
#include "operation.h"

#include "engine/replyvalidation.h"
#include "engine/resulttexts.h"

#include <algorithm>

namespace cli {

int RunReply(const Options& options, std::ostream& out, std::ostream& err)
{
    auto preparation = PrepareOperation(options);
    if (!preparation.prepared) {
        err << preparation.refusal << "\n";
        return 1;
    }
    auto& state = preparation.prepared->state;
    const auto& reply = options.replyBytes.value_or(std::vector<std::uint8_t>{});
    // A longer reply overflows the receive buffer, and the tool never judges it.
    if (reply.size() > state.RxBuffer.size()) {
        out << "rejected\n";
        return 1;
    }
    std::copy(reply.begin(), reply.end(), state.RxBuffer.begin());
    state.RxCount = static_cast<std::int16_t>(reply.size());

    if (!engine::ValidateReply(state.RxBuffer, state.RxCount, state.RequestAddress, state.ReplyCode)) {
        out << "rejected\n";
        return 1;
    }
    out << "accepted\n" << engine::ResultTexts(state, options.meter, options.command).detail << "\n";
    return 0;
}

} // namespace cli
