#pragma once

// The settings file: sections of "key=value" lines, in the format QSettings
// writes, read back so that every value comes back exactly as it was saved.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/durablefile.h"

namespace orvane::platform {

class IniFile {
public:
    using Keys = std::vector<std::pair<QString, QString>>;

    // Reads the file's text. Keys may be written with %20 or plain blanks;
    // values quoted or not; an unquoted value keeps its commas and inner
    // blanks. Lines that are neither a section nor a key are skipped.
    static IniFile parse(const QByteArray& text);
    // The text QSettings would write for the same keys, in their order:
    // whole, or given to put in pieces (false as soon as put fails).
    [[nodiscard]] QByteArray text() const;
    bool writeTo(const WriteBytes& put) const;

    [[nodiscard]] const QString* value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void removeSection(const QString& section);

private:
    // Where each key of a section is in its list: an open-addressing table
    // of the keys' hashes and places, half empty at most. A store holds
    // some hundred thousand keys, and each save sets every one of them.
    class KeyIndex {
    public:
        static constexpr std::size_t kMissing = SIZE_MAX;
        // The key's place in keys, or kMissing. A slot is taken only once
        // the key at its place is the key looked for.
        [[nodiscard]] std::size_t find(const Keys& keys, QStringView key) const;
        // The key at keys[place], not yet in the table.
        void add(const Keys& keys, std::size_t place);
        // No keys, the room kept.
        void clear();

    private:
        struct Slot {
            std::uint32_t hash = 0;
            std::uint32_t place = 0; // 0 for an empty slot, else the place + 1
        };
        void grow(std::size_t slots);
        std::vector<Slot> slots_;
        std::size_t used_ = 0;
    };
    // A removed section is usually written anew at once with the same keys
    // in the same order (the program saves its whole catalogue so). Until
    // the first key that differs, its old keys are taken over one by one:
    // the index still holds each at its place, and nothing is looked up.
    struct Section {
        QString name;
        Keys keys;      // in the order they were set
        KeyIndex where; // each key's place in keys; places beyond keys are stale
        Keys previous;  // the keys before the removal, while they still match
    };
    // The section of that name in self, const or not; null when there is none.
    template <typename Self> static auto* find(Self& self, const QString& section)
    {
        for (auto& s : self.sections_) {
            if (s.name == section) {
                return &s;
            }
        }
        return static_cast<decltype(&self.sections_.front())>(nullptr);
    }

    std::vector<Section> sections_;
};

} // namespace orvane::platform
