#pragma once

class QVariant;

// How the records read a value back from the settings file, which a person may have edited.
namespace StoredValue {

enum class Spelling {
    // Exactly as QSettings writes it.
    Exact,
    // White space around the word, and a value of another type whose text is the word, count
    // as well: the [display] group has always been read so.
    Loose,
};

// A flag: "true" or "false" as QSettings writes it, or a bool not yet written out. Anything
// else (a hand-written "yes" or "1", a stray value, nothing at all) is not a choice the
// operator made and reads as `fallback`, so that no text written by mistake switches a role on.
// `known`, where given, says whether the value was one of the two words.
bool flagFromValue(const QVariant &value, bool fallback = false,
                   Spelling spelling = Spelling::Exact, bool *known = nullptr);

} // namespace StoredValue
