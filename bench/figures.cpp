// The generated workspace, and the figures measured in a helper process with
// the program's own classes.

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QSettings>
#include <QStringListModel>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/bench.h"
#include "catalogue/catalogue.h"
#include "mainwin/mainform.h"
#include "platform/folder_contents.h"
#include "platform/qt_services.h"
#include "platform/system_starter.h"
#include "prefwin/prefform.h"
#include "support/harness.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

extern char** environ;

namespace orvane::bench {

namespace {

const QString kTypesGroup = u"Types/"_s;
const QStringList kFieldKeys = {u"Type name "_s, u"Type ext "_s, u"Type path "_s, u"Type desc "_s,
                                u"Type app "_s};

QStringList fields(const TypeRecord& record)
{
    return {record.Name, record.Ext, record.Path, record.Desc, record.App};
}

void touch(const QString& path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0, "cannot create %1", path);
    ::close(fd);
}

// Names in mixed case and in no order, so that listing and sorting do real
// work; every other file is "*.txt" (as ".txt" or ".TXT").
QString bigFileName(int i)
{
    static const char* const stems[] = {"report", "Report", "NOTES", "notes",
                                        "Photo",  "photo",  "data",  "Data"};
    const char* ext = i % 2 == 1 ? ".dat" : (i % 4 == 0 ? ".txt" : ".TXT");
    return u"%1 %2%3"_s.arg(QLatin1StringView(stems[i % 8]))
        .arg(static_cast<int>((static_cast<long long>(i) * 7919) % kFolderFiles), 5, 10, QLatin1Char('0'))
        .arg(QLatin1StringView(ext));
}

} // namespace

QByteArray readFile(const QString& path)
{
    QFile file(path);
    check(file.open(QIODevice::ReadOnly), "cannot read %1", path);
    return file.readAll();
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

QString Workspace::freshPath(const QString& stem) const
{
    static std::atomic<int> counter{0};
    QDir().mkpath(root + u"/copies"_s);
    return root + u"/copies/%1-%2-%3"_s.arg(stem).arg(::getpid()).arg(counter++);
}

QString Workspace::storeCopy() const
{
    const QString copy = freshPath(u"store"_s) + u".conf"_s;
    check(QFile::copy(typesConf(), copy), "cannot copy the store to %1", copy);
    return copy;
}

TypeRecord storedType(const Workspace& ws, int n)
{
    if (n == 0) {
        return {u"Big"_s, u"txt"_s, ws.bigFolder(), u"Text files of the big folder"_s,
                QStringLiteral(ORVANE_BENCH_APP)};
    }
    return {u"Type %1"_s.arg(n, 5, 10, QLatin1Char('0')), u"e%1"_s.arg(n),
            u"/home/user/Documents/project %1/"_s.arg(n),
            u"The files of project %1, kept for the record"_s.arg(n), u"/usr/bin/editor%1"_s.arg(n % 17)};
}

void createWorkspace(const Workspace& ws)
{
    check(QDir().mkpath(ws.bigFolder()) && QDir().mkpath(ws.openFolder()), "cannot create the workspace");
    { // the store as the program's own store writes it, keys in the order of its saves
        platform::QtSettingsStore store(ws.typesConf());
        const QString app = u"Orvane"_s, section = u"Types"_s;
        store.save(app, section, kCountKey, QString::number(kTypeCount));
        for (int n = 0; n < kTypeCount; ++n) {
            const QStringList values = fields(storedType(ws, n));
            for (qsizetype k = 0; k < kFieldKeys.size(); ++k) {
                store.save(app, section, kFieldKeys[k] + QString::number(n), values[k]);
            }
        }
        check(store.flush(), "the store could not be written");
    }
    for (int i = 0; i < kFolderFiles; ++i) {
        touch(ws.bigFolder() + bigFileName(i));
    }
    // A folder inside the big folder, which the file lists must leave out.
    QDir().mkpath(ws.bigFolder() + u"sub folder.txt"_s);
    touch(ws.openFolder() + u"letter.txt"_s);
    QFile entry(ws.desktopEntry());
    check(entry.open(QIODevice::WriteOnly) &&
              entry.write("[Desktop Entry]\nType=Application\nName=Bench viewer\nExec=" ORVANE_BENCH_APP
                          " %f\n") > 0,
          "cannot write %1", ws.desktopEntry());
}

std::vector<std::vector<double>> interleave(int repetitions,
                                            const std::vector<std::function<double()>>& sides)
{
    std::vector<std::vector<double>> times(sides.size());
    for (int r = -1; r < repetitions; ++r) {
        for (std::size_t k = 0; k < sides.size(); ++k) {
            const std::size_t side = (static_cast<std::size_t>(std::max(r, 0)) + k) % sides.size();
            const double took = sides[side]();
            if (r >= 0) {
                times[side].push_back(took);
            }
        }
    }
    return times;
}

Rows againstFloors(int repetitions, const std::vector<std::function<double()>>& sides)
{
    const std::vector<std::vector<double>> times = interleave(repetitions, sides);
    Rows rows(sides.size() - 1);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t r = 0; r < times[0].size(); ++r) {
            rows[row].push_back({times[0][r], times[row + 1][r]});
        }
    }
    return rows;
}

