#include "devsim/ConnectionPool.h"

#include <sys/socket.h>

namespace lm::sim {

void ConnectionPool::accept(int listenFd, Handler handler) {
    serve(UniqueFd(::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC)), std::move(handler));
}

void ConnectionPool::serve(UniqueFd fd, Handler handler) {
    if (!fd) return;
    std::unique_lock lock(mutex_);
    reapFinished(lock);
    if (stopping_ || entries_.size() >= kMaxConnections) return;
    Entry& entry = entries_.emplace_back();
    entry.fd = std::move(fd);
    const int socket = entry.fd.get();
    entry.thread = std::thread([this, &entry, socket, handler = std::move(handler)] {
        handler(socket);
        finish(entry);
    });
}

// Closes the socket at once (a body that ends at close must end now) and marks the thread for joining.
// Under the lock, so stopAll() never shuts down a descriptor number that was reused.
void ConnectionPool::finish(Entry& entry) {
    std::lock_guard lock(mutex_);
    entry.fd.reset();
    entry.done = true;
}

void ConnectionPool::reapFinished(std::unique_lock<std::mutex>& lock) {
    std::list<Entry> finished;
    for (auto it = entries_.begin(); it != entries_.end();) {
        auto next = std::next(it);
        if (it->done) finished.splice(finished.end(), entries_, it);
        it = next;
    }
    lock.unlock();
    for (Entry& entry : finished)
        entry.thread.join();
    lock.lock();
}

bool ConnectionPool::pause(Milliseconds time) const {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, time, [this] { return stopping_; });
}

bool ConnectionPool::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void ConnectionPool::stopAll() {
    std::list<Entry> all;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (Entry& entry : entries_)
            if (entry.fd) ::shutdown(entry.fd.get(), SHUT_RDWR);
        all.splice(all.end(), entries_);
    }
    changed_.notify_all();
    for (Entry& entry : all)
        entry.thread.join();
}

}  // namespace lm::sim
