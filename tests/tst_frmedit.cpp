// The entry list, driven as a user drives it: the six orders, selection and the buttons
// it enables, Delete, New entry and Edit through their modal forms, printing (to the
// recorded printer and into a PDF file), and the main window's "Edit Entries".
#include "forms/entrylistdialog.h"

#include "forms/mainwindow.h"
#include "modaltest.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/printer.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"
#include "teststate.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <map>
#include <memory>

namespace {

const QByteArray kBob = "Bob|Sub|2026-08-15|25.00|1";
const QByteArray kAlice = "alice|Mem|2026-01-10|1,200.00|12";
const QByteArray kBobAlice = kBob + "\r\n" + kAlice + "\r\n";

enum Order { Name = 0, Type = 1, Date = 2, Amount = 3, Duration = 4, Raw = 5 };

QStringList Rows(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

QList<int> Records(const QListWidget* list)
{
    QList<int> numbers;
    for (int i = 0; i < list->count(); ++i)
        numbers << list->item(i)->data(Qt::UserRole).toInt();
    return numbers;
}

void ClickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QListWidgetItem* item = list->item(row);
    QVERIFY(item != nullptr);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(item).center());
}

int RowStartingWith(const QListWidget* list, const QString& start)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().startsWith(start))
            return i;
    }
    return -1;
}

