#include "applicationsetup.h"
#include "form1.h"
#include "widgettestsetup.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using korvex::Form1;

// Every window once, laid out as the user sees it: sizes, titles, colours, fonts, and no
// caption cut off by its box.
class LayoutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void windowsHaveTheirSizeAndTitle_data();
    void windowsHaveTheirSizeAndTitle();
    void controlsStandAtTheirPlaces_data();
    void controlsStandAtTheirPlaces();
    void namedFontsFindTheirSubstitutes_data();
    void namedFontsFindTheirSubstitutes();
    void noCaptionIsClipped_data();
    void noCaptionIsClipped();
    void embeddedPicturesDecode_data();
    void embeddedPicturesDecode();
    void desktopFileNameNamesTheDesktopEntry();

private:
    QWidget *window(const QString &name) const;

    QTemporaryDir m_driveC;
    std::unique_ptr<Form1> m_form;
};

void LayoutTest::initTestCase()
{
    korvex::setUpApplication();
    m_form = std::make_unique<Form1>(m_driveC.path());
    QVERIFY(showAndActivate(m_form.get()));
    QTest::mouseClick(m_form->findChild<QPushButton *>("Command4"), Qt::LeftButton);
    QTest::mouseClick(m_form->findChild<QPushButton *>("Command5"), Qt::LeftButton);
    QVERIFY(window("frmAbout") && window("Form2"));
}

void LayoutTest::cleanupTestCase()
{
    m_form.reset();
}

QWidget *LayoutTest::window(const QString &name) const
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name)
            return top;
    }
    return nullptr;
}

void LayoutTest::windowsHaveTheirSizeAndTitle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("titleBarButtons");

    const int closeOnly = Qt::WindowCloseButtonHint;
    QTest::newRow("main window") << "Form1" << QSize(462, 319) << "Korvex " << closeOnly;
    QTest::newRow("output-file window") << "Form2" << QSize(312, 399) << "Output.txt" << 0;
    QTest::newRow("About window") << "frmAbout" << QSize(382, 237) << "About Korvex" << closeOnly;
}

void LayoutTest::windowsHaveTheirSizeAndTitle()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QString, title);
    QFETCH(int, titleBarButtons);

    QWidget *top = window(name);
    QVERIFY(top);
    QVERIFY(QTest::qWaitForWindowExposed(top));
    QCOMPARE(top->size(), size);
    QCOMPARE(top->minimumSize(), size);
    QCOMPARE(top->maximumSize(), size);
    QCOMPARE(top->windowTitle(), title);
    const Qt::WindowFlags flags = top->windowFlags();
    QCOMPARE(flags.testFlag(Qt::FramelessWindowHint), titleBarButtons == 0);
    QCOMPARE(int(flags
                 & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                    | Qt::WindowCloseButtonHint)),
             titleBarButtons);

    // The shared light blue shows in the window.
    const QColor background(128, 128, 255);
    const QImage image = top->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() - 2, image.height() - 2), background);

    // Each button's face is flat in that colour inside a raised edge, which sinks while the
    // button is down; the focused button has a dotted rectangle inside the edge.
    top->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(top));
    int focusRectangles = 0;
    for (QPushButton *button : top->findChildren<QPushButton *>()) {
        const QImage up = button->grab().toImage();
        button->setDown(true);
        const QImage down = button->grab().toImage();
        button->setDown(false);
        const auto notFace = [&](int y) {
            int count = 0;
            for (int x = 2; x < up.width() - 2; ++x)
                count += up.pixelColor(x, y) != background;
            return count;
        };
        const int face = background.lightness();
        const QByteArray name = button->objectName().toLatin1();
        QCOMPARE(up.pixelColor(3, up.height() / 2), background);
        QVERIFY2(notFace(2) == 0 && notFace(up.height() - 3) == 0, name);
        QVERIFY2(up.pixelColor(0, 0).lightness() > face, name);
        QVERIFY2(up.pixelColor(up.width() - 1, up.height() - 1).lightness() < face, name);
        QVERIFY2(down.pixelColor(0, 0).lightness() < face, name);
        QCOMPARE(notFace(4) > 0, button->hasFocus());
        focusRectangles += notFace(4) > 0;
    }
    QCOMPARE(focusRectangles, 1);
}