namespace {

template <typename Action> double timed(Action&& action)
{
    const double start = now();
    action();
    return now() - start;
}

void checkNoBox(const test::Harness& h, const char* when)
{
    check(h.dialogs.shown.isEmpty(), "a box was shown %1: %2", QString::fromUtf8(when),
          h.dialogs.texts().join(u" / "_s));
}

void showOnScreen(QWidget& window)
{
    window.show();
    check(QTest::qWaitForWindowExposed(&window), "the window \"%1\" was not shown", window.windowTitle());
}

void checkBigFolderListed(MainForm& main)
{
    check(main.FileList.listCount() == kMatchingFiles, "the file list holds %1 names",
          main.FileList.listCount());
}

// The stored store copied where the harness reads its settings.
void useStoredTypes(const Workspace& ws, const test::Harness& h)
{
    QFile::remove(h.settingsPath());
    check(QFile::copy(ws.typesConf(), h.settingsPath()), "cannot copy the store");
}

// The main window and the preferences window over the harness's state, the
// catalogue emptied as at the start of Form_Load, the store not yet read.
struct Windows {
    explicit Windows(test::Harness& h) : main(h.g)
    {
        main.prefForm();
        h.g.Types.assign(1, TypeRecord{});
        h.g.NumberOfTypes = 0;
    }
    MainForm main;
};

void reapAll()
{
    int status = 0;
    while (::waitpid(-1, &status, 0) > 0 || errno == EINTR) {
    }
}

// A bare QSettings loop reading every type of `store`, checked to have found
// the workspace's whole store; returns the seconds it took.
double timedBareRead(const Workspace& ws, const QString& store)
{
    int types = 0;
    qsizetype characters = 0;
    const double elapsed = timed([&] {
        QSettings settings(store, QSettings::IniFormat);
        types = settings.value(kTypesGroup + kCountKey).toString().toInt();
        for (int n = 0; n < types; ++n) {
            for (const QString& key : kFieldKeys) {
                characters += settings.value(kTypesGroup + key + QString::number(n)).toString().size();
            }
        }
    });
    static const qsizetype stored = [&] {
        qsizetype total = 0;
        for (int n = 0; n < kTypeCount; ++n) {
            for (const QString& field : fields(storedType(ws, n))) {
                total += field.size();
            }
        }
        return total;
    }();
    check(types == kTypeCount && characters == stored, "the bare read found %1 types and %2 characters",
          types, characters);
    return elapsed;
}

// ------------------------------------------------------------------- load

Rows figureLoad(const Workspace& ws, int repetitions)
{
    const TypeRecord last = storedType(ws, kTypeCount - 1);
    const auto program = [&] {
        test::Harness h;
        useStoredTypes(ws, h);
        Windows windows(h);
        const double elapsed = timed([&] {
            LoadTypes(h.g);
            FillTypeCombos(h.g);
        });
        checkNoBox(h, "loading");
        check(h.g.NumberOfTypes == kTypeCount, "LoadTypes read %1 types", h.g.NumberOfTypes);
        check(h.g.Types.back().App == last.App, "LoadTypes read the last type wrong");
        auto& mainCombo = windows.main.TypeCombo;
        auto& prefCombo = windows.main.prefForm().TypeCombo;
        check(mainCombo.listCount() == kTypeCount && prefCombo.listCount() == kTypeCount &&
                  mainCombo.item(kTypeCount - 1) == last.Name && prefCombo.item(kTypeCount - 1) == last.Name,
              "FillTypeCombos filled %1 and %2 items", mainCombo.listCount(), prefCombo.listCount());
        check(mainCombo.listIndex() == -1 && mainCombo.text().isEmpty(),
              "the main list chose an item while filling");
        return elapsed;
    };
    const auto floor = [&] {
        const QString store = ws.storeCopy();
        const double elapsed = timedBareRead(ws, store);
        QFile::remove(store);
        return elapsed;
    };
    return againstFloors(repetitions, {program, floor});
}

// ------------------------------------------------------------------- save

Rows figureSave(const Workspace& ws, int repetitions)
{
    const QByteArray bytes = readFile(ws.typesConf());
    const QByteArray lastApp = storedType(ws, kTypeCount - 1).App.toUtf8();
    const auto checkWhole = [&](const QString& path) {
        const QByteArray text = readFile(path);
        check(text.size() >= bytes.size() - 64 && text.contains(lastApp) &&
                  (text.contains("Number%20Of%20Types=32767") || text.contains("Number Of Types=32767")),
              "the saved store is not whole (%1 of %2 bytes)", text.size(), bytes.size());
    };
    const auto program = [&] {
        test::Harness h;
        useStoredTypes(ws, h);
        Windows windows(h);
        LoadTypes(h.g);
        check(h.g.NumberOfTypes == kTypeCount, "LoadTypes read %1 types", h.g.NumberOfTypes);
        bool saved = false;
        const double elapsed = timed([&] { saved = SaveTypes(h.g); });
        check(saved, "SaveTypes could not write the store");
        checkNoBox(h, "saving");
        checkWhole(h.settingsPath());
        return elapsed;
    };
    // The physical limit of a durable save: the same bytes written to a new
    // file, synced, renamed over the old one and the folder synced.
    const QByteArray target = QFile::encodeName(ws.storeCopy());
    const QByteArray temporary = target + ".new";
    const QByteArray folder = QFile::encodeName(ws.root);
    const auto floor = [&] {
        bool done = false;
        const double elapsed = timed([&] {
            const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            const bool written =
                fd >= 0 &&
                ::write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) == bytes.size() &&
                ::fsync(fd) == 0;
            const bool closed = fd >= 0 && ::close(fd) == 0;
            const bool renamed = ::rename(temporary.constData(), target.constData()) == 0;
            const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            done = written && closed && renamed && dir >= 0 && ::fsync(dir) == 0;
            if (dir >= 0) {
                ::close(dir);
            }
        });
        check(done, "the floor's durable write failed");
        checkWhole(QFile::decodeName(target));
        return elapsed;
    };
    // What a Qt program would use instead: QSettings, given the same keys
    // and values in the order SaveTypes writes them, then synced (through
    // QSaveFile: a new file, synced and renamed over the old one).
    const auto qsettings = [&] {
        const QString path = ws.freshPath(u"qsettings"_s) + u".conf"_s;
        QSettings::Status status = QSettings::AccessError;
        const double elapsed = timed([&] {
            QSettings settings(path, QSettings::IniFormat);
            settings.remove(u"Types"_s);
            settings.beginGroup(u"Types"_s);
            settings.setValue(kCountKey, QString::number(kTypeCount));
            for (int n = 0; n < kTypeCount; ++n) {
                const QStringList values = fields(storedType(ws, n));
                for (qsizetype k = 0; k < kFieldKeys.size(); ++k) {
                    settings.setValue(kFieldKeys[k] + QString::number(n), values[k]);
                }
            }
            settings.endGroup();
            settings.sync();
            status = settings.status();
        });
        check(status == QSettings::NoError, "QSettings could not write %1", path);
        checkWhole(path);
        QFile::remove(path);
        return elapsed;
    };
    return againstFloors(repetitions, {program, floor, qsettings});
}

