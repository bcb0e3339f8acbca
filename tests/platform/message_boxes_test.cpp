#include "platform/message_boxes.h"
#include "tests/support/recording_platform.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

#include <functional>

using namespace trelvant;

// Every box shows its text as it is: a file name, a typed value or a worksheet cell such as
// "<b>12</b>" is never read as markup.
class MessageBoxesTest : public QObject {
    Q_OBJECT

private slots:
    void everyBoxShowsPlainText_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("plain") << 0;
        QTest::newRow("error") << 1;
        QTest::newRow("toolkit error") << 2;
        QTest::newRow("question") << 3;
    }
    void everyBoxShowsPlainText()
    {
        QFETCH(int, kind);
        const QString text = QStringLiteral("<b>12</b> & <i>x</i>");
        QtMessageBoxes boxes;
        test::ModalScript check([&](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            QVERIFY(box != nullptr);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->text(), text);
            QAbstractButton* close = kind == 3 ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok);
            QVERIFY(close != nullptr);
            close->click();
        });
        const std::function<void()> show[] = {[&] { boxes.plain(nullptr, text); },
                                              [&] { boxes.error(nullptr, text); },
                                              [&] { boxes.toolkitError(nullptr, text); },
                                              [&] { QVERIFY(!boxes.question(nullptr, text)); }};
        show[kind]();
        QVERIFY(check.ran());
    }
};

QTEST_MAIN(MessageBoxesTest)
#include "message_boxes_test.moc"
