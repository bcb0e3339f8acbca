#include "shell/firmware_dialog.h"

#include "image/srecord_merge.h"
#include "platform/common_look.h"
#include "platform/error_boundary.h"
#include "platform/file_names.h"
#include "platform/platform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

namespace trelvant {
namespace {

constexpr int kWidth = 430;
constexpr int kHeight = 224;

// An existing file of that name in any case.
bool fileExists(const QString& path)
{
    return QFileInfo(FromPath(ResolveFileName(ToPath(path)))).isFile();
}

}  // namespace

TFModifyFileSx::TFModifyFileSx(const QString& programFolder, const QString& masterFolder, Platform& platform,
                               QWidget* parent)
    : QDialog(parent), platform_(platform), programFolder_(programFolder), masterFolder_(masterFolder)
{
    setObjectName(QStringLiteral("TFModifyFileSx"));
    setWindowTitle(QStringLiteral("Generate Firmware"));
    ApplyCommonLook(this);
    MakeFixedToolWindow(this, kWidth, kHeight);

    auto* portLabel = new QLabel(QStringLiteral("Serial port"), this);
    portLabel->setObjectName(QStringLiteral("LPort"));
    portLabel->setGeometry(24, 40, 90, 22);
    cbport_ = new QComboBox(this);
    cbport_->setObjectName(QStringLiteral("cbport"));
    for (int port = 1; port <= 8; ++port) cbport_->addItem(QStringLiteral("COM%1").arg(port));
    cbport_->setGeometry(120, 40, 100, 22);
    portLabel->setBuddy(cbport_);

    LbButton2_ = MakeFlatButton(this, "LbButton2", QStringLiteral("Execute update firmware"), QStyle::SP_MediaPlay);
    LbButton2_->setGeometry(20, 92, 200, 26);

    Avanzamento_ = new QProgressBar(this);
    Avanzamento_->setObjectName(QStringLiteral("Avanzamento"));
    Avanzamento_->setGeometry(24, 164, kWidth - 48, 18);
    Avanzamento_->setTextVisible(false);
    Avanzamento_->setAccessibleName(QStringLiteral("Merge progress"));
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("SkyBar"));
    bar->setGeometry(24, 186, kWidth - 48, 6);
    bar->setStyleSheet(QStringLiteral("background: rgb(135, 206, 235); border: none;"));
    LResult_ = new QLabel(this);
    LResult_->setObjectName(QStringLiteral("LResult"));
    LResult_->setGeometry(24, 195, kWidth - 48, 28);
    LResult_->setWordWrap(true);
    LResult_->setTextFormat(Qt::PlainText);
    LResult_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // No fixed name: a screen reader reads the line by its text, and hears each new one.
    LResult_->setAccessibleDescription(QStringLiteral("Result of the update"));

    auto* close = MakeFlatButton(this, "LbButton1", QStringLiteral("X"), QStyle::SP_CustomBase);
    close->setIcon(QIcon());
    close->setGeometry(kWidth - 27, 4, 21, 19);
    close->setStyleSheet(QStringLiteral("padding: 0px; text-align: center; font-weight: bold;"));
    close->setToolTip(QStringLiteral("Close"));
    close->setAccessibleName(QStringLiteral("Close"));