void ClickButton(QWidget* window, const char* name)
{
    auto* button = window->findChild<QPushButton*>(QString::fromUtf8(name));
    QVERIFY2(button != nullptr, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void TypeInto(QWidget* window, const char* name, const QString& text)
{
    auto* box = window->findChild<QLineEdit*>(QString::fromUtf8(name));
    QVERIFY2(box != nullptr, name);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// Acts on the modal windows that come up while the test waits inside a click, one step
// per window in the order they appear. A window for which no step is left, or one still
// up long after its step ran, is closed and recorded, so a failing test cannot hang.
class ModalSteps
{
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalSteps(QList<Step> steps) : steps_(std::move(steps))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(5);
    }

    QStringList seen;       // classes of the windows met, in order
    QStringList unexpected; // windows closed by the safety net

private:
    void poll()
    {
        QWidget* window = QApplication::activeModalWidget();
        if (window == nullptr || !window->isVisible())
            return;
        for (const auto& known : handled_) {
            if (known == window) {
                if (++stuck_ > 2000) {
                    unexpected << QStringLiteral("stuck: ") +
                                      QString::fromLatin1(window->metaObject()->className());
                    stuck_ = 0;
                    window->close();
                }
                return;
            }
        }
        handled_ << QPointer<QWidget>(window);
        stuck_ = 0;
        seen << window->objectName();
        if (next_ >= steps_.size()) {
            unexpected << QString::fromLatin1(window->metaObject()->className());
            window->close();
            return;
        }
        // Run from the event loop, so a step that opens the next modal window does not
        // keep this poll from seeing it.
        Step step = steps_[next_++];
        QPointer<QWidget> target(window);
        QTimer::singleShot(0, window, [step, target] {
            if (target)
                step(target);
        });
    }

    QList<Step> steps_;
    qsizetype next_ = 0;
    QList<QPointer<QWidget>> handled_;
    int stuck_ = 0;
    QTimer timer_;
};

// The text lines of a PDF written by Qt's PDF engine: each drawn line is one BT ... ET
// block of glyph codes, read back into characters through the font's ToUnicode table.
QByteArray Inflate(const QByteArray& deflated)
{
    QByteArray sized(4, '\0');
    const quint32 hint = quint32(deflated.size()) * 8 + 1024;
    for (int i = 0; i < 4; ++i)
        sized[i] = char((hint >> (24 - 8 * i)) & 0xff);
    return qUncompress(sized + deflated);
}

QString FromHexUtf16(const QByteArray& hex)
{
    QString text;
    for (qsizetype i = 0; i + 4 <= hex.size(); i += 4)
        text += QChar(char16_t(hex.mid(i, 4).toUInt(nullptr, 16)));
    return text;
}

QStringList PdfLines(const QByteArray& pdf)
{
    QList<QByteArray> streams;
    qsizetype at = 0;
    while ((at = pdf.indexOf("stream", at)) >= 0) {
        if (at >= 3 && pdf.mid(at - 3, 3) == "end") {
            at += 6;
            continue;
        }
        const qsizetype dict = pdf.lastIndexOf("<<", at);
        const bool deflated = pdf.mid(dict, at - dict).contains("/FlateDecode");
        qsizetype begin = at + 6;
        if (pdf.mid(begin, 1) == "\r")
            ++begin;
        if (pdf.mid(begin, 1) == "\n")
            ++begin;
        const qsizetype end = pdf.indexOf("endstream", begin);
        if (end < 0)
            break;
        const QByteArray body = pdf.mid(begin, end - begin);
        streams << (deflated ? Inflate(body) : body);
        at = end + 9;
    }

    std::map<uint, QString> toUnicode;
    int tables = 0;
    static const QRegularExpression hexPair(QStringLiteral("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>"));
    static const QRegularExpression range(QStringLiteral(
        "<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*(?:<([0-9A-Fa-f]+)>|\\[([^\\]]*)\\])"));
    static const QRegularExpression hexString(QStringLiteral("<([0-9A-Fa-f]+)>"));
    for (const QByteArray& stream : streams) {
        if (!stream.contains("begincmap"))
            continue;
        ++tables;
        const QString text = QString::fromLatin1(stream);
        qsizetype from = 0;
        while ((from = text.indexOf(QLatin1String("beginbfchar"), from)) >= 0) {
            const qsizetype to = text.indexOf(QLatin1String("endbfchar"), from);
            auto it = hexPair.globalMatch(text.mid(from, to - from));
            while (it.hasNext()) {
                const auto m = it.next();
                toUnicode[m.captured(1).toUInt(nullptr, 16)] =
                    FromHexUtf16(m.captured(2).toLatin1());
            }
            from = to;
        }
        from = 0;
        while ((from = text.indexOf(QLatin1String("beginbfrange"), from)) >= 0) {
            const qsizetype to = text.indexOf(QLatin1String("endbfrange"), from);
            auto it = range.globalMatch(text.mid(from, to - from));
            while (it.hasNext()) {
                const auto m = it.next();
                const uint lo = m.captured(1).toUInt(nullptr, 16);
                const uint hi = m.captured(2).toUInt(nullptr, 16);
                if (!m.captured(3).isEmpty()) {
                    const uint first = m.captured(3).toUInt(nullptr, 16);
                    for (uint code = lo; code <= hi; ++code)
                        toUnicode[code] = QChar(char16_t(first + (code - lo)));
                } else {
                    auto each = hexString.globalMatch(m.captured(4));
                    for (uint code = lo; code <= hi && each.hasNext(); ++code)
                        toUnicode[code] = FromHexUtf16(each.next().captured(1).toLatin1());
                }
            }
            from = to;
        }
    }
    // Codes of different fonts could not be told apart.
    if (tables != 1)
        return {QStringLiteral("<%1 ToUnicode tables>").arg(tables)};

    static const QRegularExpression shown(QStringLiteral("<([0-9A-Fa-f]+)>\\s*Tj"));
    QStringList lines;
    for (const QByteArray& stream : streams) {
        const QString text = QString::fromLatin1(stream);
        qsizetype from = 0;
        while ((from = text.indexOf(QLatin1String("BT\n"), from)) >= 0) {
            const qsizetype to = text.indexOf(QLatin1String("ET\n"), from);
            if (to < 0)
                break;
            QString line;
            auto it = shown.globalMatch(text.mid(from, to - from));
            while (it.hasNext()) {
                const QString hex = it.next().captured(1);
                for (qsizetype i = 0; i + 4 <= hex.size(); i += 4) {
                    const auto found = toUnicode.find(hex.mid(i, 4).toUInt(nullptr, 16));
                    line += found == toUnicode.end() ? QStringLiteral("?") : found->second;
                }
            }
            // The font draws tab and blank with one glyph, which the table names by
            // the lower code.
            line.replace(QLatin1Char('\t'), QLatin1Char(' '));
            lines << line;
            from = to;
        }
    }
    return lines;
}

} // namespace

class TestFrmEdit : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void orders_data();
    void orders();
    void selectionEnablesTheButtons();
    void escStandsForEditOnlyWhileEnabled();
    void enterStandsForNewEntry();
    void deleteSelected_data();
    void deleteSelected();
    void deleteEverythingShowsTheIntroduction();
    void newEntryRebuildsInTheSameOrder();
    void editFromTheList();
    void everyOpeningStartsInNameOrder();
    void emptyFileShowsAnEmptyList();
    void printOnThePrinter();
    void printIntoPdf();
    void printWithoutPrinter_data();
    void printWithoutPrinter();
    void editEntriesThenDoneLeavesTheMainWindow();

private:
    bool open(const QByteArray& contents);
    QByteArray data() const;
    QString dataPath() const { return dir_->filePath(QStringLiteral("Kestrow.txt")); }
    QString tempPath() const { return dir_->filePath(QStringLiteral("xyzzy.tmp")); }
    static bool show(QWidget& window);

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestFrmEdit::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    modaltest::Begin(dir_->path());
    modaltest::SetPaths(dir_->path());
    platform::PrinterTestHook::install();
}

