#include "applicationsetup.h"
#include "form1.h"
#include "widgettestsetup.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

using korvex::Form1;

// What the start costs beyond a plain window with text: its own process, since a plugin
// that any earlier test loaded stays loaded.
class StartupTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void noImagePluginIsLoaded();
    void frameLooksAsFusionDrawsIt();

private:
    QTemporaryDir m_driveC;
    std::unique_ptr<Form1> m_form;
};

void StartupTest::initTestCase()
{
    korvex::setUpApplication();
    m_form = std::make_unique<Form1>(m_driveC.path());
    QVERIFY(showAndActivate(m_form.get()));
    m_form->grab();
}

void StartupTest::noImagePluginIsLoaded()
{
#ifndef Q_OS_LINUX
    QSKIP("reads the loaded libraries from /proc/self/maps");
#endif
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList plugins;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const int at = line.indexOf("/imageformats/");
        if (at >= 0)
            plugins << QString::fromLocal8Bit(line.mid(at + 14));
    }
    plugins.removeDuplicates();
    QCOMPARE(plugins, QStringList());
    QCOMPARE(QApplication::windowIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
}

void StartupTest::frameLooksAsFusionDrawsIt()
{
    auto *frame = m_form->findChild<QGroupBox *>(QStringLiteral("Frame1"));
    QVERIFY(frame);
    const QImage ours = frame->grab().toImage();
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    frame->setStyle(fusion.get());
    const QImage fusions = frame->grab().toImage();
    frame->setStyle(nullptr);
    QCOMPARE(ours, fusions);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
