#include "applicationsetup.h"
#include "form1.h"
#include "widgettestsetup.h"

#include <QApplication>
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
    void namedFontsFindTheirSubstitutes_data();
    void namedFontsFindTheirSubstitutes();
    void noCaptionIsClipped_data();
    void noCaptionIsClipped();
    void embeddedPicturesDecode_data();
    void embeddedPicturesDecode();

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

    QTest::newRow("main window") << "Form1" << QSize(462, 319) << "Korvex ";
    QTest::newRow("output-file window") << "Form2" << QSize(312, 399) << "Output.txt";
    QTest::newRow("About window") << "frmAbout" << QSize(382, 237) << "About Korvex";
}

void LayoutTest::windowsHaveTheirSizeAndTitle()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QString, title);

    QWidget *top = window(name);
    QVERIFY(top);
    QVERIFY(QTest::qWaitForWindowExposed(top));
    QCOMPARE(top->size(), size);
    QCOMPARE(top->minimumSize(), size);
    QCOMPARE(top->maximumSize(), size);
    QCOMPARE(top->windowTitle(), title);

    // The shared light blue shows in the window, and tints each of its buttons.
    const QColor background(128, 128, 255);
    const QImage image = top->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() - 2, image.height() - 2), background);
    for (QPushButton *button : top->findChildren<QPushButton *>()) {
        const QPoint inside = button->mapTo(top, QPoint(4, button->height() / 2));
        const QColor face = image.pixelColor(inside);
        QVERIFY2(face.blue() > 240 && face.red() < 200 && face.green() < 200,
                 qPrintable(button->objectName() + QLatin1Char(' ') + face.name()));
    }
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

    QTest::newRow("banner") << ":/korvex/picture.jpg" << QSize(424, 129);
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

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
