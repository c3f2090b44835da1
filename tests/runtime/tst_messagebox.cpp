#include "messagebox.h"
#include "messageboxcatcher.h"

#include <QApplication>
#include <QProxyStyle>
#include <QTest>

namespace {

// Stands for a desktop theme that puts icons on dialog buttons, as some Linux themes do.
class IconsOnButtonsStyle : public QProxyStyle
{
public:
    IconsOnButtonsStyle()
        : QProxyStyle(QStringLiteral("Fusion"))
    { }

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

class MessageBoxTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsTextAndOkWithoutAnyIconEvenWhereTheThemeAddsThem();
};

void MessageBoxTest::showsTextAndOkWithoutAnyIconEvenWhereTheThemeAddsThem()
{
    QApplication::setStyle(new IconsOnButtonsStyle);

    MessageBoxCatcher catcher;
    korvex::showMessage(QStringLiteral("Output.txt Deleted"));

    QCOMPARE(catcher.messages.size(), 1);
    const MessageBoxCatcher::Message &message = catcher.messages.first();
    QCOMPARE(message.title, QStringLiteral("Korvex"));
    QCOMPARE(message.text, QStringLiteral("Output.txt Deleted"));
    QCOMPARE(message.icon, QMessageBox::NoIcon);
    QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!message.okButtonHasIcon);
}

QTEST_MAIN(MessageBoxTest)
#include "tst_messagebox.moc"
