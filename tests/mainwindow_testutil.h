#pragma once
// Shared set-up of the main window tests: a data file of the test's own in a temporary
// folder, today fixed at 2026-06-15, and a way to answer the change-dollar dialog that
// Pay shows modally without ever leaving a test waiting on it.

#include "core/record.h"
#include "forms/changeamountdialog.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "teststate.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace mainwindowtest {

inline QByteArray ReadBytes(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

inline bool WriteBytes(const std::string& path, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The state start-up leaves behind, with the data file holding `contents`.
struct Session
{
    std::unique_ptr<QTemporaryDir> dir;
    std::string dataFile;
    std::string tempFile;

    bool start(const QByteArray& contents, const std::string& today = "2026-06-15")
    {
        teststate::Reset();
        platform::ResetEndingForTesting();
        platform::MessageTestHook::install();
        dir = std::make_unique<QTemporaryDir>();
        dataFile = (dir->path() + QStringLiteral("/Kestrow.txt")).toStdString();
        tempFile = (dir->path() + QStringLiteral("/xyzzy.tmp")).toStdString();
        if (!WriteBytes(dataFile, contents))
            return false;
        teststate::DataFile() = dataFile;
        teststate::TempFile() = tempFile;
        teststate::State().setToday(today, std::int16_t(std::stoi(today.substr(5, 2))));
        if (!teststate::State().openData(dataFile, tempFile))
            return false;
        const auto parsed = kestrow::ParseLines(teststate::State().data().readLines());
        teststate::State().raiseHorizon(
            kestrow::LargestDuration(parsed.records, kestrow::kDefaultHorizon));
        return true;
    }

    void stop()
    {
        teststate::Reset();
        platform::MessageTestHook::uninstall();
        platform::ResetEndingForTesting();
        dir.reset();
    }

    QByteArray bytes() const { return ReadBytes(dataFile); }
};

inline void ClickRow(QListWidget* list, int row)
{
    QListWidgetItem* item = list->item(row);
    QVERIFY(item != nullptr);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

inline QStringList Rows(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

inline QList<int> RecordNumbers(const QListWidget* list)
{
    QList<int> numbers;
    for (int i = 0; i < list->count(); ++i)
        numbers << list->item(i)->data(Qt::UserRole).toInt();
    return numbers;
}

// Answers a modal window of type Dialog as soon as it is open. Whatever the answer does (a
// failed check returns early), the window is closed afterwards, so no test can hang.
template <class Dialog> class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(Dialog*)> answer) : answer_(std::move(answer))
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer_.stop();
            ++shown_;
            answer_(dialog);
            if (dialog->isVisible())
                dialog->done(QDialog::Rejected);
        });
        timer_.start();
    }

    int shown() const { return shown_; }

private:
    std::function<void(Dialog*)> answer_;
    QTimer timer_;
    int shown_ = 0;
};

using DialogAnswer = ModalAnswer<ChangeAmountDialog>;

} // namespace mainwindowtest
