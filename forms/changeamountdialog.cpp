#include "forms/changeamountdialog.h"

#include "core/numfmt.h"
#include "platform/messages.h"
#include "platform/widgets.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <optional>

namespace {

// The amount in the box, or nothing (and the user told so) when it is not a number.
std::optional<double> AmountIn(QWidget* dialog, QLineEdit* box)
{
    const auto amount = kestrow::ParseAmount(box->text().toStdString());
    if (!amount) {
        platform::ShowMessage(dialog, QStringLiteral("Invalid amount"));
        box->setFocus();
    }
    return amount;
}

} // namespace

ChangeAmountDialog::ChangeAmountDialog(const QString& payment, int months, double amount,
                                       QWidget* parent)
    : QDialog(parent), months_(months), amount_(amount)
{
    setObjectName(QStringLiteral("frmChangeDollar"));
    setWindowTitle(QStringLiteral("Change Dollar Amount?"));
    const QString terms = QString::fromStdString(kestrow::FormatAmount(amount)) +
                          (months == 1 ? QStringLiteral(" every month")
                                       : QStringLiteral(" every %1 months").arg(months));
    setAccessibleDescription(QStringLiteral("Paying %1: %2.").arg(payment, terms));
    setFixedSize(platform::Twips(4680), platform::Twips(1935));
    setFont(platform::SansFont(8.25));

    labA = new QLabel(this);
    labA->setObjectName(QStringLiteral("labA"));
    labA->setWordWrap(true);
    labA->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    platform::Place(labA, 120, 120, 4395, 555);

    // The controls are made in the order Tab visits them.
    cmdChange = new QPushButton(QStringLiteral("Change"), this);
    cmdChange->setObjectName(QStringLiteral("cmdChange"));
    platform::Place(cmdChange, 660, 1500, 915, 375);

    cmdNoChange = new QPushButton(QStringLiteral("NoChange"), this);
    cmdNoChange->setObjectName(QStringLiteral("cmdNoChange"));
    platform::Place(cmdNoChange, 3120, 1500, 915, 375);

    txtChange = new QLineEdit(this);
    txtChange->setObjectName(QStringLiteral("txtChange"));
    platform::Place(txtChange, 240, 780, 1035, 315);
    labA->setBuddy(txtChange);

    for (int i = 0; i < 5; ++i) {
        cmdIncrease[i] = new QPushButton(this);
        cmdIncrease[i]->setObjectName(QStringLiteral("cmdIncrease(%1)").arg(i));
        platform::Place(cmdIncrease[i], 203 + 855 * i, 1200, 855, 255);
        connect(cmdIncrease[i], &QPushButton::clicked, this, [this, i] { cmdIncrease_Click(i); });
    }

    chkAddSub = new QCheckBox(QStringLiteral("Check to reduce amount"), this);
    chkAddSub->setObjectName(QStringLiteral("chkAddSub"));
    platform::Place(chkAddSub, 2220, 840, 2175, 195);

    // The dialog has no default button. Qt would make the first button that takes the
    // focus the dialog's default for good, and Enter in the amount box would then press
    // "Change"; keyPressEvent gives Enter to the focused button only.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);

    connect(cmdChange, &QPushButton::clicked, this, &ChangeAmountDialog::cmdChange_Click);
    connect(cmdNoChange, &QPushButton::clicked, this, &ChangeAmountDialog::cmdNoChange_Click);
    connect(chkAddSub, &QCheckBox::toggled, this, &ChangeAmountDialog::chkAddSub_Click);

    Form_Load();
}

void ChangeAmountDialog::Form_Load()
{
    labA->setText(QStringLiteral("If you want to change the dollar amount for the payment due in "
                                 "%1 month%2, enter it here")
                      .arg(months_)
                      .arg(months_ == 1 ? QString() : QStringLiteral("s")));
    txtChange->setText(QString::fromStdString(kestrow::FormatDialogAmount(amount_)));
    chkAddSub_Click();
    cmdChange->setFocus();
}

void ChangeAmountDialog::chkAddSub_Click()
{
    const QString prefix = chkAddSub->isChecked() ? QStringLiteral("Sub ") : QStringLiteral("Add ");
    for (int i = 0; i < 5; ++i)
        cmdIncrease[i]->setText(prefix + QString::number(5 * (i + 1)) + QStringLiteral("%"));
}

// Each click starts from the text as it stands, already rounded to cents by the last
// click, so clicks compound: Add 10% twice on 100.00 gives 121.00.
void ChangeAmountDialog::cmdIncrease_Click(int Index)
{
    const auto amount = AmountIn(this, txtChange);
    if (!amount)
        return;
    const double sign = chkAddSub->isChecked() ? -1.0 : 1.0;
    const double k = Index + 1;
    const double factor = ((k * 0.05) * sign) + 1.0;
    const double changed = *amount * factor;
    if (!std::isfinite(changed)) {
        platform::ShowMessage(this, QStringLiteral("Invalid amount"));
        return;
    }
    txtChange->setText(QString::fromStdString(kestrow::FormatDialogAmount(changed)));
}

void ChangeAmountDialog::cmdChange_Click()
{
    const auto amount = AmountIn(this, txtChange);
    if (!amount)
        return;
    amount_ = *amount;
    accept();
}

void ChangeAmountDialog::cmdNoChange_Click()
{
    QDialog::reject();
}

void ChangeAmountDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ChangeAmountDialog::reject()
{
    cmdNoChange_Click();
}
