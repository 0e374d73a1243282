#include <QAbstractProxyModel>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "catalogue/catalogue.h"
#include "platform/qt_services.h"
#include "support/harness.h"

using namespace orvane;
using orvane::test::Harness;
using namespace Qt::StringLiterals;

namespace {

// The whole program on Qt's real dialogs, the rest scripted by the harness.
struct RealProgram {
    Harness h;
    platform::QtDialogs real;
    platform::Services services{real, h.settings, h.starter, h.associations, h.desktop};
    Globals g{services};
    MainForm main{g};

    RealProgram()
    {
        real.setMainWindow(&main);
        main.Form_Load();
        main.show();
    }
};

// The user at each window that comes up modally, in turn: one step per
// window, which answers it and says what it showed. Each window is also
// named by owner(), for the window it belongs to.
class User {
public:
    using Step = std::function<QString(QWidget*)>;

    User(QList<Step> steps, std::function<QString(const QWidget*)> owner)
        : steps_(std::move(steps)), owner_(std::move(owner))
    {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != last_ && !steps_.isEmpty()) {
                last_ = modal;
                owners.append(owner_(modal));
                seen.append(steps_.takeFirst()(modal));
            }
        });
        timer_.start(10);
    }

    QStringList seen;
    QStringList owners;

private:
    QList<Step> steps_;
    std::function<QString(const QWidget*)> owner_;
    QPointer<QWidget> last_;
    QTimer timer_;
};

} // namespace

class TestRealDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aWholeAdditionThroughTheRealDialogs()
    {
        RealProgram real;
        Harness& h = real.h;
        Globals& g = real.g;
        MainForm& main = real.main;
        const QString sample = h.file(h.folder(QStringLiteral("My Docs")), QStringLiteral("Report.Tar.GZ"));
        const QString program =
            h.file(h.folder(QStringLiteral("tools")), QStringLiteral("viewer"), "#!/bin/sh\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        // Beside it, an application entry the picker offers too, and a text
        // it does not.
        h.file(h.folder(QStringLiteral("tools")), QStringLiteral("writer.desktop"), "[Desktop Entry]\n");
        h.file(h.folder(QStringLiteral("tools")), QStringLiteral("readme.txt"), "words\n");

        // What the user does in each box as it comes up, and what each showed.
        // Each box or dialog belongs to the main window, also those that come
        // up right after another one closed.
        const auto typePath = [](QWidget* w, const QString& path) {
            auto* name = qobject_cast<QFileDialog*>(w)->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        };
        const auto answerInput = [](QWidget* w, const QString& text) {
            qobject_cast<QInputDialog*>(w)->setTextValue(text);
            qobject_cast<QInputDialog*>(w)->accept();
        };
        User user({
                      [&](QWidget* w) {
                          typePath(w, sample);
                          return qobject_cast<QFileDialog*>(w)->selectedNameFilter();
                      },
                      [&](QWidget* w) {
                          answerInput(w, QStringLiteral("  Archives "));
                          return qobject_cast<QInputDialog*>(w)->labelText();
                      },
                      [&](QWidget* w) {
                          answerInput(w, QStringLiteral("Packed"));
                          return QStringLiteral("description");
                      },
                      [&](QWidget* w) {
                          auto* box = qobject_cast<QMessageBox*>(w);
                          const bool yesFirst = box->defaultButton() == box->button(QMessageBox::Yes);
                          box->button(QMessageBox::Yes)->click();
                          return box->text() + (yesFirst ? QStringLiteral(" [Yes]") : QString());
                      },
                      [&](QWidget* w) {
                          auto* dialog = qobject_cast<QFileDialog*>(w);
                          QAbstractProxyModel* shown = dialog->proxyModel();
                          auto* files = shown != nullptr
                                            ? qobject_cast<QFileSystemModel*>(shown->sourceModel())
                                            : nullptr;
                          QStringList offered;
                          if (files != nullptr) {
                              const QString tools = QFileInfo(program).path();
                              dialog->setDirectory(tools);
                              const auto folder = [&] { return shown->mapFromSource(files->index(tools)); };
                              static_cast<void>(
                                  QTest::qWaitFor([&] { return shown->rowCount(folder()) >= 2; }, 5000));
                              QTest::qWait(100); // anything more the folder holds
                              for (int row = 0; row < shown->rowCount(folder()); ++row) {
                                  offered.append(shown->index(row, 0, folder()).data().toString());
                              }
                              offered.sort();
                          }
                          typePath(w, program);
                          return offered.join(u' ');
                      },
                  },
                  [&main](const QWidget* w) { return w->parentWidget() == &main ? u"main"_s : u"other"_s; });
        main.MnuAddType_Click();

        QCOMPARE(
            user.seen,
            QStringList({QStringLiteral("*.*"),
                         QStringLiteral("Enter the name you would like to call this type of file."),
                         QStringLiteral("description"),
                         QStringLiteral("No application is setup to handle this type of file.  Would you "
                                        "like to choose one? [Yes]"),
                         QStringLiteral("viewer writer.desktop")}));
        QCOMPARE(g.NumberOfTypes, 1);
        const TypeRecord& t = g.Types[0];
        QCOMPARE(
            QStringList({t.Name, t.Ext, t.Path, t.Desc, t.App}),
            QStringList({QStringLiteral("  Archives "), QStringLiteral("tar.gz"),
                         h.dir.path() + QStringLiteral("/My Docs/"), QStringLiteral("Packed"), program}));
        QCOMPARE(main.TypeCombo.item(0), QStringLiteral("  Archives "));
        QCOMPARE(user.owners, QStringList(5, QStringLiteral("main")));
    }

    void boxesOverPreferencesBelongToIt()
    {
        RealProgram program;
        Harness& h = program.h;
        Globals& g = program.g;
        MainForm& main = program.main;
        g.NumberOfTypes = 1;
        g.Types.resize(1);
        g.Types[0] = {u"Letters"_s, u"txt"_s, h.folder(u"letters"_s), u"Letters to friends"_s,
                      u"/bin/true"_s};
        FillTypeCombos(g);
        main.TypeCombo.setListIndex(0);
        main.TypeCombo_Click();
        PrefForm& pref = main.prefForm();

        // What the user does as each window comes up; each box and dialog
        // named with the window it belongs to.
        const auto press = [&pref](PrefForm::Button button) {
            QTimer::singleShot(0, &pref, [&pref, button] { pref.PrefButton.at(button).click(); });
        };
        const auto answered = [](const std::function<void(QWidget*)>& answer) {
            return [answer](QWidget* w) {
                answer(w);
                return QString();
            };
        };
        User user({answered([&](QWidget*) { press(PrefForm::OpensWith); }), answered([](QWidget* w) {
                       qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
                   }),
                   answered([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); }),
                   answered([&](QWidget*) { press(PrefForm::ChangePath); }),
                   answered([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); }),
                   answered([&](QWidget*) { press(PrefForm::Done); })},
                  [&](const QWidget* w) {
                      const QWidget* owner = w->parentWidget();
                      return QString::fromLatin1(w->metaObject()->className()) + u" over "_s +
                             (owner == &pref   ? u"Preferences"_s
                              : owner == &main ? u"main"_s
                                               : u"other"_s);
                  });
        main.MnuPreferences_Click();
        QCOMPARE(user.owners,
                 QStringList({u"orvane::PrefForm over main"_s, u"QMessageBox over Preferences"_s,
                              u"QFileDialog over Preferences"_s, u"orvane::PrefForm over main"_s,
                              u"QFileDialog over Preferences"_s, u"orvane::PrefForm over main"_s}));
    }

    void fileTypeBoxesShowTheirOwnTextsAndIgnoreCase_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("every file") << u"*.*|*.*"_s << u"*.*"_s
                                    << QStringList{u"Makefile"_s, u"NOTES.TXT"_s, u"a.png"_s, u"b.txt"_s,
                                                   u"run"_s};
        QTest::newRow("text") << u"Text (*.txt)|*.txt"_s << u"Text (*.txt)"_s
                              << QStringList{u"NOTES.TXT"_s, u"b.txt"_s};
        QTest::newRow("programs") << platform::kProgramsFilter << u"Programs (*)"_s << QStringList{u"run"_s};
        QTest::newRow("description without masks")
            << u"Pictures|*.png;*.gif"_s << u"Pictures (*.png *.gif)"_s << QStringList{u"a.png"_s};
    }

    void fileTypeBoxesShowTheirOwnTextsAndIgnoreCase()
    {
        QFETCH(QString, filter);
        QFETCH(QString, shown);
        QFETCH(QStringList, listed);
        Harness h;
        const QString folder = h.folder(u"mixed"_s);
        for (const QString& name : {u"Makefile"_s, u"NOTES.TXT"_s, u"a.png"_s, u"b.txt"_s}) {
            h.file(folder, name);
        }
        QFile::setPermissions(h.file(folder, u"run"_s, "#!/bin/sh\n"), QFile::ReadOwner | QFile::ExeOwner);
        QWidget owner;
        owner.show();
        platform::QtDialogs real;
        real.setMainWindow(&owner);

        QString box;
        QStringList names;
        bool ownedByWindow = false;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            auto* view = dialog->findChild<QListView*>(u"listView"_s);
            QStringList now;
            for (int row = 0; view != nullptr && row < view->model()->rowCount(view->rootIndex()); ++row) {
                now << view->model()->index(row, 0, view->rootIndex()).data().toString();
            }
            now.sort();
            if (now.isEmpty() || now == names) { // read until the folder has loaded and stays
                names = now;
                return;
            }
            names = now;
            box = dialog->findChild<QComboBox*>(u"fileTypeCombo"_s)->currentText();
            ownedByWindow = dialog->parentWidget() == &owner;
            QTimer::singleShot(300, dialog, &QDialog::reject);
        });
        user.start(50);
        QCOMPARE(real.openFile({folder, QString(), filter}), std::optional<QString>());
        QCOMPARE(box, shown);
        QCOMPARE(names, listed);
        QVERIFY(ownedByWindow);
    }
};

QTEST_MAIN(TestRealDialogs)
#include "tst_realdialogs.moc"
