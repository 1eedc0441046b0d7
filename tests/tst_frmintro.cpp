// The introduction screen: its texts, "Continue" into the add-record form, and "Exit"
// with the question that protects a data file holding payments.
#include "forms/addrecorddialog.h"
#include "forms/introdialog.h"
#include "modaltest.h"
#include "platform/version.h"
#include "teststate.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using modaltest::Click;

class TestFrmIntro : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void titleAndTexts();
    void textsFitTheirLabels();
    void icon();
    void continueOpensTheAddForm_data();
    void continueOpensTheAddForm();
    void exit_data();
    void exit();

private:
    QStringList shown() { return platform::MessageTestHook::takeShown(); }

    std::unique_ptr<modaltest::Folder> folder_;
};

void TestFrmIntro::init()
{
    folder_ = std::make_unique<modaltest::Folder>();
    modaltest::Begin(*folder_);
}

void TestFrmIntro::cleanup()
{
    modaltest::End();
    folder_.reset();
}

void TestFrmIntro::titleAndTexts()
{
    IntroDialog intro(teststate::State());
    QCOMPARE(intro.windowTitle(), QStringLiteral("Kestrow Introduction --- Version ") +
                                      QString::fromLatin1(kestrow::version::text));
    QCOMPARE(intro.labB->text(), QString::fromUtf8(kestrow::version::legalNotice));
    QVERIFY(intro.cmdContinue->isDefault());
    QCOMPARE(intro.focusWidget(), intro.cmdContinue);

    // Six paragraphs apart by CR LF CR LF, nothing after the last; the digest is that of
    // the exact wording, double blanks and quotation marks included.
    const QString text = intro.labA->text();
    QCOMPARE(text.split(QStringLiteral("\r\n\r\n")).size(), 6);
    QVERIFY(!text.endsWith(QLatin1Char('\n')));
    QVERIFY(text.contains(QStringLiteral("If you click \"Exit\", the program will exit.  If")));
    QCOMPARE(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex(),
             QByteArray("86c5610020261e63bf8c20ee919fadba1cd4ae9dd6c614ea2b5a626442d13db9"));
}

void TestFrmIntro::textsFitTheirLabels()
{
    IntroDialog intro(teststate::State());
    for (QLabel* label : {intro.labA, intro.labB}) {
        const QRect needed = label->fontMetrics().boundingRect(
            QRect(0, 0, label->width(), 100000), int(label->alignment()) | Qt::TextWordWrap,
            label->text());
        QVERIFY2(needed.height() <= label->height(), qPrintable(label->objectName()));
    }
}

void TestFrmIntro::icon()
{
    IntroDialog intro(teststate::State());
    QVERIFY(!ProgramIcon().isNull());
    const QImage small = ProgramIcon().pixmap(16, 16).toImage();
    QCOMPARE(small.size(), QSize(16, 16));
    QVERIFY(small.pixelColor(8, 1).alpha() > 0); // drawn, not an empty image
    QCOMPARE(intro.imgIcon->pixmap().size(), QSize(32, 32));
}

void TestFrmIntro::continueOpensTheAddForm_data()
{
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("click Continue") << false;
    QTest::newRow("Enter") << true;
}

void TestFrmIntro::continueOpensTheAddForm()
{
    QFETCH(bool, byEnter);
    QVERIFY(folder_->open());
    modaltest::Watchdog watchdog;
    bool introHidden = false;
    bool added = false;
    modaltest::WhenShown<IntroDialog>([&](IntroDialog* intro) {
        modaltest::WhenShown<AddRecordDialog>([&](AddRecordDialog* add) {
            introHidden = !intro->isVisible();
            QTest::keyClicks(add->txtIn[0], "Rent");
            QTest::keyClick(add->txtIn[0], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[1], "Sub");
            QTest::keyClick(add->txtIn[1], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[2], "2026-7-1");
            QTest::keyClick(add->txtIn[2], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[3], "800");
            QTest::keyClick(add->txtIn[3], Qt::Key_Tab);
            QTest::keyClicks(add->txtIn[4], "1");
            QTest::keyClick(add->txtIn[4], Qt::Key_Return);
            added = true;
            QTest::keyClick(add->txtIn[0], Qt::Key_Escape);
        });
        if (byEnter)
            QTest::keyClick(intro->focusWidget(), Qt::Key_Return);
        else
            Click(intro->cmdContinue);
    });
    IntroDialog intro(teststate::State());
    const int result = intro.exec();
    QVERIFY(!watchdog.fired());
    QVERIFY(introHidden);
    QVERIFY(added);
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!intro.isVisible());
    QCOMPARE(folder_->contents(), QByteArray("Rent|Sub|2026-07-01|800.00|1\r\n"));
    QVERIFY(!platform::ProgramEnding());
    QCOMPARE(shown(), QStringList{});
}

void TestFrmIntro::exit_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("byEsc");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("kept");
    const QByteArray data("Rent|Sub|2026-07-01|800.00|1\r\n");
    QTest::newRow("empty file") << QByteArray() << false << true << false << false;
    QTest::newRow("empty file, Esc") << QByteArray() << true << true << false << false;
    QTest::newRow("data, No") << data << false << false << true << true;
    QTest::newRow("data, Yes") << data << false << true << true << false;
    QTest::newRow("data, Esc, No") << data << true << false << true << true;
    QTest::newRow("data, Esc, Yes") << data << true << true << true << false;
}

void TestFrmIntro::exit()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, byEsc);
    QFETCH(bool, answerYes);
    QFETCH(bool, asked);
    QFETCH(bool, kept);
    QVERIFY(folder_->write(contents));
    QVERIFY(folder_->open());
    platform::MessageTestHook::queueAnswer(answerYes);

    IntroDialog intro(teststate::State());
    intro.show();
    QVERIFY(QTest::qWaitForWindowActive(&intro));
    if (byEsc)
        QTest::keyClick(intro.focusWidget(), Qt::Key_Escape);
    else
        Click(intro.cmdQuit);

    QVERIFY(platform::ProgramEnding());
    QVERIFY(!intro.isVisible());
    QVERIFY(!teststate::State().hasData()); // the read handle was let go before the file
    QCOMPARE(shown(), asked ? QStringList{"Do you really want to clear the data?"} : QStringList{});
    if (asked)
        QCOMPARE(platform::MessageTestHook::takeTitles(), QStringList{"Data already exists!"});
    QCOMPARE(folder_->exists(), kept);
    if (kept)
        QCOMPARE(folder_->contents(), contents);
}

QTEST_MAIN(TestFrmIntro)
#include "tst_frmintro.moc"
