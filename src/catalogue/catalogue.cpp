#include "catalogue/catalogue.h"

#include <QRegularExpression>

#include <array>

#include "platform/failure.h"
#include "shell/errorreport.h"

namespace orvane {

namespace {

using platform::Check;

const QString kNameKey = QStringLiteral("Type name ");
const QString kExtKey = QStringLiteral("Type ext ");
const QString kPathKey = QStringLiteral("Type path ");
const QString kDescKey = QStringLiteral("Type desc ");
const QString kAppKey = QStringLiteral("Type app ");

template <typename T> T& required(T* control)
{
    if (control == nullptr) {
        platform::fail(Check::InvalidValue);
    }
    return *control;
}

} // namespace

TypeRecord& TypeAt(Globals& g, int position)
{
    if (position < 0 || position >= g.NumberOfTypes || position >= static_cast<int>(g.Types.size())) {
        platform::fail(Check::OutOfRange);
    }
    return g.Types[static_cast<std::size_t>(position)];
}

void MakeRoom(Globals& g, int position)
{
    if (position < 0) {
        platform::fail(Check::OutOfRange);
    }
    g.Types.resize(static_cast<std::size_t>(position) + 1);
}

std::int16_t ParseCount(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^[ \\t]*\\+?[ \\t]*([0-9]+)[ \\t]*$"));
    const auto match = form.match(text);
    if (!match.hasMatch()) {
        platform::fail(Check::NotANumber);
    }
    const QString digits = match.captured(1);
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok);
    if (!ok || value > 32767) {
        platform::fail(Check::Overflow);
    }
    return static_cast<std::int16_t>(value);
}

void LoadTypes(Globals& g)
{
    reporting(g, Code::GLFR, [&] {
        auto& store = g.services.settings;
        const auto read = [&](const QString& key, const QString& fallback) {
            return store.get(kAppName, kTypesSection, key, fallback);
        };
        try {
            g.NumberOfTypes = ParseCount(read(kCountKey, QStringLiteral("0")));
        } catch (const platform::Failure&) {
            g.StoreUnreadable = true;
            throw;
        }
        // A store that holds text but no count of types yields nothing the
        // program understands: it is kept as it is at the next save too.
        if (g.NumberOfTypes == 0 && read(kCountKey, {}) != u"0" && store.holdsText(kAppName)) {
            g.StoreUnreadable = true;
        }
        for (int n = 0; n < g.NumberOfTypes; ++n) {
            MakeRoom(g, n);
            const QString suffix = QString::number(n);
            auto& record = g.Types[static_cast<std::size_t>(n)];
            record.Name = read(kNameKey + suffix, {});
            record.Ext = read(kExtKey + suffix, {});
            record.Path = read(kPathKey + suffix, {});
            record.Desc = read(kDescKey + suffix, {});
            record.App = read(kAppKey + suffix, {});
        }
    });
}

bool SaveTypes(Globals& g)
{
    auto& store = g.services.settings;
    // The store is kept beside the new one when it could not be understood
    // at start, or when it holds types and the catalogue none: no save
    // replaces a user's types with nothing without a copy.
    bool emptying = false;
    skipping([&] {
        emptying = g.NumberOfTypes == 0 &&
                   store.get(kAppName, kTypesSection, kCountKey, QStringLiteral("0")) != u"0";
    });
    const bool keep = g.StoreUnreadable || emptying;
    if (keep) {
        skipping([&] { store.keepBackup(); });
    }
    const auto write = [&](const QString& key, const QString& value) {
        skipping([&] { store.save(kAppName, kTypesSection, key, value); });
    };
    skipping([&] { store.deleteSection(kAppName, kTypesSection); });
    write(kCountKey, QString::number(g.NumberOfTypes));
    for (int n = 0; n < g.NumberOfTypes; ++n) {
        skipping([&] {
            const auto& record = TypeAt(g, n);
            const QString suffix = QString::number(n);
            write(kNameKey + suffix, record.Name);
            write(kExtKey + suffix, record.Ext);
            write(kPathKey + suffix, record.Path);
            write(kDescKey + suffix, record.Desc);
            write(kAppKey + suffix, record.App);
        });
    }
    bool written = false;
    skipping([&] { written = store.flush(); });
    // Once written, the store holds what the catalogue holds, and a later
    // save of this run (a checkpoint's, then the one at exit) leaves the
    // copy as it is; until then the old store is still to be kept.
    g.StoreUnreadable = keep && !written;
    return written;
}

void FillTypeCombos(Globals& g)
{
    reporting(g, Code::GLTTC, [&] {
        // The main window first, then the preferences window, at each step.
        const std::array<TypeListView*, 2> views = {g.views.main, g.views.pref};
        const auto each = [&](auto step) {
            for (TypeListView* view : views) {
                step(required(view));
            }
        };
        each([](TypeListView& view) { view.clearTypeList(); });
        each([](TypeListView& view) { view.emptyFileList(); });
        each([](TypeListView& view) { view.disableEditing(); });
        // Both lists get the names in one change each; the names read
        // before a failing one are listed too.
        QStringList names;
        names.reserve(g.NumberOfTypes);
        try {
            for (int n = 0; n < g.NumberOfTypes; ++n) {
                names.append(TypeAt(g, n).Name);
            }
        } catch (const platform::Failure&) {
            each([&](TypeListView& view) { view.listTypes(names); });
            throw;
        }
        each([&](TypeListView& view) { view.listTypes(names); });
        each([](TypeListView& view) { view.chooseNoType(); });
    });
}

void AddType(Globals& g, const TypeRecord& record)
{
    const int slot = g.NumberOfTypes;
    MakeRoom(g, slot);
    g.Types[static_cast<std::size_t>(slot)] = record;
    g.NumberOfTypes = platform::add16(g.NumberOfTypes, 1);
    FillTypeCombos(g);
}

void RemoveRecord(Globals& g, int position)
{
    TypeAt(g, position); // only a position inside the catalogue can go
    for (int i = position; i <= g.NumberOfTypes - 2; ++i) {
        const TypeRecord& next = TypeAt(g, i + 1);
        auto& record = TypeAt(g, i);
        record.Name = next.Name;
        record.Ext = next.Ext;
        record.Path = next.Path;
        record.Desc = next.Desc;
        record.App = next.App;
    }
    g.NumberOfTypes = platform::sub16(g.NumberOfTypes, 1);
}

void RemoveType(Globals& g, int position)
{
    reporting(g, Code::GDTT, [&] {
        RemoveRecord(g, position);
        FillTypeCombos(g);
    });
}

} // namespace orvane
