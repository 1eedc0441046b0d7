#include "forms/conflictcopies.h"

#include "app/appstate.h"
#include "core/conflicts.h"
#include "core/paths.h"
#include "core/record.h"
#include "core/text.h"
#include "forms/putback.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/textcodec.h"

#include <QFile>

#include <algorithm>

namespace {

// Lines wider than this are cut when shown side by side.
constexpr int kWidestColumn = 60;

QString Shown(const std::string& line)
{
    return platform::DecodeText(
        kestrow::ShownText(line, kestrow::kLongestShown, kestrow::ValidUtf8(line)));
}

QString Lines(int count)
{
    return count == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(count);
}

// The lines that differ, for the box below the question: each group under its heading, the
// lines that differ in part side by side.
QString Details(const kestrow::LineComparison& comparison)
{
    if (comparison.same())
        return QStringLiteral("The copy holds the same lines as the data file.");
    QStringList text;
    if (!comparison.onlyInCopy.empty()) {
        text << QStringLiteral("Only in the copy:");
        for (const std::string& line : comparison.onlyInCopy) {
            const bool payment = kestrow::ParseRecord(line, 1).has_value();
            text << QStringLiteral("  ") + Shown(line) +
                        (payment ? QString() : QStringLiteral("   (not a payment: not merged)"));
        }
    }
    if (!comparison.onlyInData.empty()) {
        text << QStringLiteral("Only in the data file:");
        for (const std::string& line : comparison.onlyInData)
            text << QStringLiteral("  ") + Shown(line);
    }
    if (!comparison.differing.empty()) {
        text << QStringLiteral("Differing in part (the data file | the copy):");
        int width = 0;
        for (const auto& pair : comparison.differing)
            width = std::max(width, int(Shown(pair.first).size()));
        width = std::min(width, kWidestColumn);
        for (const auto& [ours, theirs] : comparison.differing)
            text << QStringLiteral("  ") + Shown(ours).leftJustified(width) +
                        QStringLiteral(" | ") + Shown(theirs);
    }
    return text.join(QLatin1Char('\n'));
}

} // namespace

CopyOffer OfferConflictCopy(AppState& state, QWidget* parent, const std::string& copy)
{
    kestrow::DataStore& data = state.data();
    const std::string dataFile = data.dataFile();
    const QString tool = QString::fromStdString(kestrow::SyncToolName(
        kestrow::ConflictCopyOf(kestrow::FileNameOf(dataFile), kestrow::FileNameOf(copy))));
    std::string theirs;
    const std::string problem = kestrow::ReadConflictCopy(state.fileOps(), copy, theirs);
    if (!problem.empty()) {
        platform::ShowError(
            parent, QStringLiteral("Kestrow cannot read %1, a conflict copy of "
                                   "the data file left by %2: %3. Nothing was "
                                   "changed.")
                        .arg(platform::ShownPath(copy), tool, QString::fromStdString(problem)));
        return CopyOffer::Left;
    }
    std::string ours;
    if (const kestrow::Status read = data.readContents(ours); !read) {
        platform::ShowError(parent, QString::fromStdString(read.message));
        return CopyOffer::NotMerged;
    }

    const kestrow::LineComparison comparison = kestrow::CompareLines(ours, theirs);
    const std::vector<std::string> payments = kestrow::PaymentsToMerge(comparison);
    const QString merged = platform::ShownPath(kestrow::FileNameOf(kestrow::MergedName(copy)));
    const QString adds = payments.empty() ? QStringLiteral("Merge adds nothing, as no payment is "
                                                           "only in the copy,")
                         : payments.size() == 1
                             ? QStringLiteral("Merge adds the payment only in the copy to the "
                                              "data file, as one change that Undo takes back,")
                             : QStringLiteral("Merge adds the %1 payments only in the copy to "
                                              "the data file, as one change that Undo takes "
                                              "back,")
                                   .arg(payments.size());
    const QString text =
        QStringLiteral("%1 left a conflict copy of the data file %2 beside it: %3. The file was "
                       "changed on two computers before they were synced.\n\nOnly in the copy: %4. "
                       "Only in the data file: %5. Differing in part: %6. %7 and renames the "
                       "copy to %8. Nothing is deleted.")
            .arg(tool, platform::ShownPath(dataFile),
                 platform::ShownPath(kestrow::FileNameOf(copy)),
                 Lines(int(comparison.onlyInCopy.size())), Lines(int(comparison.onlyInData.size())),
                 Lines(int(comparison.differing.size())), adds, merged);
    const int choice =
        platform::AskChoice(parent, text, Details(comparison),
                            {QStringLiteral("Merge"), QStringLiteral("Open the copy's folder"),
                             QStringLiteral("Not now")});
    if (choice == 1)
        platform::ShowFolder(QFile::decodeName(kestrow::FolderOf(copy).c_str()));
    if (choice != 0)
        return CopyOffer::Left;

    if (!payments.empty()) {
        const kestrow::Status done = MakeChange(state, parent, [&](kestrow::IfRemoved ifRemoved) {
            return data.rewriteAdding(payments, ifRemoved);
        });
        if (done)
            state.history().record(data, "Merge of " + kestrow::FileNameOf(copy));
        if (!done.message.empty())
            platform::ShowError(parent, QString::fromStdString(done.message));
        if (!done)
            return CopyOffer::NotMerged;
    }
    const std::string renamed = kestrow::SetAsideMerged(copy);
    if (!renamed.empty()) {
        platform::ShowError(
            parent, QStringLiteral("Kestrow could not rename the conflict copy %1 to %2: "
                                   "%3. It stays as it is and is offered again at the "
                                   "next start.")
                        .arg(platform::ShownPath(copy), merged, QString::fromStdString(renamed)));
    }
    return payments.empty() ? CopyOffer::Left : CopyOffer::Merged;
}
