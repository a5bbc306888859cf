#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace lm {

// What each device of a batch gave beyond its row, by the address it was worked on at; the jobs
// add from their own threads while the caller's table reads.
template <typename Report>
class ReportsByHost {
public:
    void add(const std::string& host, Report report) {
        const std::lock_guard lock(mutex_);
        byHost_[host] = std::move(report);
    }
    std::optional<Report> of(const std::string& host) const {
        const std::lock_guard lock(mutex_);
        const auto found = byHost_.find(host);
        if (found == byHost_.end()) return std::nullopt;
        return found->second;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, Report> byHost_;
};

}  // namespace lm
