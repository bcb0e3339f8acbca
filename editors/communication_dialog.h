#pragma once

#include "documents/pargen_document.h"
#include "editors/finding_marks.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace trelvant {

class MessageBoxes;

// "SET COMMUNICATION": the project's CAN and serial parameters. Reads pargen.xml at each showing,
// checks the values on OK and writes the whole document only when every check passes. While the
// user works, the project check runs on the values as OK would write them: its findings show at
// their fields and are counted under the groups; F8 and Shift+F8 go to the next and previous field
// with a finding.
class TFpargen : public QDialog {
    Q_OBJECT
public:
    TFpargen(MessageBoxes& boxes, QWidget* parent = nullptr);

    // The document of the current project; the main window sets it before each showing.
    void setDocumentPath(const QString& path) { documentPath_ = path; }
    const QString& documentPath() const { return documentPath_; }

    void FormShow();
    // OK: the typed CAN bit rate must name an item of the list, then the checks; with errors in the
    // project check, the question whether to save anyway (No keeps the dialog open); then the
    // document.
    void BitBtn1Click();
    bool Controllo_Dati();  // true when every check passes; otherwise one error message box was shown

    // The controls as the document holds them, and back.
    PargenValues values() const;
    void setValues(const PargenValues& values);

    // True when the controls differ from what the showing put into them.
    bool hasChanges() const;

public slots:
    // Cancel, Escape: asks before dropping changes; No keeps the dialog open.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* edit(QWidget* parent, const char* name, const QString& caption, int y, int labelWidth);
    // Chooses the item that the typed CAN bit rate names; false, after an error box, when none does.
    bool chooseTypedCanRate();
    // The controls from the values, without a check in between.
    void setControls(const PargenValues& values);
    // The values as OK would write them: the CAN bit rate is the item that its typed text names.
    PargenValues writtenValues() const;
    // A control changed: the check runs, unless the dialog is setting its controls itself.
    void valueChanged();
    // Runs the project check on the values as OK would write them and marks the fields.
    void checkValues();
    // F8 (1), Shift+F8 (-1): the focus to the next or previous field with a finding, going round.
    void goToFinding(int direction);

    MessageBoxes& boxes_;
    QString documentPath_;
    PargenValues shownValues_;
    QString shownCanRate_;

    EditorCheck check_{kPargenFileName};
    bool settingControls_ = false;

    QScrollArea* scroll_;
    FindingsLine* findingsLine_;
    QComboBox* CB_BR_CAN_;
    QRadioButton* RB_CAN_A_;
    QRadioButton* RB_CAN_B_;
    QLineEdit* E_TO_Data_;
    QLineEdit* E_TO_MR_;
    QCheckBox* CB_PtoP_;
    QCheckBox* CB_En_W_J1939_;
    QCheckBox* CB_EnRemReq_;
    QLineEdit* E_Pri_Des_;
    QLineEdit* E_PGN1_;
    QLineEdit* E_PGN2_;
    QLineEdit* E_SA_;
    QRadioButton* RB_RS232_;
    QRadioButton* RB_RS485_;
    QComboBox* CB_BR_RTU_;
    QComboBox* CB_PAR_RTU_;
    QLineEdit* E_ID_RTU_;
    QLineEdit* E_TIME_RTU_;
    QPushButton* bitbtn1_;

    // The element of each field that shows findings, top to bottom; the serial time-out, which
    // is never shown, has none (its findings count in the line only).
    static constexpr std::size_t kFieldCount = 15;
    std::array<std::pair<std::string_view, QWidget*>, kFieldCount> fields_{};
};

}  // namespace trelvant
