#include "forms/potcheckdialog.h"

#include "budget/potcheck.h"
#include "platform/accessible.h"
#include "platform/widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

PotCheckDialog::PotCheckDialog(const kestrow::PotCheck& check, const QString& lastAmount,
                               QWidget* parent)
    : QDialog(parent), check_(check), lastAmount_(lastAmount)
{
    // A dialog lists its status line to a screen reader only with a role of its own.
    platform::SetAccessibleRole(this, QAccessible::Dialog);
    setObjectName(QStringLiteral("frmPot"));
    setWindowTitle(QStringLiteral("Check the pot"));
    setFixedSize(platform::Twips(4680), platform::Twips(2310));
    setFont(platform::SansFont(8.25));

    auto* labHolds = new QLabel(QStringLiteral("The pot holds now"), this);
    labHolds->setObjectName(QStringLiteral("labHolds"));
    platform::Place(labHolds, 120, 150, 1695, 255);
    txtHolds = new QLineEdit(this);
    txtHolds->setObjectName(QStringLiteral("txtHolds"));
    txtHolds->setAlignment(Qt::AlignRight);
    txtHolds->setToolTip(QStringLiteral("The amount your bank shows for the pot today"));
    platform::Place(txtHolds, 1860, 120, 1335, 315);
    labHolds->setBuddy(txtHolds);

    labVerdict = new QLabel(this);
    labVerdict->setObjectName(QStringLiteral("labVerdict"));
    // Payment names are shown as typed, never read as markup.
    labVerdict->setTextFormat(Qt::PlainText);
    labVerdict->setWordWrap(true);
    labVerdict->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    platform::Place(labVerdict, 120, 555, 4440, 1215);

    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    platform::Place(cmdClose, 3645, 1845, 915, 375);
    announcer_ = new platform::Announcer(this);

    connect(txtHolds, &QLineEdit::textChanged, this, &PotCheckDialog::txtHolds_Change);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    txtHolds->setText(lastAmount);
    txtHolds_Change(txtHolds->text());
    txtHolds->selectAll();
    txtHolds->setFocus();
}

void PotCheckDialog::txtHolds_Change(const QString& text)
{
    QString verdict;
    if (text.trimmed().isEmpty()) {
        verdict = QStringLiteral("Type the amount the pot holds now, as your bank shows it.");
    } else if (const auto holds = kestrow::PotAmount(text.toStdString())) {
        lastAmount_ = text;
        verdict = QString::fromStdString(kestrow::VerdictText(check_.verdict(*holds)));
    } else {
        verdict = QStringLiteral("Invalid amount: type the amount the pot holds now, such as "
                                 "2,100 or 2100.50.");
    }
    labVerdict->setText(verdict);
    // Heard wherever the focus is, as the main window's figures are after a change; a key
    // that leaves the verdict as it was says nothing.
    if (verdict == announcer_->text())
        return;
    announcer_->setText(verdict);
    if (isVisible())
        announcer_->announce();
}
