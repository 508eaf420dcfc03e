#include "job.h"

#include <QTimer>

#include <algorithm>

namespace jobs {

Job::~Job() = default;

void Job::Pause::await_suspend(std::coroutine_handle<> awaiting)
{
    auto *timer = new QTimer(&job);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    job.m_pauses.push_back(timer);
    QObject::connect(timer, &QTimer::timeout, &job, [this, timer, awaiting] {
        std::erase(job.m_pauses, timer);
        timer->deleteLater();
        awaiting.resume();
    });
    timer->start(wait);
}

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
    for (auto *timer : m_pauses)
        timer->start(0);
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
    session->setObserver([this, port = setup.port](std::span<const std::uint8_t> request, const serial::ExchangeResult &result) {
        emit exchanged(port, request, result);
    });
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