// ----------------------------------------------------------------- choose

// The floor of showing a folder's "*.txt" files: listing the folder with
// QDirIterator, keeping the names that end in ".txt" in any case, and a
// case-insensitive sort. The names, and how long it took.
std::pair<QStringList, double> listAfresh(const QString& folder)
{
    QStringList names;
    const double elapsed = timed([&] {
        QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            if (it.fileName().endsWith(u".txt"_s, Qt::CaseInsensitive)) {
                names.append(it.fileName());
            }
        }
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    });
    return {names, elapsed};
}

Rows figureChoose(const Workspace& ws, int repetitions)
{
    test::Harness h;
    MainForm& main = h.start();
    const TypeRecord big = storedType(ws, 0);
    h.addType(big.Name, big.Ext, big.Path, big.Desc, big.App);
    h.addType(u"Letters"_s, u"txt"_s, ws.openFolder());
    showOnScreen(main);
    QCoreApplication::processEvents();

    QStringList floorNames;
    const QByteArray bigPath = QFile::encodeName(big.Path);
    int changes = 0;
    const auto program = [&] {
        // Another type first, as a user goes from one type to the next.
        main.TypeCombo.setListIndex(1);
        QCoreApplication::processEvents();
        check(main.FileList.listCount() == 1, "the small folder did not list");
        // A new modification time for the big folder, an hour back, so that
        // nothing read for an earlier repetition can be used again.
        const timeval back = {::time(nullptr) - 3600 - ++changes, 0};
        const timeval times[2] = {back, back};
        check(::utimes(bigPath.constData(), times) == 0, "cannot set the big folder's time");
        const double elapsed = timed([&] {
            main.TypeCombo.setListIndex(0);
            QCoreApplication::processEvents();
        });
        checkNoBox(h, "choosing");
        checkBigFolderListed(main);
        check(floorNames.isEmpty() || (main.FileList.item(0) == floorNames.first() &&
                                       main.FileList.item(kMatchingFiles - 1) == floorNames.last()),
              "the file list is not sorted as the floor's");
        check(main.DescLabel.text() == big.Desc, "the description was not shown");
        return elapsed;
    };
    const auto floor = [&] {
        auto [names, elapsed] = listAfresh(big.Path);
        check(names.size() == kMatchingFiles, "the floor listed %1 names", names.size());
        floorNames = names;
        return elapsed;
    };
    return againstFloors(repetitions, {program, floor});
}

