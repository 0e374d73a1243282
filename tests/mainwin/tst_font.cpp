#include <QApplication>
#include <QFontMetrics>
#include <QMenuBar>
#include <QTest>

#include <cmath>

#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;

// Both windows in the desktop's font: larger text gives larger windows with
// every control in its proportion and every caption whole.
class TestFont : public QObject {
    Q_OBJECT

    struct Control {
        const QWidget* widget;
        QRect twips;
    };

    // What does not fit: captions cut, a wrapping label showing part of a
    // line, a control out of proportion with the others.
    static QStringList problems(const QList<Control>& controls, double pixelsPerTwip)
    {
        QStringList out;
        for (const Control& c : controls) {
            const QWidget& w = *c.widget;
            const QString name = w.objectName() + u' ';
            const QRect want(
                std::lround(c.twips.x() * pixelsPerTwip), std::lround(c.twips.y() * pixelsPerTwip),
                std::lround(c.twips.width() * pixelsPerTwip), std::lround(c.twips.height() * pixelsPerTwip));
            const auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
            const auto* label = qobject_cast<const QLabel*>(&w);
            const bool wrapping = label != nullptr && label->wordWrap();
            if (!near(w.x(), want.x()) || !near(w.y(), want.y()) || !near(w.width(), want.width()) ||
                (!wrapping && !near(w.height(), want.height()))) {
                out << name + u"is out of proportion"_s;
            }
            const QFontMetrics metrics(w.font());
            if (label != nullptr && !wrapping && label->sizeHint().width() > label->width()) {
                out << name + u"cuts \""_s + label->text() + u'"';
            }
            if (wrapping && (w.height() % metrics.lineSpacing() != 0 || w.height() == 0)) {
                out << name + u"shows part of a line"_s;
            }
            if (const auto* button = qobject_cast<const QPushButton*>(&w);
                button != nullptr && metrics.horizontalAdvance(button->text()) > button->width() - 4) {
                out << name + u"cuts \""_s + button->text() + u'"';
            }
        }
        return out;
    }

    static QList<Control> mainControls(MainForm& m)
    {
        return {{&m.TypeCombo.widget(), {1200, 240, 3135, 315}},
                {&m.FileList, {120, 960, 4455, 2040}},
                {&m.DescLabel, {120, 3360, 4455, 615}},
                {&m.Label2, {240, 720, 1575, 255}},
                {&m.Label1, {120, 240, 1095, 255}}};
    }

    static QList<Control> prefControls(PrefForm& p)
    {
        QList<Control> out = {{&p.TypeCombo.widget(), {120, 120, 5055, 315}},
                              {&p.DescLabel, {120, 480, 5055, 495}},
                              {&p.PrefDir, {120, 1080, 2535, 1155}},
                              {&p.PrefFile, {120, 2520, 2535, 675}},
                              {&p.InstrLabel, {120, 3480, 5055, 255}}};
        const int tops[] = {2280, 3000, 1200, 1920, 1560, 2640};
        for (int i = 0; i < 6; ++i) {
            out.append({&p.PrefButton.at(static_cast<std::size_t>(i)), {2880, tops[i], 2295, 255}});
        }
        return out;
    }

    static QFont font(double points)
    {
        QFont f(u"DejaVu Sans"_s);
        f.setPointSizeF(points);
        return f;
    }

private Q_SLOTS:
    void cleanup() { QApplication::setFont(font(7.5)); }

    void bothWindowsGrowWithTheFont_data()
    {
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("setAfterStart"); // by a theme, once the program runs
        QTest::newRow("7.5 pt") << 7.5 << false;
        QTest::newRow("10 pt") << 10.0 << false;
        QTest::newRow("12 pt") << 12.0 << false;
        QTest::newRow("14 pt") << 14.0 << false;
        QTest::newRow("14 pt set after start") << 14.0 << true;
        QTest::newRow("10 pt set after start") << 10.0 << true;
    }

    void bothWindowsGrowWithTheFont()
    {
        QFETCH(double, points);
        QFETCH(bool, setAfterStart);
        QApplication::setFont(font(setAfterStart ? 7.5 : points));
        test::Harness h;
        MainForm& m = h.start();
        h.addType(u"Letters"_s, u"txt"_s, h.folder(u"letters"_s),
                  u"Letters to friends, family and the bank, kept for years and read again now and then"_s);
        PrefForm& p = h.pref();
        if (setAfterStart) {
            QApplication::setFont(font(points));
        }
        m.show();
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        m.TypeCombo.setListIndex(0);
        m.TypeCombo_Click();
        p.PrefButton_MouseMove(PrefForm::ChangeDescription);

        // 15 twips a pixel at 7.5 pt, fewer as the font grows; a font wider
        // than its size may need a little more room, never less.
        const double pixelsPerTwip = double(p.width()) / 5310;
        QVERIFY2(pixelsPerTwip >= points / 7.5 / 15 - 0.002, qPrintable(QString::number(pixelsPerTwip)));
        QVERIFY2(pixelsPerTwip <= points / 7.5 / 15 * 1.25, qPrintable(QString::number(pixelsPerTwip)));
        if (points == 7.5) {
            QCOMPARE(m.centralWidget()->size(), QSize(314, 263));
            QCOMPARE(p.size(), QSize(354, 260));
        }
        QCOMPARE(problems(mainControls(m), pixelsPerTwip), QStringList());
        QCOMPARE(problems(prefControls(p), pixelsPerTwip), QStringList());
        QVERIFY(std::abs(m.centralWidget()->width() - 4710 * pixelsPerTwip) <= 1);
        QVERIFY(std::abs(p.width() - 5310 * pixelsPerTwip) <= 1);
        QVERIFY(std::abs(p.height() - 3900 * pixelsPerTwip) <= 1);
        QVERIFY(!m.DescLabel.text().isEmpty());
        QVERIFY(!p.InstrLabel.text().isEmpty());
    }
};

QTEST_MAIN(TestFont)
#include "tst_font.moc"
