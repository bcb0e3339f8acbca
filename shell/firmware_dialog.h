#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace trelvant {

struct Platform;

// The last step of "Update Device": finds the base firmware in MASTER, merges banks 1 and 2 into
// it and starts the flash tool on the merged firmware with the chosen serial port.
class TFModifyFileSx : public QDialog {
    Q_OBJECT
public:
    inline static const QString kDefaultBaseFirmware = QStringLiteral("Pelmora.sx");
    inline static const QString kFlashTool = QStringLiteral("Kestrow.exe");

    TFModifyFileSx(const QString& programFolder, const QString& masterFolder, Platform& platform,
                   QWidget* parent = nullptr);

    // The project whose bank files are merged; the main window sets it before each showing.
    void setProjectFolder(const QString& folder) { projectFolder_ = folder; }

    void FormShow();
    void LbButton2Click();
    // The merge; true when this run wrote the merged firmware with every selected bank inserted.
    bool ExeModFileSxClick();
    void ExeUpdateFirClick();

    // The line under the progress bar that ends each run: where the merged firmware went and
    // whether the flash tool started, or why not.
    QString resultLine() const;

    const QString& baseFirmwareName() const { return baseFirmwareName_; }
    const QString& binFolder() const { return binFolder_; }
    const QString& outputFolder() const { return outputFolder_; }
    const QString& mergedFirmwareName() const { return mergedFirmwareName_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    Platform& platform_;
    QString programFolder_;
    QString masterFolder_;
    QString projectFolder_;

    QString baseFirmwareName_ = kDefaultBaseFirmware;
    QString binFolder_;
    QString outputFolder_;
    QString mergedFirmwareName_ = QStringLiteral("New_") + kDefaultBaseFirmware;
    std::array<bool, 5> selectedBanks_{true, true, false, false, false};
    bool mergedThisRun_ = false;
    bool buildIncomplete_ = false;  // the last merge refused the bank files of an unfinished build
    QString mergedFirmware_;  // the file the last merge wrote, in the case it has on disk

    QComboBox* cbport_;
    QPushButton* LbButton2_;
    QProgressBar* Avanzamento_;
    QLabel* LResult_;
};

}  // namespace trelvant
