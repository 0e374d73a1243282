#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

#include "platform/qt_services.h"
#include "support/harness.h"

using namespace orvane;
using orvane::test::Harness;

namespace {

// Answers the real modal boxes one after the other, as a user would.
class User : public QObject {
public:
    using Step = std::function<void(QWidget*)>;

    void then(Step step) { steps_.push_back(std::move(step)); }

    void start()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(10);
    }

    QStringList seen;

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == last_ || steps_.empty()) {
            return;
        }
        last_ = modal;
        seen.append(QString::fromLatin1(modal->metaObject()->className()) + u':' + modal->windowTitle());
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(modal);
    }

    std::deque<Step> steps_;
    QTimer timer_;
    QPointer<QWidget> last_;
};

} // namespace

class TestRealDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filtersForQt()
    {
        QCOMPARE(platform::qtNameFilters(QStringLiteral("*.*|*.*")),
                 QStringList({QStringLiteral("*.* (*)")}));
        QCOMPARE(platform::qtNameFilters(QStringLiteral("Text (*.txt)|*.txt")),
                 QStringList({QStringLiteral("Text (*.txt) (*.[tT][xX][tT])")}));
        QCOMPARE(platform::qtNameFilters(QStringLiteral("Executables(*.exe;*.com;*.bat)|*.exe;*.com;*.bat")),
                 QStringList({QStringLiteral("Executables(*.exe;*.com;*.bat) (*.[eE][xX][eE] *.[cC][oO][mM] "
                                             "*.[bB][aA][tT])")}));
        QCOMPARE(platform::qtNameFilters(QStringLiteral("Archive (*.tar.gz)|*.tar.gz")),
                 QStringList({QStringLiteral("Archive (*.tar.gz) (*.[tT][aA][rR].[gG][zZ])")}));
    }

    void aWholeAdditionThroughTheRealDialogs()
    {
        Harness h;
        platform::QtDialogs real;
        platform::Services services{real, h.settings, h.starter, h.associations, h.desktop};
        Globals g(services);
        MainForm main(g);
        main.Form_Load();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        const QString docs = h.folder(QStringLiteral("My Docs"));
        const QString sample = h.file(docs, QStringLiteral("Report.Tar.GZ"));
        const QString tools = h.folder(QStringLiteral("tools"));
        const QString program = h.file(tools, QStringLiteral("viewer"), "#!/bin/sh\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        User user;
        QString firstFilter;
        bool programsOnly = false;
        user.then([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            firstFilter = dialog->selectedNameFilter();
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(sample);
            QTest::keyClick(name, Qt::Key_Return);
        });
        user.then([&](QWidget* w) {
            auto* box = qobject_cast<QInputDialog*>(w);
            QVERIFY(box);
            QCOMPARE(box->labelText(),
                     QStringLiteral("Enter the name you would like to call this type of file."));
            box->setTextValue(QStringLiteral("  Archives "));
            box->accept();
        });
        user.then([&](QWidget* w) {
            auto* box = qobject_cast<QInputDialog*>(w);
            box->setTextValue(QStringLiteral("Packed things"));
            box->accept();
        });
        user.then([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            QCOMPARE(box->text(),
                     QStringLiteral("No application is setup to handle this type of file.  Would you like to "
                                    "choose one?"));
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            box->button(QMessageBox::Yes)->click();
        });
        user.then([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            // Only folders and programs that can be run are offered.
            programsOnly = dialog->proxyModel() != nullptr;
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(program);
            QTest::keyClick(name, Qt::Key_Return);
        });
        user.start();
        main.MnuAddType_Click();

        QCOMPARE(user.seen.size(), 5);
        QCOMPARE(firstFilter, QStringLiteral("*.* (*)"));
        QCOMPARE(g.NumberOfTypes, 1);
        const TypeRecord& added = g.Types[0];
        QCOMPARE(added.Name, QStringLiteral("  Archives "));
        QCOMPARE(added.Ext, QStringLiteral("tar.gz"));
        QCOMPARE(added.Path, docs);
        QCOMPARE(added.Desc, QStringLiteral("Packed things"));
        QCOMPARE(added.App, program);
        QCOMPARE(main.TypeCombo.item(0), QStringLiteral("  Archives "));
        QCOMPARE(main.TypeCombo.listIndex(), -1);
        QVERIFY(programsOnly);
    }

    void cancellingTheRealFileDialogLeavesTheFileName()
    {
        Harness h;
        platform::QtDialogs real;
        User user;
        user.then([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        user.start();
        const auto chosen = real.openFile({h.dir.path(), QStringLiteral("kept"), QStringLiteral("*.*|*.*")});
        QVERIFY(!chosen.has_value());
    }
};

QTEST_MAIN(TestRealDialogs)
#include "tst_realdialogs.moc"
