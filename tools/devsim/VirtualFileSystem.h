#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lm::sim {

// A device's files: plain text by absolute path, with the flash behaviour of the real thing. The
// /etc/config files are kept in flash by "config save" and come back from it at every reboot; RAM
// folders (/tmp, /var/tmp) start empty. Safe to use from several sessions at once.
class VirtualFileSystem {
public:
    static constexpr std::size_t kMaxFileBytes = 1 << 20;
    static constexpr std::size_t kMaxFiles = 1024;

    struct Entry {
        std::string name;
        bool directory = false;
        std::size_t size = 0;
    };

    enum class Result { Ok, NotFound, IsDirectory, NoSpace };

    explicit VirtualFileSystem(std::map<std::string, std::string> factory);

    // The absolute, clean form of path as seen from folder cwd ("." and ".." resolved); "/" for empty.
    static std::string resolve(std::string_view cwd, std::string_view path);

    std::optional<std::string> read(const std::string& path) const;
    bool isDirectory(const std::string& path) const;
    bool exists(const std::string& path) const;
    // Creates or replaces a file in an existing folder.
    Result write(const std::string& path, std::string content);
    // What opening path for writing would meet now, before anything is written (a shell's "> path").
    Result writable(const std::string& path) const;
    Result remove(const std::string& path);
    // Into a folder when to names one (keeping the name), else to that path.
    Result move(const std::string& from, const std::string& to);
    // A folder's entries by name, or the file itself; nullopt when path does not exist.
    std::optional<std::vector<Entry>> list(const std::string& path) const;

    // The flash side of /etc/config.
    void saveConfig();
    void eraseConfig();
    // What a restart leaves: RAM folders emptied, /etc/config as last saved.
    void restart();

private:
    bool isDirectoryLocked(const std::string& path) const;
    Result writableLocked(const std::string& path) const;

    mutable std::mutex mutex_;
    const std::map<std::string, std::string> factory_;
    std::map<std::string, std::string> files_;
    std::map<std::string, std::string> flash_;  // /etc/config as saved
    std::set<std::string> directories_;
};

}  // namespace lm::sim
