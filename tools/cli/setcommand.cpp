#include "changerun.h"
#include "exitstatus.h"
#include "commands.h"
#include "linesession.h"

#include "history/historylog.h"

namespace cli {

Task<int> RunSet(const Options &options, std::ostream &out, std::ostream &err)
{
    if (options.plan)
        co_return co_await RunPlan(options, out, err);
    const auto session = co_await LineSession::Open(options.line, err);
    if (!session)
        co_return status::PortFailed;
    if (session->throughGateway() && (options.newBaud || options.newParity))
        err << "note: through a gateway the tool's own side cannot follow a new baud rate or parity; the write is "
               "sent, and verified only by the meter still answering through the gateway\n";
    auto history = WindowHistoryLog();
    ChangeRun run(*session, options, history, out, err);
    const Change change{options.address, options.meter, options.newAddress, options.newBaud, options.newParity,
                        options.newStopBits};
    const auto row = co_await run.run(change);
    co_return ExitCodeOf(row.verdict);
}

} // namespace cli
