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

class AppState;
class QEvent;
class QLineEdit;
class QPushButton;

class AddRecordDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AddRecordDialog(AppState& state, QWidget* parent = nullptr);

    // Boxes in the order of the record's fields: name, type, date, amount, duration.
    static constexpr int kBoxes = 5;
    QLineEdit* txtIn[kBoxes] = {};
    QPushButton* cmdUseIt = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    // Per-key filter: the key as typed, or 0 when it is refused (and reported).
    char32_t txtIn_KeyPress(int Index, char32_t KeyAscii);
    // The check on leaving a box: false keeps the focus in it.
    bool txtIn_Validate(int Index);
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

    AppState& state_;
    QString accepted_[kBoxes]; // each box's text after its last accepted change
};
