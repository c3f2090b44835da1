#include "textconversion.h"

#include <QTest>

#include <optional>

class TextConversionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convertsNumbers_data();
    void convertsNumbers();
    void refusesWhatIsNoNumber_data();
    void refusesWhatIsNoNumber();
};

void TextConversionTest::convertsNumbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("7") << QByteArray("7") << 7;
    QTest::newRow("007") << QByteArray("007") << 7;
    QTest::newRow("+7") << QByteArray("+7") << 7;
    QTest::newRow("blanks around 7") << QByteArray("  7 ") << 7;
    QTest::newRow("tabs around 7") << QByteArray("\t7\t") << 7;
    QTest::newRow("-3") << QByteArray("-3") << -3;
    QTest::newRow("-0") << QByteArray("-0") << 0;
    QTest::newRow("2.5 to even") << QByteArray("2.5") << 2;
    QTest::newRow("3.5 to even") << QByteArray("3.5") << 4;
    QTest::newRow("2.51 up") << QByteArray("2.51") << 3;
    QTest::newRow("2.500 to even") << QByteArray("2.500") << 2;
    QTest::newRow("2.4999 down") << QByteArray("2.4999") << 2;
    QTest::newRow("-2.5 to even") << QByteArray("-2.5") << -2;
    QTest::newRow("-2.6") << QByteArray("-2.6") << -3;
    QTest::newRow(".5") << QByteArray(".5") << 0;
    QTest::newRow(".6") << QByteArray(".6") << 1;
    QTest::newRow("5.") << QByteArray("5.") << 5;
    QTest::newRow("32767") << QByteArray("32767") << 32767;
    QTest::newRow("-32768") << QByteArray("-32768") << -32768;
    QTest::newRow("-32768.5 to even") << QByteArray("-32768.5") << -32768;
    QTest::newRow("-32767.5 to even") << QByteArray("-32767.5") << -32768;
    QTest::newRow("32766.5 to even") << QByteArray("32766.5") << 32766;
    QTest::newRow("many leading zeros") << QByteArray("0000000000000000000012") << 12;
}

void TextConversionTest::convertsNumbers()
{
    QFETCH(QByteArray, text);
    QFETCH(int, value);

    const auto converted = korvex::textToInteger(text.toStdString());
    QVERIFY(converted.has_value());
    QCOMPARE(int{*converted}, value);
}

void TextConversionTest::refusesWhatIsNoNumber_data()
{
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("blanks only") << QByteArray("  \t ");
    QTest::newRow("lone minus") << QByteArray("-");
    QTest::newRow("lone plus") << QByteArray("+");
    QTest::newRow("lone point") << QByteArray(".");
    QTest::newRow("sign and point") << QByteArray("-.");
    QTest::newRow("letters") << QByteArray("abc");
    QTest::newRow("12abc") << QByteArray("12abc");
    QTest::newRow("1e3") << QByteArray("1e3");
    QTest::newRow("two signs") << QByteArray("--3");
    QTest::newRow("sign after blank after sign") << QByteArray("- 3");
    QTest::newRow("blank inside") << QByteArray("1 2");
    QTest::newRow("two points") << QByteArray("1.2.3");
    QTest::newRow("comma") << QByteArray("1,5");
    QTest::newRow("hex") << QByteArray("0x10");
    QTest::newRow("trailing sign") << QByteArray("3-");
    QTest::newRow("newline") << QByteArray("3\n");
    QTest::newRow("32768") << QByteArray("32768");
    QTest::newRow("-32769") << QByteArray("-32769");
    QTest::newRow("32767.5 rounds out of range") << QByteArray("32767.5");
    QTest::newRow("-32768.51") << QByteArray("-32768.51");
    QTest::newRow("huge") << QByteArray("99999999999999999999999999");
    QTest::newRow("huge with fraction") << QByteArray("4294967296.5");
    QTest::newRow("non-ASCII digit") << QByteArray("\xd9\xa3"); // ARABIC-INDIC DIGIT THREE
}

void TextConversionTest::refusesWhatIsNoNumber()
{
    QFETCH(QByteArray, text);

    QVERIFY(!korvex::textToInteger(text.toStdString()));
}

QTEST_GUILESS_MAIN(TextConversionTest)
#include "tst_textconversion.moc"
