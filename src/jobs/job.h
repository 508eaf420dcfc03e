#pragma once

#include "linesession.h"

#include <QObject>

#include <coroutine>
#include <memory>
#include <span>
#include <string>
#include <vector>

// A piece of commissioning work on one or more lines, run on the event loop
// and driven by its replies: it reports as it goes, ends once with
// finished(), and can be cancelled at any point.
namespace jobs {

// How the work on one line ended.
enum class LineEnd { Done, PortFailed, Stopped };

class Job : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    ~Job() override;

    // Starts the work; finished() comes once, later or at once.
    void start();
    // Ends what runs on every line (its exchange: aborted) and sends nothing
    // more: each line is left closed, so the next program can open it.
    void cancel();
    bool cancelled() const { return m_cancelled; }
    bool isFinished() const { return m_finished; }

signals:
    // Every request sent on a line and what came back, for a trace.
    void exchanged(const std::string &port, std::span<const std::uint8_t> request, const serial::ExchangeResult &result);
    void finished();

protected:
    // The work itself; its value is not used.
    virtual Task<bool> run() = 0;

    // `work(i)` for every line i at the same time; their values in the lines' order.
    template <typename T, typename Self>
    Task<std::vector<T>> onEachLine(std::size_t lines, Task<T> (Self::*work)(std::size_t))
    {
        std::vector<Task<T>> tasks;
        for (std::size_t i = 0; i < lines; ++i)
            tasks.push_back((static_cast<Self *>(this)->*work)(i));
        lineclient::AllOf<T> all{std::move(tasks)}; // named: the lines point at it while they run
        co_return co_await all;
    }

    // Opens a line of the job, owned by the job until close(); nullptr with
    // the reason, or once cancelled.
    Task<LineSession *> open(const LineSetup &setup, std::string &reason);
    void close(LineSession *session);
    // `co_await pause(ms)`: resumed from the event loop after `ms`, or at once
    // when the job is cancelled meanwhile.
    struct Pause {
        Job &job;
        std::chrono::milliseconds wait;
        bool await_ready() const { return job.m_cancelled || wait.count() <= 0; }
        void await_suspend(std::coroutine_handle<> awaiting);
        void await_resume() const {}
    };
    Pause pause(std::chrono::milliseconds wait) { return Pause{*this, wait}; }

private:
    std::vector<std::unique_ptr<LineSession>> m_sessions;
    std::vector<class QTimer *> m_pauses; // running: a cancel ends them at once
    bool m_cancelled = false;
    bool m_started = false;
    bool m_finished = false;
};

// `co_await JobDone{job}`: resumed from the event loop once the job has finished.
struct JobDone {
    Job &job;
    bool await_ready() const { return job.isFinished(); }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        QObject::connect(&job, &Job::finished, &job, [awaiting] { awaiting.resume(); },
                         static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    }
    void await_resume() const {}
};

} // namespace jobs