void LayoutTest::controlsStandAtTheirPlaces_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("twips");

    // Left, top, width and height in twips from the window's client area, 15 to a pixel.
    const auto place = [](const char *window, const char *control, int left, int top, int width,
                          int height) {
        QTest::addRow("%s %s", window, control)
            << QString::fromLatin1(window) << QString::fromLatin1(control)
            << QRect(left, top, width, height);
    };
    place("Form1", "Label3", 3480, 120, 1815, 375);
    place("Form1", "Text2", 5400, 120, 975, 375);
    place("Form1", "Label4", 3480, 600, 1815, 375);
    place("Form1", "Text3", 5400, 600, 975, 375);
    place("Form1", "Label2", 3480, 1080, 1815, 375);
    place("Form1", "Text1", 5400, 1080, 975, 375);
    place("Form1", "Frame1", 0, 1440, 6855, 855);
    place("Form1", "Command1", 120, 1680, 1335, 495);
    place("Form1", "Command2", 1440, 1680, 1335, 495);
    place("Form1", "Command5", 2760, 1680, 1335, 495);
    place("Form1", "Command4", 4080, 1680, 1335, 495);
    place("Form1", "Command3", 5400, 1680, 1335, 495);
    place("Form1", "Label5", 480, 2400, 1215, 495);
    place("Form1", "Label1", 2520, 2400, 3975, 495);
    place("Form1", "Picture1", 360, 2880, 6375, 1935);
    place("Form2", "Label1", 120, 120, 4455, 1815);
    place("Form2", "Command1", 120, 2160, 1335, 495);
    place("Form2", "Command2", 1680, 2160, 1335, 495);
    place("Form2", "Command3", 3240, 2160, 1335, 495);
    place("Form2", "Text1", 120, 2760, 4455, 3135);
    place("frmAbout", "Picture1", 240, 240, 495, 495);
    place("frmAbout", "lblTitle", 1050, 240, 3885, 480);
    place("frmAbout", "lblVersion", 1050, 780, 3885, 225);
    place("frmAbout", "lblDescription", 1050, 1125, 3885, 1170);
    place("frmAbout", "lblDisclaimer", 255, 2625, 3870, 825);
    place("frmAbout", "cmdOK", 4245, 2625, 1260, 345);
    // The etched separator: a grey line one pixel wide from (90, 2445) to (5654, 2445) and a
    // white one two wide from (105, 2460), each as far as the pixel that holds its end.
    place("frmAbout", "Line1_1", 90, 2445, 5565, 15);
    place("frmAbout", "Line1_0", 105, 2460, 5550, 30);
}

// Where each control stands is what the user finds it by, and what the end-to-end tests
// find it by too, through the accessibility tree.
void LayoutTest::controlsStandAtTheirPlaces()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QRect, twips);

    QWidget *top = this->window(window);
    QVERIFY(top);
    QWidget *widget = top->findChild<QWidget *>(control);
    QVERIFY(widget);
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size()), pixels);
}

void LayoutTest::namedFontsFindTheirSubstitutes_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixelSize");

    const QString sans = QStringLiteral("Liberation Sans");
    QTest::newRow("printed results") << "Form1"
                                     << "Form1" << sans << 16;
    QTest::newRow("box labels") << "Form1"
                                << "Label3" << sans << 13;
    QTest::newRow("buttons") << "Form1"
                             << "Command1" << sans << 11;
    QTest::newRow("web address") << "Form1"
                                 << "Label1"
                                 << "Carlito" << 27;
    QTest::newRow("log explanation") << "Form2"
                                     << "Label1" << sans << 16;
    QTest::newRow("About text") << "frmAbout"
                                << "lblDescription" << sans << 11;
}

void LayoutTest::namedFontsFindTheirSubstitutes()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, family);
    QFETCH(int, pixelSize);

    QWidget *top = this->window(window);
    QWidget *widget = control == window ? nullptr : top->findChild<QWidget *>(control);
    QVERIFY(widget || control == window);
    const QFontInfo font(widget ? widget->font() : m_form->printSurface().font());
#ifndef Q_OS_WIN
    QCOMPARE(font.family(), family);
#endif
    QCOMPARE(font.pixelSize(), pixelSize);
}

void LayoutTest::noCaptionIsClipped_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");

    for (const char *name : {"Form1", "Form2", "frmAbout"}) {
        for (QWidget *control : window(name)->findChildren<QWidget *>()) {
            if (qobject_cast<QLabel *>(control) || qobject_cast<QPushButton *>(control)
                || qobject_cast<QGroupBox *>(control))
                QTest::addRow("%s %s", name, qPrintable(control->objectName()))
                    << QString::fromLatin1(name) << control->objectName();
        }
    }
}

void LayoutTest::noCaptionIsClipped()
{
    QFETCH(QString, window);
    QFETCH(QString, control);

    QWidget *widget = this->window(window)->findChild<QWidget *>(control);
    const QFontMetrics metrics(widget->font());
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (label->text().isEmpty())
            return; // a picture
        if (label->wordWrap())
            QVERIFY(label->heightForWidth(label->width()) <= label->height());
        else
            QVERIFY(metrics.horizontalAdvance(label->text()) <= label->width());
        QVERIFY(metrics.height() <= label->height());
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QVERIFY(metrics.horizontalAdvance(button->text()) + 8 <= button->width());
    } else if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
        QVERIFY(metrics.horizontalAdvance(frame->title()) <= frame->width());
    }
}

void LayoutTest::embeddedPicturesDecode_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    QTest::newRow("banner") << ":/korvex/picture.png" << QSize(424, 129);
    QTest::newRow("icon") << ":/korvex/korvex.png" << QSize(32, 32);
    QTest::newRow("Windows icon") << ":/korvex/korvex.ico" << QSize(32, 32);
}

void LayoutTest::embeddedPicturesDecode()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QImageReader reader(path);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
}

void LayoutTest::desktopFileNameNamesTheDesktopEntry()
{
#ifdef Q_OS_WIN
    QSKIP("Windows has no desktop entries");
#endif
    const QString name = QGuiApplication::desktopFileName();
    QVERIFY(!name.isEmpty());
    const QFileInfo entry(QStringLiteral(KORVEX_DESKTOP_ENTRY_DIR "/") + name + ".desktop");
    QVERIFY2(entry.isFile(), qPrintable(entry.filePath() + " is not a desktop entry"));
}

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
