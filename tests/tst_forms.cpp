// The forms as a user drives them (see tu::Run).
#include "forms/addrecorddialog.h"
#include "forms/changeamountdialog.h"
#include "forms/editrecorddialog.h"
#include "forms/introdialog.h"
#include "testutil.h"

namespace {

// The boxes and buttons of `window` that say nothing when pointed at.
QStringList Untold(const QWidget* window)
{
    QStringList untold;
    for (const QWidget* c : window->findChildren<QWidget*>()) {
        const bool control = c->inherits("QAbstractButton") || c->inherits("QLineEdit");
        if (control && c->toolTip().isEmpty())
            untold << c->objectName();
    }
    return untold;
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    // "Rent|Sub|date|amount|months" as the add form appends it; the edit form's rule is the
    // same (tst_core), and the scripts below show it writes through the store and refuses.
    void addForm_data()
    {
        QTest::addColumn<QString>("file");
        const auto row = [](const char* typed, const char* file) {
            QTest::newRow(typed) << QString(file);
        };
        row("2026-7-1 1234.5 12", "Rent|Sub|2026-07-01|1,234.50|12\r\n");
        row("0999-3-1 .5 12", "Rent|Sub|0999-03-01|.50|12\r\n");
        row("2026-3-31 0 1", "Rent|Sub|2026-03-31|.00|1\r\n");
        row("2026-7-1 007 32767", "Rent|Sub|2026-07-01|7.00|32767\r\n");
        // The other refusals are tst_core's, on the rule both forms call.
        for (const char* typed : {"2026-13-1 5 12", "2026-3-0 5 12", "2026-7-1 5 32768"})
            row(typed, "");
    }
    void addForm()
    {
        QFETCH(QString, file);
        const QString typed = QString("Rent Sub ") + QTest::currentDataTag();
        QVERIFY(f->open(""));
        AddRecordDialog add(*f->app);
        const QStringList failed =
            tu::Run(*f, "enter " + typed.split(' ').join('|') + "; key Esc", [&] { add.exec(); });
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));
        QCOMPARE(QString(f->bytes()), file);
    }

    void scripts_data()
    {
        QTest::addColumn<QString>("form"); // the window and its arguments
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("script"); // see tu::Run
        QTest::addColumn<QString>("closed"); // how the window closed
        const auto row = [](const QString& name, const char* form, const QByteArray& file,
                            const QString& script, const char* closed) {
            QTest::newRow(qPrintable(name)) << QString(form) << file << script << QString(closed);
        };
        // What a box of the add form holds after typing or pasting into it, and the message.
        const auto key = [&](const char* name, const char* script) {
            row(name, "frmAdd", "", QString(script) + "; key Esc", "rejected");
        };
        key("letter in the date",
            "type txtIn(2) 2026a; check txtIn(2)=2026; check shown=Invalid character in date");
        key("comma in the amount",
            "type txtIn(3) 1,2; check txtIn(3)=12; check shown=Invalid character in amount");
        key("bar in the name", "type txtIn(0) a|b; check txtIn(0)=ab;"
                               "check shown=The character | cannot be used");
        key("line break pasted into the name",
            "click txtIn(0); paste Car\r\ninsurance; check txtIn(0)=Car  insurance");
        // Records follow one another, blanks around a name dropped; once the data file vanished,
        // all of them after the user agrees. A longer period raises the horizon. Type is three
        // characters, not bytes. A refused box keeps the focus and clicks meanwhile do nothing.
        // A paste beside the commas of the amount is checked for what it adds only.
        const QString first = "First|S b|2026-01-01|1.00|120/";
        // The close box reaches reject() as Esc does, through Qt.
        for (const char* way : {"click cmdCancel", "key Esc"})
            row(QString("add form, ") + way, "frmAdd", "",
                "enter __First__|S_b|2026-1-1|1|120; check file=" + first +
                    "; delete file; answer yes; enter Second|\u00c9t\u00e9|2026-2-2|2|240;"
                    "check shown~was removed outside Kestrow. Put back the payments Kestrow shows, "
                    "with your change?; enter Rent|Subs;"
                    "check shown=Type can have only three characters; enter |Sub|2026-3;"
                    "click cmdUseIt; click cmdCancel; click txtIn(4); key Backtab; check shown="
                    "Invalid date/Invalid date/Invalid date/Invalid date/Invalid date;"
                    "type txtIn(2) 2026-3-1; enter ||||12; check shown=Entry 3 is null;"
                    "enter |||1234; click txtIn(3); key Home; key Right; paste 5; paste x;"
                    "check shown=Invalid character in amount; check txtIn(3)=15,234.00;"
                    "check horizon=240; check front=frmAdd;" +
                    QString(way) + "; check file=" + first +
                    "Second|\u00c9t\u00e9|2026-02-02|2.00|240/",
                "rejected");
        // Cancel and Esc leave the file byte for byte; Enter in a refused date is told once.
        const QByteArray three = "Gas|Sub|2026-07-01|40.00|1/Rent|Sub|2025-03-01|500|1/Tax|S|d|3|1";
        for (const char* way : {"key Tab; check shown=Invalid date; click cmdCancel",
                                "key Return; check shown=Invalid date; key Esc"})
            row(QString("edit form, ") + way, "frmChange 3", three,
                "type txtIn(2) 2026/7/1;" + QString(way) +
                    "; check scratch=no; check file=" + three,
                "rejected");
        // A record the file does not hold is said so, and the form closes itself.
        row("edit form, no such record", "frmChange 4", three,
            "check shown~There is no entry 4 in the data file; check scratch=no; check file=" +
                three,
            "rejected");
        // A name as long as its box holds is shown whole, not cut short as a longer one is.
        row("edit form, the longest name a box holds", "frmChange 1",
            QByteArray(32767, 'N') + "|S|2026-07-01|5|1",
            "check txtIn(0)~" + QString(1001, 'N') + "; key Esc", "rejected");
        row("edit form, a byte order mark kept", "frmChange 2",
            "A|S|d|1|1/\xef\xbb\xbf"
            "B|S|2026-07-01|5|12",
            "click cmdAccept; check file=A|S|d|1|1/\ufeffB|S|2026-07-01|5|12/", "accepted");
        // A failed save leaves the file and the form to try again.
        row("edit form, accept", "frmChange 2", three,
            "walk Name|Type|Date|Amount|Duration|Accept|Cancel; check txtIn(0)=Rent;"
            "check txtIn(2)=2025-03-01; check scratch=yes;"
            "type txtIn(0) _Caf\u00e9_; type txtIn(1) Memb; type txtIn(3) 1234.5; delete scratch;"
            "key Return; check shown~Kestrow.txt; check file=" +
                three +
                "; key Return;"
                "check scratch=no; check file=Gas|Sub|2026-07-01|40.00|1/"
                " Caf\u00e9 |Memb|2026-06-01|1,234.50|1/Tax|S|d|3|1/",
            "accepted");
        // Accept once the data file was removed, not put back, writes nothing and closes it.
        row("edit form, file removed, not put back", "frmChange 2", three,
            "type txtIn(0) Rates; delete file; click cmdAccept; check shown~was removed outside "
            "Kestrow; check file=; check scratch=no",
            "rejected");
        // Esc (as Exit, see tst_startup) ends the program and removes the data file, asking
        // when it holds any.
        const char* const rent = "Rent|Sub|2026-07-01|800.00|1/";
        row("introduction, Esc, Yes", "frmIntro", rent,
            "answer yes; key Esc; check shown=Do you really want to clear the data?;"
            "check ending=yes; check file=<missing>",
            "rejected");
        // But not a file changed outside Kestrow since it was read.
        row("introduction, Exit after an outside edit", "frmIntro", "",
            "save Rent|Sub|2026-07-01|800.00|1/; answer yes; click cmdQuit; check ending=yes;"
            "check shown~Kestrow has not deleted the data file; check file=Rent|Sub|2026-07-01|"
            "800.00|1/",
            "rejected");
        // The keyboard walk; leaving a box checks it, so the walk fills each box.
        row("add form, walk", "frmAdd", "",
            "walk Name=Rent|Type=Sub|Date=2026-07-01|Amount=45|Duration=12|Use this entry|Finished;"
            "check Label1=Name; check Label5=Duration; key Esc",
            "rejected");
        // Each press of Add and Sub starts from the box; only Change hands the amount over;
        // Enter in the box does nothing: the dialog has no default button.
        const auto dollar = [&](const char* steps, const char* form, const char* closed) {
            row(steps, form, "", steps, closed);
        };
        dollar("check labA~in 1 month, enter it here; check txtChange=1,000.00; key Return",
               "frmChangeDollar 1 1000", "accepted 1000"); // Change has the focus
        dollar(
            "walk Change|NoChange|If you want to change the dollar amount for the payment due in "
            "3 months, enter it here|Add 5%|Add 10%|Add 15%|Add 20%|Add 25%|Check to reduce "
            "amount; click chkAddSub; click cmdIncrease(4);"
            "check txtChange=150.00; click cmdNoChange",
            "frmChangeDollar 3 200", "rejected 200");
        dollar("click cmdIncrease(1); click chkAddSub; click cmdIncrease(1);"
               "check txtChange=99.00; key Esc",
               "frmChangeDollar 3 100", "rejected 100");
        dollar("click cmdIncrease(3); check txtChange=1,481.40; type txtChange _2,500.75_;"
               "key Return; check front=frmChangeDollar; click cmdChange",
               "frmChangeDollar 3 1234.5", "accepted 2500.75");
        dollar("type txtChange ten; click cmdIncrease(0); check shown=Invalid amount;"
               "check txtChange=ten; type txtChange 1.2.3; click cmdChange;"
               "check shown=Invalid amount; key Esc",
               "frmChangeDollar 3 42", "rejected 42");
    }
    void scripts()
    {
        QFETCH(QString, form);
        QFETCH(QByteArray, file);
        QFETCH(QString, script);
        QFETCH(QString, closed);
        QVERIFY(f->open(file.replace("/", "\r\n")));
        const std::unique_ptr<QDialog> d(open(form));
        // Only the change-amount dialog has no tooltips.
        if (!form.startsWith("frmChangeDollar"))
            QCOMPARE(Untold(d.get()), QStringList());
        auto* edit = qobject_cast<EditRecordDialog*>(d.get());
        // The edit form is shown only once it has opened its record, as the entry list does.
        const QStringList failed = tu::Run(*f, script, [&] {
            if (edit == nullptr || edit->Form_Load())
                d->exec();
        });
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));
        const auto* dollar = qobject_cast<ChangeAmountDialog*>(d.get());
        QCOMPARE(QString(d->result() ? "accepted" : "rejected") +
                     (dollar ? " " + QString::number(dollar->amount()) : ""),
                 closed);
    }

    // The runner itself: a step it does not know, a control that is not there (the script
    // then stops) and a window that comes back whenever it is closed (until the deadline)
    // fail, named.
    void runner_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("failed");
        QTest::newRow("unknown verb") << "wave txtIn(0); key Esc"
                                      << "no such step: wave txtIn(0)";
        QTest::newRow("missing control")
            << "click cmdNone; key Esc"
            << "click cmdNone   but frmAdd is in front/left open: frmAdd";
        QTest::newRow("shown again and again")
            << "key Esc"
            << "left open: frmAdd/timed out after 300 ms: closing what is left open after key Esc"
               "   with frmAdd in front";
    }
    void runner()
    {
        QFETCH(QString, script);
        QFETCH(QString, failed);
        QVERIFY(f->open(""));
        f->patienceMs = 300;
        AddRecordDialog add(*f->app);
        const bool again = script == "key Esc"; // as start-up shows the introduction
        const auto begin = [&] {
            add.exec();
            while (again && !platform::ProgramEnding())
                add.exec();
        };
        QCOMPARE(tu::Run(*f, script, begin).join('/'), failed);
    }

private:
    // The window a row names: "frmAdd", "frmChange N", "frmIntro" or
    // "frmChangeDollar MONTHS AMOUNT".
    QDialog* open(const QString& form)
    {
        const QStringList arg = form.split(' ');
        if (arg[0] == "frmAdd")
            return new AddRecordDialog(*f->app);
        if (arg[0] == "frmChange")
            return new EditRecordDialog(*f->app, arg[1].toInt());
        if (arg[0] == "frmIntro")
            return new IntroDialog(*f->app);
        return new ChangeAmountDialog("Rent", arg[1].toInt(), arg[2].toDouble());
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
