#pragma once
// "Add a record": payments are entered one after another, each appended to the data file
// as soon as it is accepted. Opened modally by the introduction screen and by the entry
// list; "Finished" closes it.
//
// Every box is checked at three moments: per key, when the focus is about to leave it,
// and once more through "Use this entry". A failed check on leaving keeps the focus in
// the box; the focus change is refused before it happens (Tab, Shift+Tab and mouse
// presses are intercepted), so a button pressed meanwhile never acts.

#include <QDialog>
#include <QString>

class QEvent;
class QLineEdit;
class QPushButton;

class frmAdd : public QDialog
{
    Q_OBJECT
public:
    explicit frmAdd(QWidget* parent = nullptr);

    // Boxes in the order of the record's fields: name, type, date, amount, duration.
    static constexpr int kBoxes = 5;
    QLineEdit* txtIn[kBoxes] = {};
    QPushButton* cmdUseIt = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    // Per-key filter: a refused character is reported and replaced by 0.
    void txtIn_KeyPress(int Index, char32_t& KeyAscii);
    // The check on leaving a box; Cancel keeps the focus in it.
    void txtIn_Validate(int Index, bool& Cancel);
    void cmdUseIt_Click();
    void cmdCancel_Click();

    // Esc, the window's close box and "Finished" all leave the same way.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int boxIndex(const QObject* object) const;
    int focusedBox() const;
    // Runs the check of the box holding the focus before the focus may move to `target`.
    bool mayLeaveFocusedBox(const QWidget* target);
    bool boxKeyPress(int index, QEvent* event);
    void txtIn_Edited(int Index, const QString& text);

    void setBox(int index, const QString& text);

    QString accepted_[kBoxes]; // each box's text after its last accepted change
};