void TestFrmEdit::cleanup()
{
    modaltest::End();
    platform::PrinterTestHook::uninstall();
    dir_.reset();
}

bool TestFrmEdit::open(const QByteArray& contents)
{
    QFile file(dataPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return false;
    file.close();
    return bool(teststate::State().openData(teststate::DataFile(), teststate::TempFile()));
}

QByteArray TestFrmEdit::data() const
{
    QFile file(dataPath());
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

bool TestFrmEdit::show(QWidget& window)
{
    window.show();
    return QTest::qWaitForWindowActive(&window);
}

void TestFrmEdit::orders_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("records");

    QTest::newRow("name: letter case does not decide")
        << kBobAlice << int(Name)
        << QStringList{"alice  Mem  2026-01-10  1,200.00  12", "Bob  Sub  2026-08-15  25.00  1"}
        << QList<int>{2, 1};
    QTest::newRow("type") << kBobAlice << int(Type)
                          << QStringList{"Mem  alice  2026-01-10  1,200.00  12",
                                         "Sub  Bob  2026-08-15  25.00  1"}
                          << QList<int>{2, 1};
    QTest::newRow("date") << kBobAlice << int(Date)
                          << QStringList{"2026-01-10  alice  Mem  1,200.00  12",
                                         "2026-08-15  Bob  Sub  25.00  1"}
                          << QList<int>{2, 1};
    QTest::newRow("amount") << kBobAlice << int(Amount)
                            << QStringList{"   25.00  Bob  Sub  2026-08-15  1",
                                           "1,200.00  alice  Mem  2026-01-10  12"}
                            << QList<int>{1, 2};
    QTest::newRow("duration") << kBobAlice << int(Duration)
                              << QStringList{"   1  Bob  Sub  2026-08-15  25.00",
                                             "  12  alice  Mem  2026-01-10  1,200.00"}
                              << QList<int>{1, 2};
    QTest::newRow("raw") << kBobAlice << int(Raw)
                         << QStringList{"     1  Bob|Sub|2026-08-15|25.00|1",
                                        "     2  alice|Mem|2026-01-10|1,200.00|12"}
                         << QList<int>{1, 2};

    const QByteArray gym = "Gym|Memb|2026-08-01|30.00|1\r\nArt|Mema|2026-08-01|30.00|1\r\n";
    QTest::newRow("type cut to three in its key column")
        << gym << int(Type)
        << QStringList{"Mem  Art  2026-08-01  30.00  1", "Mem  Gym  2026-08-01  30.00  1"}
        << QList<int>{2, 1};
    QTest::newRow("type shown whole elsewhere")
        << gym << int(Name)
        << QStringList{"Art  Mema  2026-08-01  30.00  1", "Gym  Memb  2026-08-01  30.00  1"}
        << QList<int>{2, 1};

    const QByteArray rent = "Rent|Sub|2025-03-01|500.00|1\r\n";
    const QString next = QStringLiteral("2026-06-01");
    QTest::newRow("next occurrence shown: name")
        << rent << int(Name) << QStringList{"Rent  Sub  " + next + "  500.00  1"} << QList<int>{1};
    QTest::newRow("next occurrence shown: date")
        << rent << int(Date) << QStringList{next + "  Rent  Sub  500.00  1"} << QList<int>{1};
    QTest::newRow("stored date shown: raw")
        << rent << int(Raw) << QStringList{"     1  Rent|Sub|2025-03-01|500.00|1"} << QList<int>{1};

    QTest::newRow("long amount widens the column")
        << QByteArray("Car|SG|2026-08-01|250,000.00|12\r\nTea|Sub|2026-08-01|4.50|1\r\n")
        << int(Amount)
        << QStringList{"      4.50  Tea  Sub  2026-08-01  1", "250,000.00  Car  SG  2026-08-01  12"}
        << QList<int>{2, 1};
}

void TestFrmEdit::orders()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, order);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, records);
    QVERIFY(open(contents));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QVERIFY(list.Option1[Name]->isChecked());
    if (order != Name)
        QTest::mouseClick(list.Option1[order], Qt::LeftButton);
    QVERIFY(list.Option1[order]->isChecked());
    QCOMPARE(Rows(list.lstDisplay), rows);
    QCOMPARE(Records(list.lstDisplay), records);
    QVERIFY(list.lstDisplay->selectedItems().isEmpty());
    QCOMPARE(data(), contents);
}