// ----------------------------------------------------------------- follow

// Runs the event loop until the main window's file list holds `count` names;
// the moment it did.
double untilListed(MainForm& main, int count)
{
    double reached = now();
    if (main.FileList.listCount() != count) {
        QEventLoop loop;
        reached = 0;
        QObject::connect(main.FileList.model(), &QAbstractItemModel::modelReset, &loop, [&] {
            if (main.FileList.listCount() == count) {
                reached = now();
                loop.quit();
            }
        });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    check(reached > 0, "the file list holds %1 names, not %2", main.FileList.listCount(), count);
    return reached;
}

QString burstName(int i)
{
    return u"burst %1.txt"_s.arg(i, 5, 10, QLatin1Char('0'));
}

// The big folder shown, and followed: one file created, and a burst of
// kBurstFiles, until the list shows them; the longest pause of the window
// during each burst is said as a response.
Rows figureFollow(const Workspace& ws, int repetitions)
{
    test::Harness h;
    MainForm& main = h.start();
    const TypeRecord big = storedType(ws, 0);
    h.addType(big.Name, big.Ext, big.Path, big.Desc, big.App);
    showOnScreen(main);
    main.TypeCombo.setListIndex(0);
    QCoreApplication::processEvents();
    checkBigFolderListed(main);
    const double quiet = platform::FolderContents::kQuiet / 1000.0;

    // One file, until its row is in the list; the quiet interval the list
    // waits for is allowed on top of the floor.
    int created = 0;
    const auto one = [&] {
        const QString name = u"new %1.txt"_s.arg(++created);
        const double start = now();
        touch(big.Path + name);
        const double took = untilListed(main, kMatchingFiles + 1) - start - quiet;
        check(static_cast<QStringListModel*>(main.FileList.model())->stringList().contains(name),
              "the new file %1 is not listed", name);
        check(QFile::remove(big.Path + name), "cannot remove %1", name);
        untilListed(main, kMatchingFiles);
        return took;
    };
    const auto oneFloor = [&] {
        const auto [names, elapsed] = listAfresh(big.Path);
        check(names.size() == kMatchingFiles, "the floor listed %1 names", names.size());
        return elapsed;
    };
    Rows rows = againstFloors(repetitions, {one, oneFloor});

    // A burst, made on a thread of its own while the window runs: from the
    // last file made until the list holds them all. A 10 ms timer hears how
    // long the window paused.
    const auto makeBurst = [&] {
        for (int i = 0; i < kBurstFiles; ++i) {
            touch(big.Path + burstName(i));
        }
        return now();
    };
    const auto removeBurst = [&] {
        for (int i = 0; i < kBurstFiles; ++i) {
            check(QFile::remove(big.Path + burstName(i)), "cannot remove %1", burstName(i));
        }
        untilListed(main, kMatchingFiles);
    };
    std::vector<double> pauses;
    const auto burst = [&] {
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        QTimer ticks;
        ticks.callOnTimeout([&] { longest = std::max(longest, sinceTick.restart()); });
        sinceTick.start();
        ticks.start(10);
        double lastMade = 0;
        std::thread maker([&] { lastMade = makeBurst(); });
        const double reached = untilListed(main, kMatchingFiles + kBurstFiles);
        maker.join();
        ticks.stop();
        pauses.push_back(static_cast<double>(std::max(longest, sinceTick.elapsed())) / 1000.0);
        removeBurst();
        return std::max(reached - lastMade, 0.0);
    };
    const auto burstFloor = [&] {
        makeBurst();
        untilListed(main, kMatchingFiles + kBurstFiles); // the list is done with it
        const auto [names, elapsed] = listAfresh(big.Path);
        check(names.size() == kMatchingFiles + kBurstFiles, "the floor listed %1 names", names.size());
        removeBurst();
        return elapsed;
    };
    rows.push_back(againstFloors(repetitions, {burst, burstFloor}).front());
    checkNoBox(h, "following");
    std::sort(pauses.begin(), pauses.end());
    std::printf("response %.9f %s\n", pauses[pauses.size() / 2],
                "the longest pause of the window while 10,000 files come in (a 10 ms timer's largest gap; "
                "the median burst)");
    return rows;
}

// ------------------------------------------------------------------- open

// A plain program started against posix_spawn; then a desktop entry, started
// by GIO's launcher, against GIO's own g_app_info_launch of the same entry
// with the same file.
Rows figureOpen(const Workspace& ws, int repetitions)
{
    // The opened applications end as orphans: they come back to this
    // process, which waits for each before the next repetition.
    check(::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0, "cannot adopt orphans");
    test::Harness h;
    platform::SystemStarter starter;
    platform::Services services{h.dialogs, h.settings, starter, h.associations, h.desktop};
    Globals g(services);
    MainForm main(g);
    main.Form_Load();
    checkNoBox(h, "at start");
    MakeRoom(g, 1);
    g.Types[0] = {u"Letters"_s, u"txt"_s, ws.openFolder(), QString(), QStringLiteral(ORVANE_BENCH_APP)};
    g.Types[1] = {u"Viewed"_s, u"txt"_s, ws.openFolder(), QString(), ws.desktopEntry()};
    g.NumberOfTypes = 2;
    FillTypeCombos(g);
    const QByteArray argument = QFile::encodeName(ws.openFolder() + u"letter.txt"_s);
    const auto choose = [&](int type) {
        main.TypeCombo.setListIndex(type);
        main.FileList.setListIndex(0);
        check(main.FileList.listIndex() == 0 && main.FileList.item(0) == u"letter.txt"_s,
              "the letter was not listed");
    };
    const auto program = [&] {
        const double elapsed = timed([&] { main.FileList_DblClick(); });
        reapAll();
        checkNoBox(h, "opening");
        return elapsed;
    };
    // The application really ran, with the file as its argument.
    const auto checkReceived = [&](const char* what) {
        const QString mark = ws.freshPath(u"mark"_s);
        ::setenv("ORVANE_ARGSTUB_OUT", QFile::encodeName(mark).constData(), 1);
        main.FileList_DblClick();
        reapAll();
        ::unsetenv("ORVANE_ARGSTUB_OUT");
        check(QFile::exists(mark) && readFile(mark) == argument + '\0', "%1 did not receive the file",
              QString::fromUtf8(what));
    };

    choose(0);
    const QByteArray app = QByteArrayLiteral(ORVANE_BENCH_APP);
    char* const argv[] = {const_cast<char*>(app.constData()), const_cast<char*>(argument.constData()),
                          nullptr};
    const auto spawned = [&] {
        pid_t pid = -1;
        int error = 0;
        const double elapsed =
            timed([&] { error = ::posix_spawn(&pid, app.constData(), nullptr, nullptr, argv, environ); });
        check(error == 0, "posix_spawn failed");
        reapAll();
        return elapsed;
    };
    Rows rows = againstFloors(repetitions, {program, spawned});
    checkReceived("the opened program");

    choose(1);
    const QByteArray entry = QFile::encodeName(ws.desktopEntry());
    const auto launched = [&] {
        GError* error = nullptr;
        bool started = false;
        const double elapsed = timed([&] {
            GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.constData());
            GFile* file = g_file_new_for_path(argument.constData());
            GList* files = g_list_append(nullptr, file);
            started = info != nullptr && g_app_info_launch(G_APP_INFO(info), files, nullptr, &error);
            g_list_free(files);
            g_object_unref(file);
            g_clear_object(&info);
        });
        check(started, "g_app_info_launch failed: %1",
              QString::fromUtf8(error != nullptr ? error->message : ""));
        reapAll();
        return elapsed;
    };
    rows.push_back(againstFloors(repetitions, {program, launched}).front());
    checkReceived("the opened desktop entry");
    return rows;
}

