#pragma once
// "Check the pot": the user types what the savings pot holds today, as the bank shows it,
// and the verdict under the box answers at every key whether that is on track and, when
// it is short, what to do. Opened modally by the main window (Ctrl+K or its context
// menus), which gives it the check and the amount last typed in this run; nothing is
// stored.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
namespace kestrow {
class PotCheck;
}
namespace platform {
class Announcer;
}

class PotCheckDialog : public QDialog
{
    Q_OBJECT
public:
    PotCheckDialog(const kestrow::PotCheck& check, const QString& lastAmount,
                   QWidget* parent = nullptr);

    // The last amount typed that the check accepted: the one to offer next time.
    const QString& lastAmount() const { return lastAmount_; }

    QLineEdit* txtHolds = nullptr;
    QLabel* labVerdict = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void txtHolds_Change(const QString& text);

    const kestrow::PotCheck& check_;
    platform::Announcer* announcer_ = nullptr;
    QString lastAmount_;
};
