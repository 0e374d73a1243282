#include <QAbstractProxyModel>
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/qt_services.h"
#include "support/harness.h"

using namespace orvane;
using orvane::test::Harness;

class TestRealDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aWholeAdditionThroughTheRealDialogs()
    {
        QCOMPARE(platform::qtNameFilters(QStringLiteral("*.*|*.*")),
                 QStringList({QStringLiteral("*.* (*)")}));
        QCOMPARE(platform::qtNameFilters(QStringLiteral("Text (*.txt)|*.txt")),
                 QStringList({QStringLiteral("Text (*.txt) (*.[tT][xX][tT])")}));
        Harness h;
        platform::QtDialogs real;
        platform::Services services{real, h.settings, h.starter, h.associations, h.desktop};
        Globals g(services);
        MainForm main(g);
        main.Form_Load();
        main.show();
        const QString sample = h.file(h.folder(QStringLiteral("My Docs")), QStringLiteral("Report.Tar.GZ"));
        const QString program =
            h.file(h.folder(QStringLiteral("tools")), QStringLiteral("viewer"), "#!/bin/sh\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        // Beside it, an application entry the picker offers too, and a text
        // it does not.
        h.file(h.folder(QStringLiteral("tools")), QStringLiteral("writer.desktop"), "[Desktop Entry]\n");
        h.file(h.folder(QStringLiteral("tools")), QStringLiteral("readme.txt"), "words\n");

        // What the user does in each box as it comes up, and what each showed.
        const auto typePath = [](QWidget* w, const QString& path) {
            auto* name = qobject_cast<QFileDialog*>(w)->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        };
        const auto answerInput = [](QWidget* w, const QString& text) {
            qobject_cast<QInputDialog*>(w)->setTextValue(text);
            qobject_cast<QInputDialog*>(w)->accept();
        };
        QList<std::function<QString(QWidget*)>> steps = {
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
                auto* files =
                    shown != nullptr ? qobject_cast<QFileSystemModel*>(shown->sourceModel()) : nullptr;
                QStringList offered;
                if (files != nullptr) {
                    const QString tools = QFileInfo(program).path();
                    dialog->setDirectory(tools);
                    const auto folder = [&] { return shown->mapFromSource(files->index(tools)); };
                    static_cast<void>(QTest::qWaitFor([&] { return shown->rowCount(folder()) >= 2; }, 5000));
                    QTest::qWait(100); // anything more the folder holds
                    for (int row = 0; row < shown->rowCount(folder()); ++row) {
                        offered.append(shown->index(row, 0, folder()).data().toString());
                    }
                    offered.sort();
                }
                typePath(w, program);
                return offered.join(u' ');
            },
        };
        QStringList seen;
        QPointer<QWidget> last;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != last && !steps.isEmpty()) {
                last = modal;
                seen.append(steps.takeFirst()(modal));
            }
        });
        user.start(10);
        main.MnuAddType_Click();

        QCOMPARE(seen, QStringList(
                           {QStringLiteral("*.* (*)"),
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
    }
};

QTEST_MAIN(TestRealDialogs)
#include "tst_realdialogs.moc"
