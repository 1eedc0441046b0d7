#pragma once
// "Change Dollar Amount?": shown by Pay half way through its rewrite of the data file,
// so the user can give the next payment a new amount. It is given the payment's name,
// period and amount; amount() is the new amount after "Change", the given one otherwise.
// Only assistive technology hears the name: the dialog's description names the payment,
// its amount and its period, which the window itself never shows.

#include <QDialog>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

class ChangeAmountDialog : public QDialog
{
    Q_OBJECT
public:
    ChangeAmountDialog(const QString& payment, int months, double amount,
                       QWidget* parent = nullptr);

    double amount() const { return amount_; }

    QLabel* labA = nullptr;
    QPushButton* cmdChange = nullptr;
    QPushButton* cmdNoChange = nullptr;
    QLineEdit* txtChange = nullptr;
    QPushButton* cmdIncrease[5] = {};
    QCheckBox* chkAddSub = nullptr;

    // Esc and the close box leave the amount as Pay gave it, like "NoChange".
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void chkAddSub_Click();
    void cmdIncrease_Click(int Index);
    void cmdChange_Click();
    void cmdNoChange_Click();

    const int months_;
    double amount_;
};
