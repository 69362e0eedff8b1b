#include "settings/file_defaults_store.hpp"

#include "settings/atomic_file.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/stat.h>

namespace tilewise {

FileDefaultsStore::FileDefaultsStore(std::filesystem::path directory)
    : FileDefaultsStore(std::move(directory), std::cout)
{
}

FileDefaultsStore::FileDefaultsStore(std::filesystem::path directory, std::ostream& out)
    : directory_(std::move(directory)), path_(directory_ / fileName), out_(out)
{
}

std::filesystem::path FileDefaultsStore::defaultDirectory()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "tilewise";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".config" / "tilewise";
}

std::unique_ptr<FileDefaultsStore> FileDefaultsStore::fromEnvironment()
{
    return std::make_unique<FileDefaultsStore>(defaultDirectory());
}

FileDefaultsStore::FileStamp FileDefaultsStore::currentStamp() const
{
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0)
        return FileStamp{};
    FileStamp s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

void FileDefaultsStore::refresh() const
{
    FileStamp now = currentStamp();
    if (loaded_ && now == stamp_)
        return;
    load(now);
}

void FileDefaultsStore::load(const FileStamp& stamp) const
{
    loaded_ = true;
    stamp_ = stamp;
    badFileInPlace_ = false;
    if (!stamp.exists) {
        values_ = nlohmann::json::object();
        return;
    }
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        // Unreadable (permissions): keep what we had rather than forget it.
        out_ << "defaults: cannot read " << path_.string() << ": " << std::strerror(errno) << std::endl;
        return;
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
        nlohmann::json parsed = nlohmann::json::parse(text.str());
        if (!parsed.is_object()) {
            moveAside("not a JSON object");
            return;
        }
        values_ = std::move(parsed);
    } catch (const nlohmann::json::exception& e) {
        moveAside(e.what());
    }
}

void FileDefaultsStore::moveAside(const std::string& reason) const
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char stampText[32];
    std::strftime(stampText, sizeof stampText, "%Y%m%d-%H%M%S", &tm);
    std::filesystem::path aside = path_;
    aside += std::string(".bad-") + stampText;
    // Never replace an earlier bad file kept under the same second.
    for (int n = 1; std::filesystem::exists(aside); ++n) {
        aside = path_;
        aside += std::string(".bad-") + stampText + "-" + std::to_string(n);
    }
    std::error_code ec;
    std::filesystem::rename(path_, aside, ec);
    values_ = nlohmann::json::object();
    badFileInPlace_ = static_cast<bool>(ec);
    if (ec) {
        // The bad file stays under the real name; the stamp still matches it,
        // so it is not parsed again, and writes refuse to replace it.
        out_ << "defaults: " << path_.string() << " cannot be parsed (" << reason
             << ") and cannot be moved aside: " << ec.message() << "; starting empty" << std::endl;
        return;
    }
    stamp_ = currentStamp();
    out_ << "defaults: " << path_.string() << " cannot be parsed (" << reason << "); moved aside to "
         << aside.string() << " and starting empty" << std::endl;
}

namespace {

std::optional<DefaultsValue> fromJson(const nlohmann::json& j)
{
    if (j.is_boolean())
        return DefaultsValue(j.get<bool>());
    if (j.is_number())
        return DefaultsValue(j.get<double>());
    if (j.is_string())
        return DefaultsValue(j.get<std::string>());
    return std::nullopt;
}

nlohmann::json toJson(const DefaultsValue& v)
{
    return std::visit([](const auto& x) { return nlohmann::json(x); }, v);
}

} // namespace

std::optional<DefaultsValue> FileDefaultsStore::value(const std::string& key) const
{
    refresh();
    auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    return fromJson(*it);
}

std::map<std::string, DefaultsValue> FileDefaultsStore::all() const
{
    refresh();
    std::map<std::string, DefaultsValue> out;
    for (auto it = values_.begin(); it != values_.end(); ++it) {
        if (std::optional<DefaultsValue> v = fromJson(it.value()))
            out.emplace(it.key(), *v);
    }
    return out;
}

void FileDefaultsStore::set(const std::string& key, const DefaultsValue& v)
{
    // Merge into the newest file so another process's keys survive.
    refresh();
    values_[key] = toJson(v);
    write();
}

void FileDefaultsStore::remove(const std::string& key)
{
    refresh();
    values_.erase(key);
    write();
}

void FileDefaultsStore::write()
{
    if (badFileInPlace_) {
        out_ << "defaults: not replacing the unparsable " << path_.string() << "; kept in memory"
             << std::endl;
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(directory_, ec);
    if (ec) {
        out_ << "defaults: cannot write " << path_.string() << ": " << ec.message() << "; kept in memory"
             << std::endl;
        return;
    }
    // Replacer: text never fails to encode, whatever bytes a caller stored.
    std::string text = values_.dump(1, '\t', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (std::optional<std::string> reason = writeFileAtomically(path_, text)) {
        out_ << "defaults: cannot write " << path_.string() << ": " << *reason << "; kept in memory"
             << std::endl;
        return;
    }
    stamp_ = currentStamp();
}

} // namespace tilewise
