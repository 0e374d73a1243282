// The generated workspace, and the figures measured in a helper process with
// the program's own classes.

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QScrollBar>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>

#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/bench.h"
#include "catalogue/catalogue.h"
#include "mainwin/mainform.h"
#include "platform/qt_services.h"
#include "platform/system_starter.h"
#include "prefwin/prefform.h"
#include "support/harness.h"

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
}

namespace {

template <typename Action> double timed(Action&& action)
{
    const double start = now();
    action();
    return now() - start;
}

// Both sides of each repetition, one after the other: the program first on
// even repetitions, the floor first on odd ones, after one warm-up
// repetition (-1, the program first) that is not counted.
template <typename Program, typename Floor>
std::vector<Sample> repeat(int repetitions, Program&& program, Floor&& floor)
{
    std::vector<Sample> samples;
    for (int r = -1; r < repetitions; ++r) {
        Sample sample;
        if (r % 2 == 1) {
            sample.floor = floor();
            sample.program = program();
        } else {
            sample.program = program();
            sample.floor = floor();
        }
        if (r >= 0) {
            samples.push_back(sample);
        }
    }
    return samples;
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

std::vector<Sample> figureLoad(const Workspace& ws, int repetitions)
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
    return repeat(repetitions, program, floor);
}

// ------------------------------------------------------------------- save

std::vector<Sample> figureSave(const Workspace& ws, int repetitions)
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
    return repeat(repetitions, program, floor);
}

// ----------------------------------------------------------------- choose

std::vector<Sample> figureChoose(const Workspace& ws, int repetitions)
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
        QStringList names;
        const double elapsed = timed([&] {
            QDirIterator it(big.Path, QDir::Files | QDir::NoDotAndDotDot);
            while (it.hasNext()) {
                it.next();
                if (it.fileName().endsWith(u".txt"_s, Qt::CaseInsensitive)) {
                    names.append(it.fileName());
                }
            }
            std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
                return a.compare(b, Qt::CaseInsensitive) < 0;
            });
        });
        check(names.size() == kMatchingFiles, "the floor listed %1 names", names.size());
        floorNames = names;
        return elapsed;
    };
    return repeat(repetitions, program, floor);
}

// ------------------------------------------------------------------- open

std::vector<Sample> figureOpen(const Workspace& ws, int repetitions)
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
    MakeRoom(g, 0);
    g.Types[0] = {u"Letters"_s, u"txt"_s, ws.openFolder(), QString(), QStringLiteral(ORVANE_BENCH_APP)};
    g.NumberOfTypes = 1;
    FillTypeCombos(g);
    main.TypeCombo.setListIndex(0);
    main.FileList.setListIndex(0);
    check(main.FileList.listIndex() == 0, "the letter was not listed");

    const QByteArray app = QByteArrayLiteral(ORVANE_BENCH_APP);
    const QByteArray argument = QFile::encodeName(ws.openFolder() + main.FileList.item(0));
    char* const argv[] = {const_cast<char*>(app.constData()), const_cast<char*>(argument.constData()),
                          nullptr};
    const auto program = [&] {
        const double elapsed = timed([&] { main.FileList_DblClick(); });
        reapAll();
        checkNoBox(h, "opening");
        return elapsed;
    };
    const auto floor = [&] {
        pid_t pid = -1;
        int error = 0;
        const double elapsed =
            timed([&] { error = ::posix_spawn(&pid, app.constData(), nullptr, nullptr, argv, environ); });
        check(error == 0, "posix_spawn failed");
        reapAll();
        return elapsed;
    };
    std::vector<Sample> samples = repeat(repetitions, program, floor);

    // The application really ran, with the file as its argument.
    const QString mark = ws.freshPath(u"mark"_s);
    ::setenv("ORVANE_ARGSTUB_OUT", QFile::encodeName(mark).constData(), 1);
    main.FileList_DblClick();
    reapAll();
    ::unsetenv("ORVANE_ARGSTUB_OUT");
    check(QFile::exists(mark) && readFile(mark) == argument + '\0',
          "the opened application did not receive the file");
    return samples;
}

// ------------------------------------------------- responding and memory

// The main window shown over a harness: with `full`, holding the stored
// types and showing the big folder; otherwise the empty program.
MainForm& showState(test::Harness& h, const Workspace& ws, bool full)
{
    if (full) {
        useStoredTypes(ws, h);
    }
    MainForm& main = h.start();
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

// The resident size, in KiB, of this process holding the state.
double residentSize(const Workspace& ws, bool full)
{
    test::Harness h;
    showState(h, ws, full);
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
    static const std::map<QString, std::vector<Sample> (*)(const Workspace&, int)> paired = {
        {u"load"_s, figureLoad},
        {u"save"_s, figureSave},
        {u"choose"_s, figureChoose},
        {u"open"_s, figureOpen}};
    if (name == u"bare-read"_s) {
        std::printf("elapsed %.9f\n", timedBareRead(ws, argument));
    } else if (name == u"memory"_s) {
        std::printf("resident %.1f\n", residentSize(ws, argument == u"full"_s));
    } else if (name == u"respond"_s) {
        for (const Response& r : figureRespond(ws)) {
            std::printf("response %.9f %s\n", r.seconds, r.what.toUtf8().constData());
        }
    } else {
        const auto figure = paired.find(name);
        check(figure != paired.end(), "no figure %1", name);
        for (const Sample& s : figure->second(ws, argument.toInt())) {
            std::printf("sample %.9f %.9f\n", s.program, s.floor);
        }
    }
    std::fflush(stdout);
}

} // namespace orvane::bench