// ------------------------------------------------- responding and memory

// A watch that is always refused: the lists show their folder as read once.
struct NoWatch final : platform::FolderWatch {
    bool watch(const QString& /*folder*/) override { return false; }
};

// The main window shown over a harness: with `full`, holding the stored
// types and showing the big folder, followed unless told otherwise;
// otherwise the empty program.
MainForm& showState(test::Harness& h, const Workspace& ws, bool full, bool followed = true)
{
    if (full) {
        useStoredTypes(ws, h);
    }
    MainForm& main = h.start();
    if (!followed) {
        main.FileList.setFolderWatch(std::make_unique<NoWatch>());
        h.pref().PrefFile.setFolderWatch(std::make_unique<NoWatch>());
        h.pref().PrefDir.setFolderWatch(std::make_unique<NoWatch>());
    }
    showOnScreen(main);
    if (full) {
        check(h.g.NumberOfTypes == kTypeCount, "%1 types loaded", h.g.NumberOfTypes);
        main.TypeCombo.setListIndex(0);
        QCoreApplication::processEvents();
        checkBigFolderListed(main);
    }
    checkNoBox(h, "building the state");
    return main;
}

// With the stored types loaded and the big folder shown: each type list
// dropped down for the first time, the file list scrolled, a name clicked.
std::vector<Response> figureRespond(const Workspace& ws)
{
    test::Harness h;
    MainForm& main = showState(h, ws, true);
    // Each action is timed up to its result being painted.
    const auto untilPainted = [](const auto& action, QWidget* painted) {
        return timed([&] {
            action();
            QCoreApplication::processEvents();
            painted->repaint();
        });
    };
    const auto dropDown = [&](platform::ComboBox& combo) {
        // Alt+Down, as a user drops it down from the keyboard.
        const double took =
            untilPainted([&] { QTest::keyClick(&combo.widget(), Qt::Key_Down, Qt::AltModifier); },
                         combo.dropDown()->viewport());
        check(combo.dropDown()->isVisible() && combo.dropDown()->model()->rowCount() == kTypeCount,
              "the type list did not drop down whole");
        QTest::keyClick(combo.dropDown(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        return took;
    };
    std::vector<Response> responses;
    responses.push_back(
        {u"the main window's type list drops down, 32,767 types"_s, dropDown(main.TypeCombo)});
    showOnScreen(h.pref());
    responses.push_back(
        {u"the preferences' type list drops down, 32,767 types"_s, dropDown(h.pref().TypeCombo)});
    h.pref().hide();

    // The file list: to the first name, the end and back a page at a time,
    // then the scroll bar; the slowest step counts. Then a click on a name.
    QWidget* files = main.FileList.viewport();
    main.FileList.setFocus();
    const auto key = [&](Qt::Key k) {
        return untilPainted([&] { QTest::keyClick(&main.FileList, k); }, files);
    };
    double scrolling = key(Qt::Key_Down);
    scrolling = std::max(scrolling, key(Qt::Key_End));
    for (int page = 0; page < 10; ++page) {
        scrolling = std::max(scrolling, key(Qt::Key_PageUp));
    }
    scrolling = std::max(
        scrolling,
        untilPainted([&] { main.FileList.verticalScrollBar()->setValue(kMatchingFiles / 2); }, files));
    check(main.FileList.listIndex() > kMatchingFiles / 2, "the keys did not move in the list (at %1)",
          main.FileList.listIndex());
    responses.push_back({u"scrolling the 50,000-name file list (End, Page Up, the scroll bar)"_s, scrolling});
    const QModelIndex target = main.FileList.indexAt(QPoint(4, files->height() / 2));
    check(target.isValid(), "no name under the pointer");
    const QPoint at = main.FileList.visualRect(target).center();
    responses.push_back({u"selecting a name in the file list with the mouse"_s,
                         untilPainted([&] { QTest::mouseClick(files, Qt::LeftButton, {}, at); }, files)});
    check(main.FileList.listIndex() == target.row(), "the click did not select the name");
    checkNoBox(h, "responding");
    return responses;
}

// The resident size, in KiB, of this process holding the state: "full" and
// "unfollowed" with the stored types loaded and the big folder shown, "full"
// following the folder and "unfollowed" not; otherwise the empty program.
double residentSize(const Workspace& ws, const QString& state)
{
    const bool full = state == u"full"_s || state == u"unfollowed"_s;
    const bool followed = state != u"unfollowed"_s;
    test::Harness h;
    showState(h, ws, full, followed);
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(20);
    }
    for (const QByteArray& line : readFile(u"/proc/self/status"_s).split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
        }
    }
    throw CheckFailed(u"no resident size was read"_s);
}

} // namespace

void runFigure(const QString& name, const Workspace& ws, const QString& argument)
{
    static const std::map<QString, Rows (*)(const Workspace&, int)> paired = {{u"load"_s, figureLoad},
                                                                              {u"save"_s, figureSave},
                                                                              {u"choose"_s, figureChoose},
                                                                              {u"follow"_s, figureFollow},
                                                                              {u"open"_s, figureOpen}};
    if (name == u"bare-read"_s) {
        std::printf("elapsed %.9f\n", timedBareRead(ws, argument));
    } else if (name == u"memory"_s) {
        std::printf("resident %.1f\n", residentSize(ws, argument));
    } else if (name == u"respond"_s) {
        for (const Response& r : figureRespond(ws)) {
            std::printf("response %.9f %s\n", r.seconds, r.what.toUtf8().constData());
        }
    } else {
        const auto figure = paired.find(name);
        check(figure != paired.end(), "no figure %1", name);
        const Rows rows = figure->second(ws, argument.toInt());
        for (std::size_t row = 0; row < rows.size(); ++row) {
            for (const Sample& s : rows[row]) {
                std::printf("sample %zu %.9f %.9f\n", row, s.program, s.floor);
            }
        }
    }
    std::fflush(stdout);
}

} // namespace orvane::bench