void TestFrmEdit::selectionEnablesTheButtons()
{
    QVERIFY(open(kBobAlice + "Carl|Sub|2026-08-01|5.00|1\r\n"));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QVERIFY(!list.cmdEdit->isEnabled());
    QVERIFY(!list.cmdDelete->isEnabled());

    ClickRow(list.lstDisplay, 0);
    QVERIFY(list.cmdEdit->isEnabled());
    QVERIFY(list.cmdDelete->isEnabled());
    ClickRow(list.lstDisplay, 2, Qt::ControlModifier);
    QVERIFY(!list.cmdEdit->isEnabled());
    QVERIFY(list.cmdDelete->isEnabled());
    ClickRow(list.lstDisplay, 2, Qt::ControlModifier);
    QVERIFY(list.cmdEdit->isEnabled());
    ClickRow(list.lstDisplay, 0);
    ClickRow(list.lstDisplay, 2, Qt::ShiftModifier);
    QCOMPARE(list.lstDisplay->selectedItems().size(), 3);
    QVERIFY(!list.cmdEdit->isEnabled());
    QVERIFY(list.cmdDelete->isEnabled());
    ClickRow(list.lstDisplay, 1, Qt::ControlModifier);
    ClickRow(list.lstDisplay, 0, Qt::ControlModifier);
    ClickRow(list.lstDisplay, 2, Qt::ControlModifier);
    QVERIFY(list.lstDisplay->selectedItems().isEmpty());
    QVERIFY(!list.cmdEdit->isEnabled());
    QVERIFY(!list.cmdDelete->isEnabled());
    // The order buttons and the others never depend on the selection.
    QVERIFY(list.cmdAdd->isEnabled() && list.cmdPrint->isEnabled() && list.cmdDone->isEnabled());
}

void TestFrmEdit::escStandsForEditOnlyWhileEnabled()
{
    QVERIFY(open(kBobAlice));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    {
        ModalSteps steps({});
        QTest::keyClick(list.lstDisplay, Qt::Key_Escape);
        QVERIFY(steps.seen.isEmpty());
    }
    QVERIFY(list.isVisible());

    ClickRow(list.lstDisplay, 1);
    QString edited;
    ModalSteps steps({[&](QWidget* form) {
        edited = form->findChild<QLineEdit*>(QStringLiteral("txtIn(0)"))->text();
        ClickButton(form, "cmdCancel");
    }});
    QTest::keyClick(list.lstDisplay, Qt::Key_Escape);
    QCOMPARE(steps.seen, QStringList{"frmChange"});
    QCOMPARE(steps.unexpected, QStringList());
    QCOMPARE(edited, QStringLiteral("Bob")); // the second row in name order
    QVERIFY(list.isVisible());
    QVERIFY(list.lstDisplay->selectedItems().isEmpty());
    QVERIFY(!list.cmdEdit->isEnabled());
    QCOMPARE(data(), kBobAlice);
}

void TestFrmEdit::enterStandsForNewEntry()
{
    QVERIFY(open(kBobAlice));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    ClickRow(list.lstDisplay, 0);
    ModalSteps steps({[](QWidget* form) { ClickButton(form, "cmdCancel"); }});
    QTest::keyClick(list.lstDisplay, Qt::Key_Return);
    QCOMPARE(steps.seen, QStringList{"frmAdd"});
    QCOMPARE(steps.unexpected, QStringList());
    QVERIFY(list.isVisible());
    QVERIFY(list.lstDisplay->selectedItems().isEmpty());
    QCOMPARE(data(), kBobAlice);
}

