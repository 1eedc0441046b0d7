#pragma once
// "Edit a record": one record, given by its record number, in five boxes. The form is one rewrite
// of the data file spread over its life: loading it copies the records before the edited one to the
// scratch file, "Accept" writes the changed record and the rest and puts the new file in place, and
// "Cancel" (also Esc and the close box) removes the scratch file, leaving the data file as it was.
//
// "Accept" refuses what the rest of Kestrow could not read back, by the same rule as the
// add form (kestrow::CheckTypedFields); the form then stays open and the data file is
// untouched. When the data file was changed outside Kestrow while the form was open,
// "Accept" changes nothing and closes the form, so the entry list can show the file anew.

#include "core/datastore.h"

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>

class AppState;
class QEvent;
class QLabel;
class QLineEdit;
class QPushButton;

class EditRecordDialog : public QDialog
{
    Q_OBJECT
public:
    EditRecordDialog(AppState& state, std::int32_t recordNumber, QWidget* parent = nullptr);
    ~EditRecordDialog() override;

    static constexpr int kBoxes = 5; // name, type, date, amount, duration
    QLineEdit* txtIn[kBoxes] = {};
    QPushButton* cmdAccept = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Opening the form: starts the rewrite and puts the record into the boxes; the caller
    // shows the form only when this succeeds. Kept out of the constructor so that a
    // failure can be told and acted on: when the rewrite cannot start or the file has no
    // such record, the user is told why, nothing is changed, and the result is false.
    bool Form_Load();
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void txtIn_LostFocus(int Index);
    void cmdAccept_Click();
    void cmdCancel_Click();

    // Starts the rewrite and copies the lines before the record; the record's line, or
    // nothing when the rewrite could not start or the file has no such record.
    std::optional<std::string> beginEdit();
    // The leaving step of the date box; false when the date was refused.
    bool leaveDate();
    void leaveAmount();
    void refuse(int index, const QString& message);

    AppState& state_;
    const std::int32_t recordNumber_;
    QLabel* Label[kBoxes + 1] = {};
    std::optional<kestrow::Rewrite> rewrite_;
    // Fields too long for their box, written back exactly as they were read.
    std::optional<std::string> kept_[kBoxes];
    bool closing_ = false;
};
