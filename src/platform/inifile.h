#pragma once

// The settings file's format, the INI format Qt's settings write: sections
// of "key=value" lines. It is read as Qt's settings 6.4 read it, so that a
// file either wrote or a user edited means the same to both, and written
// byte for byte as they write it, but where the user's text is kept (the
// README's "Where the settings live" lists each difference).

#include <QByteArray>
#include <QHash>
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
    // Reads a file's bytes, in time linear in their number. Keys outside
    // any section, or in [General], are in the section named "".
    static IniFile parse(QByteArrayView bytes);
    // The file's text, in the order the sections and keys were first set:
    // whole, or given to put in pieces (false as soon as put fails).
    [[nodiscard]] QByteArray text() const;
    bool writeTo(const WriteBytes& put) const;

    [[nodiscard]] const QString* value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void removeSection(const QString& section);

private:
    using Keys = std::vector<std::pair<QString, QString>>;
    // Where each key of a section is in its list: an open-addressing table
    // of the keys' hashes and places, half empty at most. A store holds
    // some hundred thousand keys, and each save sets every one of them; a
    // QHash of the keys made the 32,767-type save of make bench a fifth to
    // a third slower. The hash is Qt's, seeded anew in each run, so that no
    // file can make its keys' places collide.
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
    [[nodiscard]] const Section* find(const QString& section) const;
    // The section's place in sections_, where an empty one is added if
    // there is none.
    std::size_t place(const QString& section);
    static void set(Section& s, const QString& key, const QString& value);

    std::vector<Section> sections_;
    QHash<QString, std::size_t> sectionAt_; // each section's place in sections_
};

} // namespace orvane::platform
