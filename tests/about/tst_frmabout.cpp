#include "applicationsetup.h"
#include "form1.h"
#include "widgettestsetup.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using korvex::Form1;

class AboutWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void showsTitleVersionAndDescription();
    void okHasTheFirstFocusAndTabTurnsToThePicture();
    void okEnterAndEscHideTheSameWindow_data();
    void okEnterAndEscHideTheSameWindow();
    void closeBoxDestroysItAndInfoMakesANewOne();

private:
    QWidget *pressInfo();
    static QString text(QWidget *window, const char *label)
    {
        return window->findChild<QLabel *>(label)->text();
    }

    QTemporaryDir m_driveC;
    std::unique_ptr<Form1> m_form;
};

void AboutWindowTest::initTestCase()
{
    korvex::setUpApplication();
}

void AboutWindowTest::init()
{
    m_form = std::make_unique<Form1>(m_driveC.path());
    QVERIFY(showAndActivate(m_form.get()));
}

void AboutWindowTest::cleanup()
{
    m_form.reset();
}

QWidget *AboutWindowTest::pressInfo()
{
    QTest::mouseClick(m_form->findChild<QPushButton *>("Command4"), Qt::LeftButton);
    QWidget *found = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("frmAbout") && window->isVisible()) {
            if (found)
                return nullptr; // a second About window
            found = window;
        }
    }
    return found;
}

void AboutWindowTest::showsTitleVersionAndDescription()
{
    QWidget *about = pressInfo();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(about->windowTitle(), QStringLiteral("About Korvex"));
    QCOMPARE(text(about, "lblTitle"), QStringLiteral("Korvex"));
    QCOMPARE(text(about, "lblVersion"), QStringLiteral("Version 1.1.1"));
    QCOMPARE(text(about, "lblDescription"),
             QStringLiteral("The Output.txt button will give you the option to delete or view the "
                            "output.txt file on C: drive. (This file will be re-made on clicking "
                            "calculate)"));
    QVERIFY(!text(about, "lblDisclaimer").isEmpty());
    QVERIFY(!about->isModal());
    QCOMPARE(about->size(), QSize(382, 237));
}

void AboutWindowTest::okHasTheFirstFocusAndTabTurnsToThePicture()
{
    QWidget *about = pressInfo();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowActive(about));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdOK"));
    QStringList visited;
    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, QStringList({"Picture1", "cmdOK"}));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(!about->isVisible());
}

void AboutWindowTest::okEnterAndEscHideTheSameWindow_data()
{
    QTest::addColumn<int>("key");

    QTest::newRow("OK clicked") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void AboutWindowTest::okEnterAndEscHideTheSameWindow()
{
    QFETCH(int, key);

    QPointer<QWidget> about = pressInfo();
    QVERIFY(about);
    about->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(about));
    // Marks the window, so that a second run of its set-up would show.
    about->findChild<QLabel *>("lblVersion")->setText(QStringLiteral("marked"));

    if (key == 0)
        QTest::mouseClick(about->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    else
        QTest::keyClick(about, Qt::Key(key));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(about);
    QVERIFY(!about->isVisible());
    // Only hidden: a closed window would come back as a new one, placed anew.
    QVERIFY(about->windowHandle() && about->windowHandle()->handle());

    QCOMPARE(pressInfo(), about.data());
    QCOMPARE(text(about, "lblVersion"), QStringLiteral("marked"));
}

void AboutWindowTest::closeBoxDestroysItAndInfoMakesANewOne()
{
    QPointer<QWidget> about = pressInfo();
    QVERIFY(about);
    about->findChild<QLabel *>("lblVersion")->setText(QStringLiteral("marked"));

    QVERIFY(about->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!about);

    QWidget *again = pressInfo();
    QVERIFY(again);
    QCOMPARE(text(again, "lblVersion"), QStringLiteral("Version 1.1.1"));
    QCOMPARE(again->windowTitle(), QStringLiteral("About Korvex"));
}

QTEST_MAIN(AboutWindowTest)
#include "tst_frmabout.moc"
