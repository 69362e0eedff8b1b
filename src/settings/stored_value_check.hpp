// Whether a value stored under a setting's key is one the program would use,
// decided with the decoders the program reads it with: tilewisectl refuses
// to write what the program would reject or silently skip.
#pragma once

#include "settings/clip.hpp"
#include "settings/defaults_store.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

// What the program reads under a key.
enum class StoredKind {
    unknown,        // not a key the program reads: anything goes
    boolean,        // -bool only
    clipList,       // JSON array of clips, not empty
    screenClipList, // JSON array of per-screen clip lists
    stringList,     // JSON array of strings
    enumeration,    // one of a fixed set of raw values
    shortcut,       // the boolean false, or a shortcut's JSON
    actionList,     // JSON array of quick actions, each as read strictly
};

StoredKind storedKind(std::string_view key);

// Each fault is one line without the program's name, naming the key, and
// none when the program would use the value as given. Unknown keys have
// none.
std::optional<std::string> storedValueFault(std::string_view key, const DefaultsValue& value);

// The parts, for callers that hold decoded values.
std::optional<std::string> clipFault(const Clip& clip);
// `what` names the list in the text ("TilewiseClipHorizontal").
std::optional<std::string> clipListFault(std::string_view what, const std::vector<Clip>& clips);
std::optional<std::string> screenClipListFault(std::string_view key, const std::vector<ScreenClip>& screens);

// The raw values an enumeration key accepts, in declaration order; empty
// for other keys.
std::vector<std::string> enumerationValues(std::string_view key);

// The value the program uses while the key is not stored, as it would be
// stored; none for unknown keys and for shortcuts (their defaults belong
// to the shortcut catalogue).
std::optional<DefaultsValue> builtInDefault(std::string_view key);

// `text` as a JSON string literal: quoted, control characters escaped and
// invalid UTF-8 replaced, so it always fits on one line of a message.
std::string quotedForMessage(std::string_view text);

} // namespace tilewise