void TestFrmEdit::deleteSelected_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("clicked"); // row beginnings, clicked in this order
    QTest::addColumn<QStringList>("rows");    // afterwards
    QTest::newRow("raw rows 2, 5, 3")
        << int(Raw) << QStringList{"     2", "     5", "     3"}
        << QStringList{"     1  Echo|S|2026-08-01|5.00|1", "     2  bravo|S|2026-08-01|4.00|1"};
    QTest::newRow("raw rows 5, 3, 2")
        << int(Raw) << QStringList{"     5", "     3", "     2"}
        << QStringList{"     1  Echo|S|2026-08-01|5.00|1", "     2  bravo|S|2026-08-01|4.00|1"};
    QTest::newRow("by name, rows not in file order")
        << int(Name) << QStringList{"delta", "Alpha", "Charlie"}
        << QStringList{"bravo  S  2026-08-01  4.00  1", "Echo  S  2026-08-01  5.00  1"};
}

void TestFrmEdit::deleteSelected()
{
    QFETCH(int, order);
    QFETCH(QStringList, clicked);
    QFETCH(QStringList, rows);
    const QByteArray echo = "Echo|S|2026-08-01|5.00|1\r\n";
    const QByteArray bravo = "bravo|S|2026-08-01|4.00|1\r\n";
    QVERIFY(open(echo + "delta|S|2026-08-01|3.00|1\r\nCharlie|S|2026-08-01|2.00|1\r\n" + bravo +
                 "Alpha|S|2026-08-01|1.00|1\r\n"));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    if (order != Name)
        QTest::mouseClick(list.Option1[order], Qt::LeftButton);
    for (const QString& start : clicked) {
        const int row = RowStartingWith(list.lstDisplay, start);
        QVERIFY2(row >= 0, qPrintable(start));
        ClickRow(list.lstDisplay, row, Qt::ControlModifier);
    }
    QCOMPARE(list.lstDisplay->selectedItems().size(), 3);
    ModalSteps steps({});
    QTest::mouseClick(list.cmdDelete, Qt::LeftButton);

    QCOMPARE(steps.seen, QStringList()); // no question, no introduction
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    QCOMPARE(data(), echo + bravo);
    QVERIFY(!QFile::exists(tempPath()));
    QVERIFY(list.Option1[order]->isChecked());
    QCOMPARE(Rows(list.lstDisplay), rows);
    QVERIFY(list.lstDisplay->selectedItems().isEmpty());
    QVERIFY(!list.cmdEdit->isEnabled());
    QVERIFY(!list.cmdDelete->isEnabled());
    // The former record 4 is record 2 now.
    QCOMPARE(
        list.lstDisplay->item(RowStartingWith(list.lstDisplay, order == Raw ? "     2" : "bravo"))
            ->data(Qt::UserRole)
            .toInt(),
        2);
}

