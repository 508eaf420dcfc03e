#include "commands.h"
#include "commissioning/operationchoice.h"

#include "engine/replyline.h"
#include "engine/replyvalidation.h"
#include "engine/resulttexts.h"

#include <algorithm>

namespace cli {

int RunReply(const Options& options, std::ostream& out, std::ostream& err)
{
    auto preparation = commissioning::PrepareOperation(options);
    if (!preparation.prepared) {
        err << preparation.refusal << "\n";
        return 1;
    }
    const auto& state = preparation.prepared->state;
    const auto& reply = options.replyBytes.value_or(std::vector<std::uint8_t>{});
    // A longer reply overflows the receive buffer, and the tool never judges it.
    if (reply.size() > static_cast<std::size_t>(engine::RxBufferSize)
        || !engine::ValidateReply(reply, static_cast<int>(reply.size()), state.RequestAddress, state.ReplyCode)) {
        out << "rejected\n";
        return 1;
    }
    out << "accepted\n" << engine::ResultTexts(state, reply, options.meter, options.command).detail << "\n";
    return 0;
}

} // namespace cli
