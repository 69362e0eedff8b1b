// The per-user key-value store that holds every setting.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tilewise {

// Booleans and strings stay distinct: a stored shortcut may be the boolean
// false or a JSON string.
using DefaultsValue = std::variant<bool, std::string>;

class DefaultsStore {
public:
    using ChangeObserver = std::function<void(const std::vector<std::string>& keys)>;
    using ObserverId = std::uint64_t;

    virtual ~DefaultsStore() = default;

    virtual std::optional<DefaultsValue> value(const std::string& key) const = 0;
    // False when the change could not be committed; it then holds in this
    // process's memory only, and the store has said why.
    virtual bool set(const std::string& key, const DefaultsValue& value) = 0;
    virtual bool remove(const std::string& key) = 0;
    // Every key with its value, for listing.
    virtual std::map<std::string, DefaultsValue> allValues() const = 0;

    // Changes made between the two are committed together, at the end; a
    // store that commits each change at once may ignore them. Nested calls
    // commit at the outermost end.
    virtual void beginBatch() {}
    virtual bool endBatch() { return true; }

    // Told the keys whose values changed, whoever changed them (this
    // process, or another one when the store can see that).
    ObserverId addChangeObserver(ChangeObserver observer);
    void removeChangeObserver(ObserverId id);

    // Boolean semantics: absent, or not a boolean, reads as false.
    bool boolValue(const std::string& key) const;
    std::optional<std::string> stringValue(const std::string& key) const;
    bool contains(const std::string& key) const { return value(key).has_value(); }

protected:
    void notifyChanged(const std::vector<std::string>& keys);

private:
    std::vector<std::pair<ObserverId, ChangeObserver>> observers_;
    ObserverId nextObserverId_ = 1;
};

// Commits the changes made during its life in one write.
class DefaultsBatch {
public:
    explicit DefaultsBatch(DefaultsStore& store) : store_(store) { store_.beginBatch(); }
    ~DefaultsBatch() { store_.endBatch(); }
    DefaultsBatch(const DefaultsBatch&) = delete;
    DefaultsBatch& operator=(const DefaultsBatch&) = delete;

private:
    DefaultsStore& store_;
};

} // namespace tilewise
