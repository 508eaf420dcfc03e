#pragma once

#include "lineclient/lineclient.h"

#include <QCoreApplication>
#include <QObject>

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

// Work on a line written as one sequence of steps, each waiting for its reply
// without blocking: a coroutine suspends at `co_await reply` and is resumed
// from the event loop when the reply has finished. No nested event loop.
namespace lineclient {

// A lazily started coroutine that yields one value to whoever awaits it.
template <typename T>
class [[nodiscard]] Task
{
public:
    struct promise_type {
        std::optional<T> value;
        std::coroutine_handle<> continuation;
        Task get_return_object() { return Task(std::coroutine_handle<promise_type>::from_promise(*this)); }
        std::suspend_always initial_suspend() noexcept { return {}; }
        struct Final {
            bool await_ready() noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> h) noexcept
            {
                const auto next = h.promise().continuation;
                return next ? next : std::noop_coroutine();
            }
            void await_resume() noexcept {}
        };
        Final final_suspend() noexcept { return {}; }
        void return_value(T v) { value = std::move(v); }
        void unhandled_exception() { std::terminate(); }
    };

    Task(Task &&other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
    Task &operator=(Task &&) = delete;
    ~Task()
    {
        if (m_handle)
            m_handle.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept
    {
        m_handle.promise().continuation = awaiting;
        return m_handle;
    }
    T await_resume() { return std::move(*m_handle.promise().value); }

private:
    explicit Task(std::coroutine_handle<promise_type> handle) : m_handle(handle) {}
    std::coroutine_handle<promise_type> m_handle;
};

// A coroutine nobody awaits: it runs at once and frees itself at its end.
struct Detached {
    struct promise_type {
        Detached get_return_object() { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() {}
        void unhandled_exception() { std::terminate(); }
    };
};

// `co_await AllOf<T>{tasks}`: every task run at the same time (each on its
// own line), their values in the tasks' order once the last has ended.
template <typename T>
struct AllOf {
    std::vector<Task<T>> tasks;
    std::vector<std::optional<T>> values = {};
    std::size_t left = 0;
    bool await_ready() const { return tasks.empty(); }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        values.resize(tasks.size());
        left = tasks.size();
        for (std::size_t i = 0; i < tasks.size(); ++i)
            [](AllOf *all, std::size_t i, std::coroutine_handle<> awaiting) -> Detached {
                all->values[i] = co_await std::move(all->tasks[i]);
                // The last one resumes the waiting work from the event loop,
                // never from inside another task's own resumption.
                if (--all->left == 0)
                    QMetaObject::invokeMethod(QCoreApplication::instance(), [awaiting] { awaiting.resume(); },
                                              Qt::QueuedConnection);
            }(this, i, awaiting);
    }
    std::vector<T> await_resume()
    {
        std::vector<T> out;
        for (auto &value : values)
            out.push_back(std::move(*value));
        return out;
    }
};

// `co_await Finished{reply}`: the reply's result once it has finished; the
// reply is then deleted. Resumed from the event loop, never from inside the
// line client's own signal, so the awaiting code may do anything with it.
struct Finished {
    LineReply *reply;
    bool await_ready() const { return reply->isFinished(); }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        QObject::connect(reply, &LineReply::finished, reply, [awaiting] { awaiting.resume(); },
                         static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    }
    serial::ExchangeResult await_resume()
    {
        serial::ExchangeResult result = reply->result();
        reply->deleteLater();
        return result;
    }
};

// `co_await Opened{client}`: the client's open, as an error (None: opened) and
// the reason said.
struct Opened {
    explicit Opened(LineClient &c) : client(c) {}
    LineClient &client;
    serial::PortError error = serial::PortError::None;
    QString reason;
    QMetaObject::Connection done, failed;
    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        done = QObject::connect(&client, &LineClient::opened, &client, [this, awaiting] {
            QObject::disconnect(failed);
            QObject::disconnect(done);
            awaiting.resume();
        }, Qt::QueuedConnection);
        failed = QObject::connect(&client, &LineClient::openFailed, &client,
                                  [this, awaiting](serial::PortError e, const QString &why) {
                                      QObject::disconnect(failed);
                                      QObject::disconnect(done);
                                      error = e;
                                      reason = why;
                                      awaiting.resume();
                                  }, Qt::QueuedConnection);
        client.open();
    }
    std::pair<serial::PortError, QString> await_resume() { return {error, reason}; }
};

} // namespace lineclient
