#pragma once
// "Change Dollar Amount?": shown by Pay half way through its rewrite of the data file,
// so the user can give the next payment a new amount. It reads modMain::DollarMonths
// and modMain::DollarAmount and writes DollarAmount only on "Change".

#include <QDialog>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

class frmChangeDollar : public QDialog
{
    Q_OBJECT
public:
    explicit frmChangeDollar(QWidget* parent = nullptr);

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
};
