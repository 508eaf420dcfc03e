#include "fakeserialline.h"


#include <QThread>
#include <QTimer>

using serial::PortError;

char *serial::toString(PortError error)
{
    switch (error) {
    case PortError::None: return qstrdup("None");
    case PortError::NotFound: return qstrdup("NotFound");
    case PortError::Busy: return qstrdup("Busy");
    case PortError::NotOpen: return qstrdup("NotOpen");
    case PortError::Unsupported: return qstrdup("Unsupported");
    case PortError::Io: return qstrdup("Io");
    case PortError::Unreachable: return qstrdup("Unreachable");
    }
    return qstrdup("?");
}

void FakeSerialLine::vanish()
{
    m_openable.removeAll(m_name);
    m_busy.removeAll(m_name);
    if (!m_open)
        return;
    // As the real port: closed at once, said so on the next turn.
    m_open = false;
    m_input.clear();
    QTimer::singleShot(0, this, [this] { emit lost(); });
}

void FakeSerialLine::deliver(const QByteArray &chunk)
{
    m_input.append(chunk);
    emit received();
}

PortError FakeSerialLine::open()
{
    ++m_openCalls;
    if (m_open)
        return PortError::None;
    if (m_slow.contains(m_name))
        QThread::msleep(static_cast<unsigned long>(m_slowMillis));
    if (m_busy.contains(m_name))
        return PortError::Busy;
    if (!m_openable.contains(m_name))
        return PortError::NotFound;
    m_open = true;
    m_opened.append(m_name);
    return PortError::None;
}

void FakeSerialLine::close()
{
    ++m_closeCalls;
    m_open = false;
    m_input.clear();
}

PortError FakeSerialLine::applySettings(const engine::LineSettings &settings)
{
    const QString settingsText = QString::fromStdString(engine::settingsText(settings));
    if (m_refusedTexts.contains(settingsText) || (m_refuses && m_refuses(settingsText)))
        return PortError::Unsupported;
    m_settingsText = settingsText;
    m_settingsHistory.append(settingsText);
    return PortError::None;
}

PortError FakeSerialLine::setHandshaking(serial::Handshake handshake)
{
    m_handshaking = handshake;
    return PortError::None;
}

void FakeSerialLine::configureBuffers(int inputBufferSize, int outputBufferSize)
{
    m_inputBufferSize = inputBufferSize;
    m_outputBufferSize = outputBufferSize;
}

PortError FakeSerialLine::write(const QByteArray &bytes)
{
    if (!m_open)
        return PortError::NotOpen;
    if (m_writeFailure != PortError::None)
        return m_writeFailure;
    m_written.append(bytes);
    if (!m_script.isEmpty()) {
        deliverInTurn(m_script);
        m_script.clear();
    }
    return PortError::None;
}

QByteArray FakeSerialLine::readAll()
{
    // A closed port receives nothing, whatever was delivered to it.
    if (!m_open)
        return {};
    return std::exchange(m_input, {});
}

void FakeSerialLine::discardInput()
{
    ++m_discards;
    m_input.clear();
}

void FakeSerialLine::deliverInTurn(QList<QByteArray> chunks)
{
    if (chunks.isEmpty())
        return;
    ++m_deliveriesQueued;
    QTimer::singleShot(0, this, [this, chunks]() mutable {
        --m_deliveriesQueued;
        if (!m_open)
            return;
        deliver(chunks.takeFirst());
        deliverInTurn(chunks);
    });
}