void TestFrmEdit::deleteEverythingShowsTheIntroduction()
{
    QVERIFY(open(kBobAlice));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    list.lstDisplay->setFocus();
    QTest::keyClick(list.lstDisplay, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(list.lstDisplay->selectedItems().size(), 2);
    // The user goes on to the add form and leaves it without adding anything.
    ModalSteps steps({[](QWidget* intro) { ClickButton(intro, "cmdContinue"); },
                      [](QWidget* add) { ClickButton(add, "cmdCancel"); }});
    QTest::mouseClick(list.cmdDelete, Qt::LeftButton);

    QCOMPARE(steps.seen, (QStringList{"frmIntro", "frmAdd"}));
    QCOMPARE(steps.unexpected, QStringList());
    QVERIFY(!platform::ProgramEnding());
    QCOMPARE(data(), QByteArray());
    QVERIFY(list.isVisible());
    QCOMPARE(list.lstDisplay->count(), 0);
    QVERIFY(!list.cmdEdit->isEnabled());
    QVERIFY(!list.cmdDelete->isEnabled());
}

void TestFrmEdit::newEntryRebuildsInTheSameOrder()
{
    QVERIFY(open(kBobAlice));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QTest::mouseClick(list.Option1[Raw], Qt::LeftButton);
    ClickRow(list.lstDisplay, 0);
    ModalSteps steps({[](QWidget* add) {
        TypeInto(add, "txtIn(0)", QStringLiteral("Carl"));
        TypeInto(add, "txtIn(1)", QStringLiteral("SG"));
        TypeInto(add, "txtIn(2)", QStringLiteral("2026-09-01"));
        TypeInto(add, "txtIn(3)", QStringLiteral("10"));
        TypeInto(add, "txtIn(4)", QStringLiteral("3"));
        ClickButton(add, "cmdUseIt");
        ClickButton(add, "cmdCancel");
    }});
    QTest::mouseClick(list.cmdAdd, Qt::LeftButton);

    QCOMPARE(steps.unexpected, QStringList());
    QCOMPARE(data(), kBobAlice + "Carl|SG|2026-09-01|10.00|3\r\n");
    QVERIFY(list.Option1[Raw]->isChecked());
    QCOMPARE(Rows(list.lstDisplay).value(2), QStringLiteral("     3  Carl|SG|2026-09-01|10.00|3"));
    QVERIFY(list.lstDisplay->selectedItems().isEmpty());
}

void TestFrmEdit::editFromTheList()
{
    const QByteArray gas = "Gas|Sub|2026-07-01|40.00|1\r\n";
    const QByteArray phone = "Phone|Sub|2026-06-20|30.00|1\r\n";
    QVERIFY(open(gas + "Rent|Sub|2025-03-01|500.00|1\r\n" + phone));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QTest::mouseClick(list.Option1[Raw], Qt::LeftButton);
    ClickRow(list.lstDisplay, 1);
    bool scratchWhileShown = false;
    ModalSteps steps({[&](QWidget* form) {
        scratchWhileShown = QFile::exists(tempPath());
        TypeInto(form, "txtIn(0)", QStringLiteral("Flat rent"));
        ClickButton(form, "cmdAccept");
    }});
    QTest::mouseClick(list.cmdEdit, Qt::LeftButton);

    QCOMPARE(steps.seen, QStringList{"frmChange"});
    QCOMPARE(steps.unexpected, QStringList());
    QVERIFY(scratchWhileShown);
    QCOMPARE(data(), gas + "Flat rent|Sub|2026-06-01|500.00|1\r\n" + phone);
    QVERIFY(!QFile::exists(tempPath()));
    QVERIFY(list.Option1[Raw]->isChecked());
    QCOMPARE(Rows(list.lstDisplay).value(1),
             QStringLiteral("     2  Flat rent|Sub|2026-06-01|500.00|1"));
    QVERIFY(list.lstDisplay->selectedItems().isEmpty());
    QVERIFY(!list.cmdEdit->isEnabled());
}

void TestFrmEdit::everyOpeningStartsInNameOrder()
{
    QVERIFY(open(kBobAlice));
    {
        EntryListDialog list(teststate::State());
        QVERIFY(show(list));
        QTest::mouseClick(list.Option1[Amount], Qt::LeftButton);
        QCOMPARE(Records(list.lstDisplay), (QList<int>{1, 2}));
        QTest::mouseClick(list.cmdDone, Qt::LeftButton);
        QVERIFY(!list.isVisible());
    }
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QVERIFY(list.Option1[Name]->isChecked());
    QCOMPARE(Records(list.lstDisplay), (QList<int>{2, 1}));
}

void TestFrmEdit::emptyFileShowsAnEmptyList()
{
    QVERIFY(open(QByteArray()));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QCOMPARE(list.lstDisplay->count(), 0);
    QTest::mouseClick(list.Option1[Raw], Qt::LeftButton);
    QCOMPARE(list.lstDisplay->count(), 0);
    platform::PrinterTestHook::setPrinterAvailable(true);
    QTest::mouseClick(list.cmdPrint, Qt::LeftButton);
    QCOMPARE(platform::PrinterTestHook::takePrinted(), QStringList());
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    QVERIFY(list.isVisible());
}

void TestFrmEdit::printOnThePrinter()
{
    QVERIFY(open(kBobAlice + "Carl|Sub|2026-08-01|5.00|3\r\n"));
    platform::PrinterTestHook::setPrinterAvailable(true);
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QTest::mouseClick(list.Option1[Amount], Qt::LeftButton);
    ClickRow(list.lstDisplay, 1);
    QTest::mouseClick(list.cmdPrint, Qt::LeftButton);
    QCOMPARE(platform::PrinterTestHook::takePrinted(), Rows(list.lstDisplay));
    QCOMPARE(Rows(list.lstDisplay).value(0), QStringLiteral("    5.00  Carl  Sub  2026-08-01  3"));
    QCOMPARE(platform::PrinterTestHook::takeFileDialogs(), 0);
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
}

void TestFrmEdit::printIntoPdf()
{
    QVERIFY(open(kBobAlice + "Carl|Sub|2026-08-01|5.00|3\r\n"));
    const QString pdf = dir_->filePath(QStringLiteral("entries.pdf"));
    platform::MessageTestHook::queueAnswer(true);
    platform::PrinterTestHook::setSaveFileName(pdf);
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QTest::mouseClick(list.Option1[Raw], Qt::LeftButton);
    QTest::mouseClick(list.cmdPrint, Qt::LeftButton);

    QCOMPARE(platform::MessageTestHook::takeShown(),
             QStringList{"No printer is available. Save the list as a PDF file instead?"});
    QCOMPARE(platform::PrinterTestHook::takeFileDialogs(), 1);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    const QStringList expected{"     1  Bob|Sub|2026-08-15|25.00|1",
                               "     2  alice|Mem|2026-01-10|1,200.00|12",
                               "     3  Carl|Sub|2026-08-01|5.00|3"};
    QCOMPARE(Rows(list.lstDisplay), expected);
    QCOMPARE(PdfLines(bytes), expected);
}

void TestFrmEdit::printWithoutPrinter_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("fileName"); // relative to the test folder; empty cancels
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<bool>("failure");
    QTest::newRow("PDF declined") << false << "entries.pdf" << 0 << false;
    QTest::newRow("file dialog cancelled") << true << "" << 1 << false;
    QTest::newRow("folder missing") << true << "missing/entries.pdf" << 1 << true;
}