    connect(LbButton2_, &QPushButton::clicked, this,
            [this] { RunHandler(platform_.boxes, this, [this] { LbButton2Click(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void TFModifyFileSx::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar is not a new showing: the chosen port stays.
    if (!event->spontaneous()) RunHandler(platform_.boxes, this, [this] { FormShow(); });
}

void TFModifyFileSx::FormShow()
{
    CentreOnScreen(this);
    selectedBanks_ = {true, true, false, false, false};
    cbport_->setCurrentIndex(0);
    Avanzamento_->setValue(Avanzamento_->minimum());
    LbButton2_->setEnabled(false);
    LResult_->clear();
    mergedThisRun_ = false;
    mergedFirmware_.clear();

    const QString bin = projectFolder_ + QDir::separator() + QStringLiteral("bin") + QDir::separator();
    if (QFileInfo(bin).isDir()) binFolder_ = bin;

    const QString baseFirmware = masterFolder_ + QDir::separator() + kDefaultBaseFirmware;
    if (!fileExists(baseFirmware)) {
        platform_.boxes.error(this, QStringLiteral("Error file ") + kDefaultBaseFirmware + QStringLiteral(" not found"));
        return;
    }
    // The flash tool starts in the current folder: the base firmware's.
    if (!QDir::setCurrent(masterFolder_)) {
        platform_.boxes.error(this, QStringLiteral("Error"));
        return;
    }
    baseFirmwareName_ = kDefaultBaseFirmware;
    outputFolder_ = projectFolder_;
    if (!outputFolder_.endsWith(QDir::separator())) outputFolder_ += QDir::separator();
    mergedFirmwareName_ = QStringLiteral("New_") + baseFirmwareName_;
    LbButton2_->setEnabled(true);
}

QString TFModifyFileSx::resultLine() const
{
    return LResult_->text();
}

void TFModifyFileSx::LbButton2Click()
{
    // Said first, and replaced once the run gets further: a merge that stops with an error ends here.
    LResult_->setText(QStringLiteral("The firmware was not merged: the flash tool was not started."));
    mergedThisRun_ = ExeModFileSxClick();
    ExeUpdateFirClick();
}

bool TFModifyFileSx::ExeModFileSxClick()
{
    // Messages go to plain message boxes; progress moves the bar, repainted at once since the
    // merge holds the user interface thread.
    class DialogReport final : public MergeReport {
    public:
        DialogReport(TFModifyFileSx& dialog) : dialog_(dialog) {}
        void message(const std::string& text) override
        {
            dialog_.platform_.boxes.plain(&dialog_, QString::fromStdString(text));
        }
        void progress(std::uint64_t position, std::uint64_t maximum) override
        {
            // The bar counts in thousandths so that files of any size fit its int range.
            const int value = maximum == 0 ? 1000 : static_cast<int>(position * 1000 / maximum);
            if (value == dialog_.Avanzamento_->value() && dialog_.Avanzamento_->maximum() == 1000) return;
            dialog_.Avanzamento_->setRange(0, 1000);
            dialog_.Avanzamento_->setValue(value);
            dialog_.Avanzamento_->repaint();
        }

    private:
        TFModifyFileSx& dialog_;
    } report(*this);

    MergeJob job;
    // The base firmware is read by its name in the current folder, MASTER since the showing.
    job.baseFirmware = ToPath(baseFirmwareName_);
    job.binFolder = ToPath(binFolder_);
    job.outputFolder = ToPath(outputFolder_);
    job.mergedFirmwareName = ToPath(mergedFirmwareName_);
    job.banks = selectedBanks_;
    const MergeOutcome outcome = trelvant::ExeModFileSxClick(job, report);
    mergedFirmware_ = FromPath(outcome.mergedFirmware);
    buildIncomplete_ = outcome.buildIncomplete;
    return outcome.complete();
}

void TFModifyFileSx::ExeUpdateFirClick()
{
    // Only a merged firmware this run made whole, with every selected bank in it, goes to the
    // device; the merge has said why when there is none.
    if (!mergedThisRun_) {
        // Bank files of an unfinished build were not merged at all.
        LResult_->setText(buildIncomplete_
                              ? QStringLiteral("The firmware was not merged: the flash tool was not started.")
                              : QStringLiteral("The firmware was not merged whole: the flash tool was not started."));
        return;
    }

    // The merge may have written over a file of that name in another case.
    const QString& merged = mergedFirmware_;
    const QString shown = QDir::toNativeSeparators(merged);
    if (!QFileInfo(merged).isFile()) {
        platform_.boxes.plain(this, QStringLiteral("File *.Sx Not Found,Abort Procedure"));
        LResult_->setText(QStringLiteral("The merged firmware %1 was not found: the flash tool was not started.").arg(shown));
        return;
    }
    const QString tool = programFolder_ + QDir::separator() + kFlashTool;
    if (!fileExists(tool)) {
        platform_.boxes.plain(this, QStringLiteral("Kestrow.exe Not Found, Procedure Aborted"));
        LResult_->setText(QStringLiteral("Merged firmware written to %1; the flash tool %2 was not found and not started.")
                              .arg(shown, kFlashTool));
        return;
    }
    // Each argument reaches the tool whole, blanks and quotes included.
    const bool started = platform_.desktop.startDetached(FromPath(ResolveFileName(ToPath(tool))),
                                                         {merged, QString::number(cbport_->currentIndex())},
                                                         QDir::currentPath());
    LResult_->setText(started ? QStringLiteral("Merged firmware written to %1; the flash tool was started on %2.")
                                    .arg(shown, cbport_->currentText())
                              : QStringLiteral("Merged firmware written to %1; the flash tool %2 could not be started.")
                                    .arg(shown, QDir::toNativeSeparators(tool)));
}

}  // namespace trelvant
