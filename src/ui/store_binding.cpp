#include "ui/store_binding.hpp"

#include "settings/defaults_store.hpp"

#include <algorithm>

namespace tilewise {

StoreBinding::StoreBinding(DefaultsStore& store, QObject* owner) : QObject(owner), store_(store)
{
    observer_ = store_.addChangeObserver([this](const std::vector<std::string>& keys) {
        for (auto& refresh : refreshers_)
            refresh();
        for (auto& [watched, refresh] : keyed_)
            if (std::any_of(keys.begin(), keys.end(), [&](const std::string& k) {
                    return std::find(watched.begin(), watched.end(), k) != watched.end();
                }))
                refresh();
    });
}

StoreBinding::~StoreBinding()
{
    store_.removeChangeObserver(observer_);
}

void StoreBinding::add(std::function<void()> refresh)
{
    refresh();
    refreshers_.push_back(std::move(refresh));
}

void StoreBinding::onKeys(std::vector<std::string> keys, std::function<void()> refresh)
{
    keyed_.emplace_back(std::move(keys), std::move(refresh));
}

} // namespace tilewise
