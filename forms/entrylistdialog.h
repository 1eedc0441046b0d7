#pragma once
// "Edit Entries": every record of the data file, one row each, in one of six orders. The
// only way to delete single records, to reach the edit-record form and to print the
// records. Each row carries its record number as item data (Qt::UserRole), the only link
// back to the file; every action rebuilds the list from the file with nothing selected.

#include <QDialog>

#include <string>
#include <vector>

class AppState;
class QKeyEvent;
class QListWidget;
class QPushButton;
class QRadioButton;

class EntryListDialog : public QDialog
{
    Q_OBJECT
public:
    explicit EntryListDialog(AppState& state, QWidget* parent = nullptr);

    static constexpr int kOrders = 6; // Name, Type, Date, Amount, Duration, Raw

    QListWidget* lstDisplay = nullptr;
    QRadioButton* Option1[kOrders] = {};
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdDone = nullptr;

    // Builds the list from the data file in the chosen order.
    void Form_Load();
    // The list anew after the data file was read again, the rows selected still selected
    // where the same lines are there.
    void readAgain();

protected:
    // Esc stands for "Edit", and only while "Edit" is enabled.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void lstDisplay_Click();
    void Option1_Click(int Index);
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdPrint_Click();
    void cmdDone_Click();

    int chosenOrder() const;
    // After the file changed: the introduction screen when it is empty, then the list again.
    void afterChange();

    AppState& state_;
    std::vector<std::string> lines_; // the data file's lines as the list shows them
};
