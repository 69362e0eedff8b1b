#include "app/shortcut_status.hpp"

#include "platform/diagnostics.hpp"
#include "settings/atomic_file.hpp"

#include <nlohmann/json.hpp>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace tilewise {

std::string encodeShortcutStatus(long pid, const std::vector<KeyboardShortcuts::Refusal>& refusals)
{
    nlohmann::json refused = nlohmann::json::object();
    for (const KeyboardShortcuts::Refusal& r : refusals)
        refused[r.name] = std::string(describe(r.status));
    return nlohmann::json{{"pid", pid}, {"refused", refused}}.dump() + "\n";
}

std::optional<ShortcutRefusals> readShortcutStatus(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    nlohmann::json j = nlohmann::json::parse(text.str(), nullptr, false);
    if (!j.is_object() || !j.contains("pid") || !j["pid"].is_number_integer() || !j.contains("refused") ||
        !j["refused"].is_object())
        return std::nullopt;
    // A program that died without removing its file tells nothing.
    const long pid = j["pid"].get<long>();
    if (pid <= 0 || (kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return std::nullopt;
    ShortcutRefusals refusals;
    for (const auto& [name, why] : j["refused"].items())
        if (why.is_string())
            refusals[name] = why.get<std::string>();
    return refusals;
}

ShortcutStatusFile::ShortcutStatusFile(std::string path, KeyboardShortcuts& shortcuts)
    : path_(std::move(path)), shortcuts_(shortcuts)
{
    shortcuts_.setRefusalObserver([this] { update(); });
    update();
}

ShortcutStatusFile::~ShortcutStatusFile()
{
    shortcuts_.setRefusalObserver(nullptr);
    if (!written_.empty())
        ::unlink(path_.c_str());
}

void ShortcutStatusFile::update()
{
    std::string text = encodeShortcutStatus(long(getpid()), shortcuts_.refusals());
    if (text == written_)
        return;
    if (std::optional<std::string> why = writeFileAtomically(path_, text)) {
        diag::problemOnce("status " + path_, "cannot publish the state of the shortcuts: " + *why);
        return;
    }
    written_ = std::move(text);
}

} // namespace tilewise
