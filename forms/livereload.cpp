#include "forms/livereload.h"

#include "app/appstate.h"
#include "app/filewatcher.h"
#include "app/startup.h"
#include "core/conflicts.h"
#include "core/notices.h"
#include "forms/conflictcopies.h"
#include "forms/entrylistdialog.h"
#include "platform/ending.h"
#include "platform/messages.h"

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <utility>

namespace {

constexpr int kCopiesWaitMs = 1000;

} // namespace

LiveReload::LiveReload(AppState& state, QWidget* window, std::function<void()> readAgain,
                       std::function<void()> afterChange)
    : QObject(window), state_(state), window_(window), readAgain_(std::move(readAgain)),
      afterChange_(std::move(afterChange)), watcher_(new FileWatcher(state.data().dataFile(), this))
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &LiveReload::look);
    connect(watcher_, &FileWatcher::settled, this, &LiveReload::look);
    // Once the window shows: start-up has named the lines of the file as it is, and the
    // first look offers the conflict copies already there.
    QTimer::singleShot(0, this, [this] {
        std::string contents;
        if (state_.hasData() && state_.data().readContents(contents))
            static_cast<void>(TakeInPayments(state_, contents, toldLines_));
        look();
    });
}

void LiveReload::look()
{
    if (platform::ProgramEnding() || !state_.hasData())
        return;
    const QWidget* open = QApplication::activeModalWidget();
    if (open != nullptr && qobject_cast<const EntryListDialog*>(open) == nullptr) {
        retry_.start(FileWatcher::kSettleMs);
        return;
    }
    kestrow::DataStore& data = state_.data();
    int error = 0;
    switch (data.checkFile(error)) {
    case kestrow::DataStore::FileState::Unchanged:
        told_.clear();
        break;
    case kestrow::DataStore::FileState::Missing:
        tell(kestrow::notices::RemovedWhileShown(data.dataFile()));
        return;
    case kestrow::DataStore::FileState::Unknown:
        tell(kestrow::notices::NotReadAgain(data.dataFile(), kestrow::ErrnoText(error)));
        return;
    case kestrow::DataStore::FileState::Changed:
        if (!readAgain())
            return;
        break;
    }
    offerCopies(open != nullptr);
}

bool LiveReload::readAgain()
{
    kestrow::DataStore& data = state_.data();
    kestrow::Status read = data.readAgain();
    std::string contents;
    if (read)
        read = data.readContents(contents);
    if (!read) {
        tell(read.message);
        return false;
    }
    told_.clear();
    // As at start-up: the horizon reaches the longest period before the window shows it,
    // and the lines no window can use are named (those not named before).
    const QString note = TakeInPayments(state_, contents, toldLines_);
    readAgain_();
    if (!note.isEmpty())
        platform::ShowMessage(window_, note);
    return true;
}

void LiveReload::tell(const std::string& text)
{
    if (text == told_)
        return;
    told_ = text;
    platform::ShowError(window_, QString::fromStdString(text));
}

void LiveReload::offerCopies(bool windowOpen)
{
    int error = 0;
    std::vector<std::string> copies =
        kestrow::ConflictCopiesBeside(state_.data().dataFile(), error);
    std::erase_if(copies, [this](const std::string& copy) { return dealtWith_.count(copy) > 0; });
    if (copies.empty())
        return;
    // Over the entry list a merge would change the file under it: the copies wait for it,
    // with a look now and then, which lists the folder.
    if (windowOpen) {
        retry_.start(kCopiesWaitMs);
        return;
    }
    for (const std::string& copy : copies) {
        const CopyOffer offer = OfferConflictCopy(state_, window_, copy);
        if (offer != CopyOffer::NotMerged)
            dealtWith_.insert(copy);
        if (platform::ProgramEnding())
            return;
        if (offer != CopyOffer::Left)
            afterChange_();
        if (platform::ProgramEnding())
            return;
    }
}

QStringList SelectedTexts(const QListWidget* list)
{
    QStringList texts;
    for (const QListWidgetItem* item : list->selectedItems())
        texts << item->text();
    return texts;
}

void SelectTexts(QListWidget* list, const QStringList& texts)
{
    bool first = true;
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        if (!texts.contains(item->text()))
            continue;
        // The arrow keys go on from the row chosen, as before the file was read again.
        if (std::exchange(first, false))
            list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        item->setSelected(true);
    }
}
