// Keeps a page's controls in step with the settings, whoever changes them
// (another page, the tray, tilewisectl): each refresher runs on every
// change of the store for as long as the page lives.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tilewise {

class DefaultsStore;

class StoreBinding : public QObject {
public:
    StoreBinding(DefaultsStore& store, QObject* owner);
    ~StoreBinding() override;
    // Runs now and after every change of the store.
    void add(std::function<void()> refresh);
    // Runs after changes of these keys only.
    void onKeys(std::vector<std::string> keys, std::function<void()> refresh);

private:
    DefaultsStore& store_;
    std::uint64_t observer_ = 0;
    std::vector<std::function<void()>> refreshers_;
    std::vector<std::pair<std::vector<std::string>, std::function<void()>>> keyed_;
};

} // namespace tilewise
