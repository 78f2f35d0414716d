#include "Form1.h"
#include "LinkBench.h"
#include "RecordingPrompter.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The window mirrors the core both ways; a screenshot is left for a person to look at.
class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void mirrorsCoreAndForwardsClicks();
};

void TestForm::mirrorsCoreAndForwardsClicks()
{
    RecordingPrompter prompter;
    LinkBench bench(prompter);
    Form1 form(bench);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QVERIFY(form.windowTitle().startsWith(QStringLiteral("linkbench")));
    QCOMPARE(form.Text2->text(), QStringLiteral("502"));
    QCOMPARE(form.Command2->text(), QStringLiteral("Link"));
    QCOMPARE(form.botton_interval->text(), QStringLiteral("Send_Int."));
    QCOMPARE(form.Option2->text(), QStringLiteral("16進位"));
    QVERIFY(form.Option2->isChecked());
    QCOMPARE(form.Label3[0]->text(),
             QStringLiteral("16 進位輸入方式: F0 FF (二個字元之間需用空白分隔)"));
    QCOMPARE(form.Text6->toPlainText(), LinkBench::sampleFrame);

    form.Option1->click();
    QVERIFY(bench.Option1.isChecked());
    QVERIFY(form.Text6->toPlainText().isEmpty());
    form.Option2->click();
    QVERIFY(bench.Option2.isChecked() && !form.Option1->isChecked());
    QCOMPARE(form.Text7->toPlainText(), LinkBench::sampleFrame);

    form.Text2->clear();
    QTest::keyClicks(form.Text2, QStringLiteral("1502"));
    QCOMPARE(bench.Text2.text(), QStringLiteral("1502"));
    form.Text6->setPlainText(QStringLiteral("AA BB"));
    QCOMPARE(bench.Text6.text(), QStringLiteral("AA BB"));
    form.Check1->click();
    QVERIFY(bench.Check1.isChecked());

    bench.Text5.setText(QStringLiteral("\r\n01 02\r\n\r\n03"));
    QCOMPARE(form.Text5->toPlainText(), QStringLiteral("\n01 02\n\n03"));
    bench.List1.addItem(QStringLiteral("0,127.0.0.1,50000"));
    bench.List1.addItem(QStringLiteral("1,127.0.0.1,50001"));
    QCOMPARE(form.List1->count(), 2);
    form.List1->setCurrentRow(1);
    QCOMPARE(bench.List1.listIndex(), 1);
    bench.List1.removeItem(0);
    QCOMPARE(form.List1->count(), 1);
    QCOMPARE(form.List1->currentRow(), 0);

    form.Command5->click();
    QCOMPARE(prompter.texts, QStringList(QStringLiteral("Link first!")));

    bench.Text8.setText(QStringLiteral("\r\n00 01 00 00 00 05 01 03 02 00 2A"));
    const QString shot = QDir::temp().filePath(QStringLiteral("linkbench-form.png"));
    QVERIFY(form.grab().save(shot));
    qInfo("window rendered to %s", qPrintable(shot));
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
