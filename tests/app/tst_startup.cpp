#include "applicationsetup.h"
#include "form1.h"
#include "widgettestsetup.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QPainter>
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
    void frameIsAFaintLineWithItsCornersCut();

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

void StartupTest::frameIsAFaintLineWithItsCornersCut()
{
    auto *frame = m_form->findChild<QGroupBox *>(QStringLiteral("Frame1"));
    QVERIFY(frame);
    // The frame alone, without the buttons on it.
    QImage image(frame->size(), QImage::Format_RGB32);
    frame->render(&image, {}, {}, QWidget::DrawWindowBackground);
    const QColor background = frame->palette().color(QPalette::Window);
    const auto over = [&](const QColor &colour) {
        QImage dot(1, 1, QImage::Format_RGB32);
        dot.fill(background);
        QPainter(&dot).fillRect(0, 0, 1, 1, colour);
        return dot.pixelColor(0, 0);
    };
    const QColor line = over(QColor(117, 117, 117, 50));
    const QColor shadow = over(QColor(0, 0, 0, 7));
    const QColor tint = over(QColor(0, 0, 0, 3));

    // The caption stands at the left, so the middle column shows where the frame begins.
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    const int middle = image.width() / 2;
    int top = bottom;
    while (top > 0 && image.pixelColor(middle, top - 1) != background)
        --top;
    const int level = (top + bottom) / 2;
    const struct
    {
        QPoint at;
        QColor colour;
    } expected[] = {
        {{middle, top}, line},
        {{middle, top + 1}, shadow},
        {{middle, top + 2}, tint},
        {{middle, bottom}, line},
        {{middle, bottom - 1}, shadow},
        {{0, level}, background},
        {{1, level}, line},
        {{2, level}, shadow},
        {{3, level}, tint},
        {{right, level}, line},
        {{right - 1, level}, shadow},
        // The corners are cut.
        {{1, top}, background},
        {{2, top}, line},
        {{right, top}, background},
        {{1, bottom}, background},
        {{right, bottom}, background},
        {{right - 1, bottom}, line},
    };
    QVERIFY2(bottom - top > 10, qPrintable(QString::number(top)));
    for (const auto &[at, colour] : expected) {
        QVERIFY2(image.pixelColor(at) == colour,
                 qPrintable(QStringLiteral("(%1, %2) is %3, not %4")
                                .arg(at.x())
                                .arg(at.y())
                                .arg(image.pixelColor(at).name(), colour.name())));
    }
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
