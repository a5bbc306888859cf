#include "devsim/VirtualFileSystem.h"

namespace lm::sim {

namespace {

constexpr std::string_view kConfigDir = "/etc/config/";
constexpr std::string_view kRamDirs[] = {"/tmp/", "/var/tmp/"};
constexpr std::string_view kStandardDirs[] = {"/",           "/bin",     "/dev",       "/etc",
                                              "/etc/config", "/proc",    "/tmp",       "/var",
                                              "/var/tmp",    "/var/log", "/var/httpd", "/var/run"};

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::map<std::string, std::string> configPart(const std::map<std::string, std::string>& files) {
    std::map<std::string, std::string> part;
    for (const auto& [path, text] : files)
        if (path.starts_with(kConfigDir)) part.emplace(path, text);
    return part;
}

}  // namespace

VirtualFileSystem::VirtualFileSystem(std::map<std::string, std::string> factory)
    : factory_(std::move(factory)), files_(factory_), flash_(configPart(factory_)) {
    for (std::string_view dir : kStandardDirs)
        directories_.emplace(dir);
    for (const auto& [path, text] : factory_)
        for (std::string dir = parentOf(path); dir != "/"; dir = parentOf(dir))
            directories_.insert(dir);
}

std::string VirtualFileSystem::resolve(std::string_view cwd, std::string_view path) {
    std::string joined =
        path.starts_with('/') ? std::string(path) : std::string(cwd) + "/" + std::string(path);
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= joined.size()) {
        std::size_t end = joined.find('/', at);
        if (end == std::string::npos) end = joined.size();
        const std::string part = joined.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string clean;
    for (const std::string& part : parts)
        clean += "/" + part;
    return clean.empty() ? "/" : clean;
}

std::optional<std::string> VirtualFileSystem::read(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = files_.find(path);
    if (it == files_.end()) return std::nullopt;
    return it->second;
}

bool VirtualFileSystem::isDirectoryLocked(const std::string& path) const {
    return directories_.contains(path);
}

bool VirtualFileSystem::isDirectory(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return isDirectoryLocked(path);
}

bool VirtualFileSystem::exists(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return files_.contains(path) || isDirectoryLocked(path);
}

VirtualFileSystem::Result VirtualFileSystem::writableLocked(const std::string& path) const {
    if (isDirectoryLocked(path)) return Result::IsDirectory;
    if (!isDirectoryLocked(parentOf(path))) return Result::NotFound;
    if (!files_.contains(path) && files_.size() >= kMaxFiles) return Result::NoSpace;
    return Result::Ok;
}

VirtualFileSystem::Result VirtualFileSystem::writable(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return writableLocked(path);
}

VirtualFileSystem::Result VirtualFileSystem::write(const std::string& path, std::string content) {
    std::lock_guard lock(mutex_);
    if (const Result result = writableLocked(path); result != Result::Ok) return result;
    if (content.size() > kMaxFileBytes) return Result::NoSpace;
    files_[path] = std::move(content);
    return Result::Ok;
}

VirtualFileSystem::Result VirtualFileSystem::remove(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (isDirectoryLocked(path)) return Result::IsDirectory;
    return files_.erase(path) ? Result::Ok : Result::NotFound;
}

VirtualFileSystem::Result VirtualFileSystem::move(const std::string& from, const std::string& to) {
    std::lock_guard lock(mutex_);
    const auto it = files_.find(from);
    if (it == files_.end()) return isDirectoryLocked(from) ? Result::IsDirectory : Result::NotFound;
    const std::string target = isDirectoryLocked(to) ? resolve(to, nameOf(from)) : to;
    if (isDirectoryLocked(target)) return Result::IsDirectory;
    if (!isDirectoryLocked(parentOf(target))) return Result::NotFound;
    if (target == from) return Result::Ok;
    std::string content = std::move(it->second);
    files_.erase(it);
    files_[target] = std::move(content);
    return Result::Ok;
}

std::optional<std::vector<VirtualFileSystem::Entry>> VirtualFileSystem::list(const std::string& path) const {
    std::lock_guard lock(mutex_);
    if (const auto it = files_.find(path); it != files_.end())
        return std::vector<Entry>{{path, false, it->second.size()}};
    if (!isDirectoryLocked(path)) return std::nullopt;
    std::map<std::string, Entry> entries;
    for (const std::string& dir : directories_)
        if (dir != "/" && parentOf(dir) == path) entries[nameOf(dir)] = {nameOf(dir), true, 0};
    for (const auto& [file, text] : files_)
        if (parentOf(file) == path) entries[nameOf(file)] = {nameOf(file), false, text.size()};
    std::vector<Entry> result;
    for (auto& [name, entry] : entries)
        result.push_back(std::move(entry));
    return result;
}

void VirtualFileSystem::saveConfig() {
    std::lock_guard lock(mutex_);
    flash_ = configPart(files_);
}

void VirtualFileSystem::eraseConfig() {
    std::lock_guard lock(mutex_);
    flash_ = configPart(factory_);
}

void VirtualFileSystem::restart() {
    std::lock_guard lock(mutex_);
    std::erase_if(files_, [](const auto& file) {
        if (file.first.starts_with(kConfigDir)) return true;
        for (std::string_view ram : kRamDirs)
            if (file.first.starts_with(ram)) return true;
        return false;
    });
    files_.insert(flash_.begin(), flash_.end());
}

}  // namespace lm::sim
