#include "forms/introdialog.h"

#include "app/appstate.h"
#include "forms/addrecorddialog.h"
#include "forms/undoactions.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/version.h"
#include "platform/widgets.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <climits>

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initIconResource()
{
    Q_INIT_RESOURCE(kestrow);
}

QIcon ProgramIcon()
{
    static const QIcon icon = [] {
        // The resources live in a static library, whose registration the linker would
        // otherwise drop.
        initIconResource();
        QIcon drawn;
        drawn.addFile(QStringLiteral(":/icons/kestrow.svg"));
        // For desktops without the SVG image plug-in.
        drawn.addFile(QStringLiteral(":/icons/kestrow-48.png"), QSize(48, 48));
        return drawn;
    }();
    return icon;
}

namespace {

// Six paragraphs, each but the last followed by CR LF CR LF.
const char* const kIntroduction =
    "This program allows you to enter periodic payments, and then computes the "
    "amount of money necessary to set aside monthly in order to meet the specified "
    "payment schedule."
    "\r\n\r\n"
    "You are seeing this information because this is the first time the program has "
    "been used, or you have deleted all of the entries in the data file."
    "\r\n\r\n"
    "If you click \"Exit\", the program will exit.  If you click \"Continue\", the "
    "program will go to an entry screen that will allow you to enter data. You must "
    "make at least one entry now, but the rest of the data can be entered later if "
    "you wish."
    "\r\n\r\n"
    "In order to enter data you will need to have a name for the amount being saved, "
    "its type, the date of the last (or next) payment, the dollar amount of the "
    "payment, and the number of months to allow to save the amount."
    "\r\n\r\n"
    "Types can be at most three characters; for examples, \"SG\" for savings goal, "
    "\"Sub\" for subscription, or \"Mem\" for membership. Dates are to be entered as "
    "YYYY-MM-DD, but it is not necessary to enter the leading \"0\" for MM or DD.  The "
    "number of months is the actual number of months; e.g., use 3 for quarterly, 6 "
    "for semi-annually.  There is no theoretical  limit to the number of months, but "
    "anything over 120 (ten years) may cause the program to slow down."
    "\r\n\r\n"
    "The program assumes that all payments (both in and out) are made on the first "
    "of the month.  It computes the amount of money that is never needed (because of "
    "flows in compensating for flows out), and considers that amount to be available "
    "money (shown in red in the bar chart at the bottom of the main screen).";

// The layout was drawn for an 8-point system font. A font that runs wider would push
// the text out of its label, so the font shrinks until the text fits.
void fitText(QLabel* label, qreal smallestPoints)
{
    QFont font = label->font();
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    while (font.pointSizeF() > smallestPoints) {
        const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, label->width(), INT_MAX),
                                                             flags, label->text());
        if (needed.width() <= label->width() && needed.height() <= label->height())
            break;
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    label->setFont(font);
}

} // namespace

IntroDialog::IntroDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("frmIntro"));
    setFont(platform::SansFont(8.25));
    setWindowIcon(ProgramIcon());
    setFixedSize(platform::Twips(6450), platform::Twips(7020));

    labName = new QLabel(QStringLiteral("Kestrow"), this);
    labName->setObjectName(QStringLiteral("labName"));
    labName->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    labName->setFont(platform::SansFont(24, true));
    platform::Place(labName, 1088, 120, 4275, 615);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    platform::Place(imgIcon, 180, 180, 480, 480);
    imgIcon->setPixmap(ProgramIcon().pixmap(imgIcon->size()));
    imgIcon->setAccessibleName(QStringLiteral("Kestrow icon"));

    labA = new QLabel(this);
    labA->setObjectName(QStringLiteral("labA"));
    labA->setWordWrap(true);
    labA->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labA->setTextFormat(Qt::PlainText);
    platform::Place(labA, 105, 960, 6255, 5115);

    labB = new QLabel(this);
    labB->setObjectName(QStringLiteral("labB"));
    labB->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    labB->setTextFormat(Qt::PlainText);
    platform::Place(labB, 165, 6180, 6135, 255);

    cmdContinue = new QPushButton(QStringLiteral("Continue"), this);
    cmdContinue->setObjectName(QStringLiteral("cmdContinue"));
    cmdContinue->setToolTip(QStringLiteral("Click here to continue with this program"));
    platform::Place(cmdContinue, 1553, 6600, 915, 315);
    cmdContinue->setDefault(true);

    cmdQuit = new QPushButton(QStringLiteral("Exit"), this);
    cmdQuit->setObjectName(QStringLiteral("cmdQuit"));
    cmdQuit->setToolTip(QStringLiteral("Click here to exit from this program"));
    platform::Place(cmdQuit, 3833, 6600, 915, 315);

    setTabOrder(cmdContinue, cmdQuit);
    connect(cmdContinue, &QPushButton::clicked, this, &IntroDialog::cmdContinue_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &IntroDialog::cmdQuit_Click);
    // Ctrl+Z here takes back what emptied the file; with payments again there is nothing
    // to introduce, and the window that showed this screen takes over.
    new UndoActions(state_, this, [this] {
        if (state_.hasData() && state_.data().length() > 0)
            done(Restored);
    });

    Form_Load();
    cmdContinue->setFocus();
}

void IntroDialog::Form_Load()
{
    setWindowTitle(QStringLiteral("Kestrow Introduction --- Version %1.%2.%3")
                       .arg(kestrow::version::major)
                       .arg(kestrow::version::minor)
                       .arg(kestrow::version::revision));
    labA->setText(QString::fromUtf8(kIntroduction));
    labB->setText(QString::fromUtf8(kestrow::version::legalNotice));
    fitText(labA, 6);
    fitText(labB, 6);
}

void IntroDialog::cmdContinue_Click()
{
    hide();
    {
        AddRecordDialog add(state_, parentWidget());
        add.exec();
    }
    if (platform::ProgramEnding())
        return;
    accept();
}

void IntroDialog::cmdQuit_Click()
{
    kestrow::DataStore& data = state_.data();
    const bool holdsData = data.length() > 0;
    data.close(); // the program ends either way
    if (holdsData && !platform::AskYesNo(this, QStringLiteral("Data already exists!"),
                                         QStringLiteral("Do you really want to clear the data?"))) {
        platform::EndProgram();
        return;
    }
    // The user asked for the data to go; saying nothing would leave it behind unseen.
    if (const kestrow::Status removed = data.removeFile(); !removed)
        platform::ShowError(this, QString::fromStdString(removed.message));
    platform::EndProgram();
}

void IntroDialog::reject()
{
    // Ending the program closes every window, this one included: that close must not
    // start "Exit" a second time.
    if (platform::ProgramEnding()) {
        QDialog::reject();
        return;
    }
    cmdQuit_Click();
}
