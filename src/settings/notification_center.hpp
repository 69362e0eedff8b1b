// The process's internal notifications, by which parts of the user
// interface signal each other. Delivery is synchronous, on the caller's
// (the only) thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tilewise {

namespace notification_names {
inline constexpr const char* pairWindow = "pairWindow";
inline constexpr const char* openSettingTab = "openSettingTab";
inline constexpr const char* editAction = "editAction";
inline constexpr const char* shortcutByNameDidChange = "KeyboardShortcuts_shortcutByNameDidChange";
} // namespace notification_names

namespace notification_keys {
// The raw value of a SettingTab.
inline constexpr const char* tab = "tab";
inline constexpr const char* actionId = "actionId";
inline constexpr const char* name = "name";
} // namespace notification_keys

class NotificationCenter {
public:
    using UserInfo = std::map<std::string, std::string>;
    using Observer = std::function<void(const UserInfo&)>;
    using ObserverId = std::uint64_t;

    ObserverId addObserver(const std::string& name, Observer observer);
    void removeObserver(ObserverId id);
    // Calls the observers of `name` registered when the post starts, in
    // registration order; one removed by an earlier observer is skipped.
    void post(const std::string& name, const UserInfo& userInfo = {});

private:
    struct Entry {
        ObserverId id;
        std::string name;
        Observer observer;
    };
    std::vector<Entry> entries_;
    ObserverId nextId_ = 1;
};

} // namespace tilewise
