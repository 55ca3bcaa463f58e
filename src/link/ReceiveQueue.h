#pragma once

#include <QtGlobal>

#include <mutex>
#include <vector>

// The port's own receive queue of Buffer.InputSize bytes. The event thread
// moves what the device receives into it; reads take from it first and then
// straight from the device, all under one lock, so bytes leave in the order
// they arrived whoever reads. The queue never drops a byte: when it is full
// the thread stops reading and the rest waits in the kernel, which holds the
// sender back by the line's handshake or counts its own overflow (reported
// as ceRxOver from the driver's counters).
class ComReceiveQueue {
public:
    struct Fill {
        qsizetype added = 0;    // bytes put into the queue
        bool eventChar = false; // the event character was among them
        bool reached80 = false; // the queue passed 80 % of its size
        bool closed = false;    // the device hung up (end of file or an I/O error)
        int error = 0;          // errno of a failed read
    };

    explicit ComReceiveQueue(qsizetype capacity = 1024);

    // A smaller size keeps the bytes held; it takes effect as they are read.
    void setCapacity(qsizetype capacity);
    qsizetype capacity() const;
    void setDiscardNull(bool discard);
    void setEventChar(unsigned char ch);
    qsizetype count() const;

    // The event thread: moves what the device holds into the free space.
    Fill fillFrom(int fd);
    // True when there is no free space; the queue then signals the wake
    // descriptor as soon as a read frees some.
    bool parkIfFull();
    void setWakeFd(int eventFd);
    // Forgets the wake descriptor if it is still this one (a newer thread may have set its own).
    void clearWakeFd(int eventFd);

    // Up to max bytes, oldest first.
    qsizetype take(char* dest, qsizetype max, int fd, int& error, bool& closed);
    void clear();

    // A pending read's eventfd, signalled whenever the thread adds bytes.
    void addWaiter(int eventFd);
    void removeWaiter(int eventFd);

private:
    qsizetype freeSpace() const;
    // Drops NULs when asked and looks for the event character; returns the
    // number of bytes kept at the start of data.
    qsizetype filter(char* data, qsizetype length, bool* sawEventChar) const;
    void freed();

    mutable std::mutex m_mutex;
    std::vector<char> m_ring;
    qsizetype m_limit;
    qsizetype m_head = 0;
    qsizetype m_count = 0;
    bool m_discardNull = false;
    char m_eventChar = 0;
    bool m_parked = false;
    int m_wakeFd = -1;
    std::vector<int> m_waiters;
};

// Signals an eventfd; failures cannot happen short of a closed descriptor.
void signalEventFd(int eventFd);
// Empties an eventfd so the next poll waits again.
void drainEventFd(int eventFd);
