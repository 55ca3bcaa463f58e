#include "link/ReceiveQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

void signalEventFd(int eventFd)
{
    if (eventFd >= 0) {
        const eventfd_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(eventFd, &one, sizeof one);
    }
}

void drainEventFd(int eventFd)
{
    if (eventFd >= 0) {
        eventfd_t value = 0;
        [[maybe_unused]] const ssize_t got = ::read(eventFd, &value, sizeof value);
    }
}

ComReceiveQueue::ComReceiveQueue(qsizetype capacity)
    : m_ring(static_cast<std::size_t>(capacity))
    , m_limit(capacity)
{
}

void ComReceiveQueue::setCapacity(qsizetype capacity)
{
    std::lock_guard lock(m_mutex);
    std::vector<char> ring(static_cast<std::size_t>(std::max(capacity, m_count)));
    const qsizetype size = static_cast<qsizetype>(m_ring.size());
    for (qsizetype i = 0; i < m_count; ++i)
        ring[static_cast<std::size_t>(i)] = m_ring[static_cast<std::size_t>((m_head + i) % size)];
    m_ring.swap(ring);
    m_head = 0;
    m_limit = capacity;
    freed();
}

qsizetype ComReceiveQueue::capacity() const
{
    std::lock_guard lock(m_mutex);
    return m_limit;
}

void ComReceiveQueue::setDiscardNull(bool discard)
{
    std::lock_guard lock(m_mutex);
    m_discardNull = discard;
}

void ComReceiveQueue::setEventChar(unsigned char ch)
{
    std::lock_guard lock(m_mutex);
    m_eventChar = static_cast<char>(ch);
}

qsizetype ComReceiveQueue::count() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

qsizetype ComReceiveQueue::freeSpace() const
{
    return std::max<qsizetype>(0, m_limit - m_count);
}

qsizetype ComReceiveQueue::filter(char* data, qsizetype length, bool* sawEventChar) const
{
    if (sawEventChar && std::memchr(data, m_eventChar, static_cast<std::size_t>(length)))
        *sawEventChar = true;
    if (!m_discardNull)
        return length;
    return std::remove(data, data + length, '\0') - data;
}

ComReceiveQueue::Fill ComReceiveQueue::fillFrom(int fd)
{
    std::lock_guard lock(m_mutex);
    Fill fill;
    const qsizetype before = m_count;
    const qsizetype size = static_cast<qsizetype>(m_ring.size());
    while (freeSpace() > 0) {
        const qsizetype tail = (m_head + m_count) % size;
        const qsizetype chunk = std::min(freeSpace(), size - tail);
        char* const at = m_ring.data() + tail;
        const ssize_t got = ::read(fd, at, static_cast<std::size_t>(chunk));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN) {
                fill.error = errno;
                fill.closed = true;
            }
            break;
        }
        if (got == 0) {
            fill.closed = true;
            break;
        }
        const qsizetype kept = filter(at, got, &fill.eventChar);
        m_count += kept;
        fill.added += kept;
        if (got < chunk)
            break;
    }
    // 80 % of the size, reached by this fill.
    if (before * 5 < m_limit * 4 && m_count * 5 >= m_limit * 4 && fill.added > 0)
        fill.reached80 = true;
    if (fill.added > 0)
        for (int waiter : m_waiters)
            signalEventFd(waiter);
    return fill;
}

bool ComReceiveQueue::parkIfFull()
{
    std::lock_guard lock(m_mutex);
    m_parked = freeSpace() == 0;
    return m_parked;
}

void ComReceiveQueue::setWakeFd(int eventFd)
{
    std::lock_guard lock(m_mutex);
    m_wakeFd = eventFd;
    m_parked = false;
}

void ComReceiveQueue::clearWakeFd(int eventFd)
{
    std::lock_guard lock(m_mutex);
    if (m_wakeFd == eventFd) {
        m_wakeFd = -1;
        m_parked = false;
    }
}

qsizetype ComReceiveQueue::take(char* dest, qsizetype max, int fd, int& error, bool& closed)
{
    std::lock_guard lock(m_mutex);
    error = 0;
    closed = false;
    qsizetype got = 0;
    const qsizetype size = static_cast<qsizetype>(m_ring.size());
    while (got < max && m_count > 0) {
        const qsizetype chunk = std::min({max - got, m_count, size - m_head});
        std::memcpy(dest + got, m_ring.data() + m_head, static_cast<std::size_t>(chunk));
        got += chunk;
        m_head = (m_head + chunk) % size;
        m_count -= chunk;
    }
    if (m_count == 0)
        m_head = 0;
    while (got < max && fd >= 0) {
        const qsizetype want = max - got;
        const ssize_t n = ::read(fd, dest + got, static_cast<std::size_t>(want));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                error = errno;
            break;
        }
        if (n == 0) {
            closed = true;
            break;
        }
        got += filter(dest + got, n, nullptr);
        if (n < want)
            break;
    }
    if (got > 0)
        freed();
    return got;
}

void ComReceiveQueue::clear()
{
    std::lock_guard lock(m_mutex);
    m_head = 0;
    m_count = 0;
    freed();
}

void ComReceiveQueue::freed()
{
    if (m_parked && freeSpace() > 0) {
        m_parked = false;
        signalEventFd(m_wakeFd);
    }
}

void ComReceiveQueue::addWaiter(int eventFd)
{
    std::lock_guard lock(m_mutex);
    m_waiters.push_back(eventFd);
}

void ComReceiveQueue::removeWaiter(int eventFd)
{
    std::lock_guard lock(m_mutex);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), eventFd), m_waiters.end());
}
