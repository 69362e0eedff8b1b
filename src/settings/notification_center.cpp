#include "settings/notification_center.hpp"

#include <algorithm>

namespace tilewise {

NotificationCenter::ObserverId NotificationCenter::addObserver(const std::string& name, Observer observer)
{
    ObserverId id = nextId_++;
    entries_.push_back(Entry{id, name, std::move(observer)});
    return id;
}

void NotificationCenter::removeObserver(ObserverId id)
{
    std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

void NotificationCenter::post(const std::string& name, const UserInfo& userInfo)
{
    // Observers may add or remove observers while being called: work from a
    // snapshot of ids and look each one up again before calling it.
    std::vector<ObserverId> ids;
    for (const Entry& e : entries_) {
        if (e.name == name)
            ids.push_back(e.id);
    }
    for (ObserverId id : ids) {
        auto it = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
        if (it == entries_.end())
            continue;
        Observer copy = it->observer;
        copy(userInfo);
    }
}

} // namespace tilewise