void TestFrmEdit::printWithoutPrinter()
{
    QFETCH(bool, answer);
    QFETCH(QString, fileName);
    QFETCH(int, dialogs);
    QFETCH(bool, failure);
    QVERIFY(open(kBobAlice));
    platform::MessageTestHook::queueAnswer(answer);
    platform::PrinterTestHook::setSaveFileName(fileName.isEmpty() ? QString()
                                                                  : dir_->filePath(fileName));
    EntryListDialog list(teststate::State());
    QVERIFY(show(list));
    QTest::mouseClick(list.cmdPrint, Qt::LeftButton);

    const QStringList shown = platform::MessageTestHook::takeShown();
    QCOMPARE(shown.size(), failure ? 2 : 1);
    if (failure)
        QVERIFY2(shown.value(1).startsWith("Kestrow could not save the list as"),
                 qPrintable(shown.value(1)));
    QCOMPARE(platform::PrinterTestHook::takeFileDialogs(), dialogs);
    QCOMPARE(QDir(dir_->path()).entryList({QStringLiteral("*.pdf")}, QDir::Files), QStringList());
    QVERIFY(list.isVisible());
    QCOMPARE(data(), kBobAlice);
}

void TestFrmEdit::editEntriesThenDoneLeavesTheMainWindow()
{
    QVERIFY(open(kBobAlice + "Rent|Sub|2025-03-01|500.00|1\r\n"));
    MainWindow main(teststate::State());
    QVERIFY(show(main));
    const auto labels = [&main] {
        return QStringList{main.lab1->text(), main.lab2->text(), main.lab3->text(),
                           main.lab4->text(), main.labE->text(), main.labF->text()};
    };
    const QStringList figures = labels();
    const QStringList due = Rows(main.lstDue);
    QVERIFY(!due.isEmpty());
    ClickRow(main.lstDue, 0);
    QVERIFY(!main.lstDue->selectedItems().isEmpty());

    ModalSteps steps({[](QWidget* list) { ClickButton(list, "cmdDone"); }});
    QTest::mouseClick(main.cmdEdit, Qt::LeftButton);

    QCOMPARE(steps.seen, QStringList{"frmEdit"});
    QCOMPARE(steps.unexpected, QStringList());
    QCOMPARE(labels(), figures);
    QCOMPARE(Rows(main.lstDue), due);
    QVERIFY(main.lstDue->selectedItems().isEmpty());
    QCOMPARE(data(), kBobAlice + "Rent|Sub|2025-03-01|500.00|1\r\n");
}

QTEST_MAIN(TestFrmEdit)
#include "tst_frmedit.moc"
