#include "job.h"

#include <algorithm>

namespace jobs {

void Job::start()
{
    if (m_started)
        return;
    m_started = true;
    [](Job *self) -> lineclient::Detached {
        co_await self->run();
        for (auto &session : self->m_sessions)
            session.reset();
        self->m_sessions.clear();
        self->m_finished = true;
        emit self->finished();
    }(this);
}

void Job::cancel()
{
    m_cancelled = true;
    for (auto &session : m_sessions)
        session->stop();
}

Task<LineSession *> Job::open(const LineSetup &setup, std::string &reason)
{
    auto session = co_await LineSession::Open(setup, reason);
    if (!session)
        co_return nullptr;
    if (m_cancelled) {
        reason = "cancelled";
        co_return nullptr;
    }
    m_sessions.push_back(std::move(session));
    co_return m_sessions.back().get();
}

void Job::close(LineSession *session)
{
    const auto it = std::find_if(m_sessions.begin(), m_sessions.end(), [session](const auto &s) { return s.get() == session; });
    if (it != m_sessions.end())
        m_sessions.erase(it);
}

} // namespace jobs
