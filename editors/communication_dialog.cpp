#include "editors/communication_dialog.h"

#include "documents/communication_checks.h"
#include "platform/common_look.h"
#include "platform/error_boundary.h"
#include "platform/file_names.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace trelvant {
namespace {

constexpr int kWidth = 233;
constexpr int kHeight = 622;
// The two groups scroll, when the screen is too small for the dialog, above a strip that keeps the
// check's findings line, OK and Cancel in view.
constexpr int kBodyHeight = 558;
constexpr int kRowHeight = 21;

QLabel* label(QWidget* parent, const QString& caption, int x, int y, int width)
{
    auto* text = new QLabel(caption, parent);
    text->setGeometry(x, y, width, kRowHeight);
    return text;
}

template <std::size_t N>
QStringList listItems(const std::array<std::string_view, N>& texts)
{
    QStringList items;
    for (const std::string_view text : texts) items << QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    return items;
}

QComboBox* list(QWidget* parent, const char* name, const QStringList& items, bool editable, int y)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(editable);
    // Only the position of the selected item is stored: a typed text never becomes an item.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setGeometry(90, y, 115, kRowHeight);
    return box;
}

template <typename Button>
Button* choice(QWidget* parent, const char* name, const QString& caption, int x, int y, int width)
{
    auto* button = new Button(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, width, 20);
    return button;
}

QGroupBox* box(QWidget* parent, const char* name, const QString& title, int x, int y, int width, int height)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(x, y, width, height);
    return group;
}

}  // namespace

TFpargen::TFpargen(MessageBoxes& boxes, QWidget* parent) : QDialog(parent), boxes_(boxes)
{
    setObjectName(QStringLiteral("TFpargen"));
    setWindowTitle(QStringLiteral("SET COMMUNICATION"));
    ApplyCommonLook(this);
    MakeFixedToolWindow(this, kWidth, kHeight);
    // The groups stand on a body that scrolls when the screen cannot hold the whole dialog.
    QWidget* body = MakeScrollingBody(this, QSize(kWidth, kBodyHeight));
    scroll_ = findChild<QScrollArea*>(QStringLiteral("ScrollingBody"), Qt::FindDirectChildrenOnly);
    // Tab brings each control into view (below); the scroll area itself is no stop.
    scroll_->setFocusPolicy(Qt::NoFocus);

    QGroupBox* can = box(body, "GB_J1939", QStringLiteral(" J1939 "), 6, 6, 221, 396);
    can->setAccessibleName(QStringLiteral("J1939"));
    QLabel* canRate = label(can, QStringLiteral("Baud rate"), 10, 22, 75);
    CB_BR_CAN_ = list(can, "CB_BR_CAN", listItems(kCanBitRates), true, 22);
    canRate->setBuddy(CB_BR_CAN_);
    // The framed boxes have no title on the screen; a screen reader names each by what it holds.
    QGroupBox* canType = box(can, "GB_CANType", QString(), 6, 44, 209, 48);
    canType->setAccessibleName(QStringLiteral("Identifier length"));
    RB_CAN_A_ = choice<QRadioButton>(canType, "RB_CAN_A", QStringLiteral("CAN Bus 2.0A (CobID 11Bit)"), 4, 6, 199);
    RB_CAN_B_ = choice<QRadioButton>(canType, "RB_CAN_B", QStringLiteral("CAN Bus 2.0B (CobID 29Bit)"), 4, 26, 199);

    QGroupBox* timeOut = box(can, "GB_TimeOut", QString(), 6, 96, 209, 64);
    timeOut->setAccessibleName(QStringLiteral("Data time-out"));
    // Wide enough for a value beside the mark of a finding.
    E_TO_Data_ = edit(timeOut, "E_TO_Data", QStringLiteral("TimeOut Data"), 8, 100);
    E_TO_Data_->setFixedWidth(64);
    label(timeOut, QStringLiteral("(Sec.)"), 169, 8, 37);
    E_TO_MR_ = edit(timeOut, "E_TO_MR", QStringLiteral("Modbus Register"), 35, 100);

    QGroupBox* own = box(can, "GB_Own", QString(), 6, 164, 209, 50);
    own->setAccessibleName(QStringLiteral("Peer to peer and writing on request"));
    CB_PtoP_ = choice<QCheckBox>(own, "CB_PtoP", QStringLiteral("Peer to Peer"), 8, 5, 195);
    CB_En_W_J1939_ = choice<QCheckBox>(own, "CB_En_W_J1939", QStringLiteral("Enable write J1939 on request"), 8, 25, 199);

    QGroupBox* request = box(can, "GB_Request", QString(), 6, 218, 209, 170);
    request->setAccessibleName(QStringLiteral("Remote request registers"));
    CB_EnRemReq_ = choice<QCheckBox>(request, "CB_EnRemReq", QStringLiteral("Enable Remote Request"), 8, 6, 195);
    E_Pri_Des_ = edit(request, "E_Pri_Des", QStringLiteral("Priority and Destination "), 34, 140);
    E_PGN1_ = edit(request, "E_PGN1", QStringLiteral("PGN Part 1"), 68, 140);
    E_PGN2_ = edit(request, "E_PGN2", QStringLiteral("PGN Part 2"), 102, 140);
    E_SA_ = edit(request, "E_SA", QStringLiteral("Source Address"), 136, 140);

    QGroupBox* serial = box(body, "GB_Serial", QStringLiteral("Serial"), 6, 408, 221, 148);
    QGroupBox* line = box(serial, "GB_Interface", QString(), 6, 20, 209, 32);
    line->setAccessibleName(QStringLiteral("Serial interface"));
    RB_RS232_ = choice<QRadioButton>(line, "RB_RS232", QStringLiteral("RS232"), 10, 6, 90);
    RB_RS485_ = choice<QRadioButton>(line, "RB_RS485", QStringLiteral("RS485"), 110, 6, 90);
    QLabel* serialRate = label(serial, QStringLiteral("Baud rate"), 10, 62, 75);
    CB_BR_RTU_ = list(serial, "CB_BR_RTU", listItems(kSerialBitRates), false, 62);
    serialRate->setBuddy(CB_BR_RTU_);
    QLabel* parity = label(serial, QStringLiteral("Parity"), 10, 92, 75);
    CB_PAR_RTU_ = list(serial, "CB_PAR_RTU", listItems(kParities), false, 92);
    parity->setBuddy(CB_PAR_RTU_);
    QLabel* device = label(serial, QStringLiteral("Dev ID"), 10, 122, 75);
    E_ID_RTU_ = new QLineEdit(serial);
    E_ID_RTU_->setObjectName(QStringLiteral("E_ID_RTU"));
    E_ID_RTU_->setGeometry(90, 122, 60, kRowHeight);
    device->setBuddy(E_ID_RTU_);
    // The serial time-out is never shown: it goes back to the document as it came. (Its row lies
    // below the group's frame.)
    QLabel* serialTimeOut = label(serial, QStringLiteral("Timeout  (ms)"), 10, 152, 75);
    E_TIME_RTU_ = new QLineEdit(serial);
    E_TIME_RTU_->setObjectName(QStringLiteral("E_TIME_RTU"));
    E_TIME_RTU_->setGeometry(90, 152, 60, kRowHeight);
    serialTimeOut->setBuddy(E_TIME_RTU_);
    serialTimeOut->hide();
    E_TIME_RTU_->hide();

    // Both lists have the caption "Baud rate": their names (where the platform takes them) and
    // their descriptions say which line each rate is for.
    CB_BR_CAN_->setAccessibleName(QStringLiteral("J1939 baud rate (kbit/s)"));
    CB_BR_CAN_->setAccessibleDescription(QStringLiteral("The bit rate of the CAN bus"));
    CB_BR_RTU_->setAccessibleName(QStringLiteral("Serial baud rate (bit/s)"));
    CB_BR_RTU_->setAccessibleDescription(QStringLiteral("The bit rate of the serial line"));
    E_TO_Data_->setAccessibleDescription(QStringLiteral("In seconds, 0 to 255"));
    E_TO_MR_->setAccessibleDescription(QStringLiteral("The Modbus register of the data time-out, 1 to 65535"));
    for (QLineEdit* requestRegister : {E_Pri_Des_, E_PGN1_, E_PGN2_, E_SA_})
        requestRegister->setAccessibleDescription(QStringLiteral("Modbus register, 1 to 65535"));
    E_ID_RTU_->setAccessibleDescription(QStringLiteral("The gateway's Modbus slave address, 1 to 247"));

    // Under the groups, in sight however far they are scrolled: the count of the check's findings,
    // then OK and Cancel.
    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("Buttons"));
    buttons->setFixedHeight(kHeight - kBodyHeight);
    findingsLine_ = new FindingsLine(buttons);
    findingsLine_->setGeometry(12, 3, kWidth - 24, 17);
    bitbtn1_ = new QPushButton(QStringLiteral("OK"), buttons);
    bitbtn1_->setObjectName(QStringLiteral("bitbtn1"));
    bitbtn1_->setGeometry(38, 26, 75, 25);
    bitbtn1_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), buttons);
    cancel->setObjectName(QStringLiteral("bitbtn2"));
    cancel->setGeometry(120, 26, 75, 25);
    auto* layout = qobject_cast<QVBoxLayout*>(this->layout());
    layout->setSpacing(0);
    layout->addWidget(buttons);
    // A control that takes the focus, by Tab, Shift+Tab or a click, is brought whole into view.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now->window() == this && scroll_->isAncestorOf(now)) scroll_->ensureWidgetVisible(now);
    });

    fields_ = {{{"BaudRateCAN", CB_BR_CAN_},
                {"CANType", canType},
                {"TimeOut_Data", E_TO_Data_},
                {"TO_ModReg", E_TO_MR_},
                {"Peer_to_Peer", CB_PtoP_},
                {"Write_J1939", CB_En_W_J1939_},
                {"En_Rem_Req", CB_EnRemReq_},
                {"Pri_Des", E_Pri_Des_},
                {"PGN1", E_PGN1_},
                {"PGN2", E_PGN2_},
                {"SA", E_SA_},
                {"Serial", line},
                {"Baud_Ser", CB_BR_RTU_},
                {"Par_Ser", CB_PAR_RTU_},
                {"IDDev_Ser", E_ID_RTU_}}};
    // Each change of a value is checked once: a pair of radio buttons reports through one of them,
    // the CAN bit rate's typed text through its edit box, a chosen item through the list.
    const auto changed = [this] { valueChanged(); };
    for (QLineEdit* field : {E_TO_Data_, E_TO_MR_, E_Pri_Des_, E_PGN1_, E_PGN2_, E_SA_, E_ID_RTU_, E_TIME_RTU_})
        connect(field, &QLineEdit::textChanged, this, changed);
    connect(CB_BR_CAN_->lineEdit(), &QLineEdit::textEdited, this, changed);
    for (QComboBox* field : {CB_BR_CAN_, CB_BR_RTU_, CB_PAR_RTU_})
        connect(field, &QComboBox::currentIndexChanged, this, changed);
    for (QAbstractButton* field :
         std::initializer_list<QAbstractButton*>{CB_PtoP_, CB_En_W_J1939_, CB_EnRemReq_, RB_CAN_B_, RB_RS485_})
        connect(field, &QAbstractButton::toggled, this, changed);
    connect(findingsLine_, &FindingsLine::nextFinding, this,
            [this] { RunHandler(boxes_, this, [this] { goToFinding(1); }); });
    connect(findingsLine_, &FindingsLine::previousFinding, this,
            [this] { RunHandler(boxes_, this, [this] { goToFinding(-1); }); });

    setValues(PargenValues{});
    connect(bitbtn1_, &QPushButton::clicked, this, [this] { RunHandler(boxes_, this, [this] { BitBtn1Click(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QLineEdit* TFpargen::edit(QWidget* parent, const char* name, const QString& caption, int y, int labelWidth)
{
    QLabel* text = label(parent, caption, 8, y, labelWidth - 8);
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(labelWidth + 2, y, parent->width() - labelWidth - 10, kRowHeight);
    text->setBuddy(box);
    return box;
}

void TFpargen::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar is not a new showing: what the user typed stays.
    if (event->spontaneous()) return;
    FitOnScreen(this, QSize(kWidth, kHeight));
    // Each showing starts at the top; the focus, on OK or where a failed reading left it, is in view.
    scroll_->verticalScrollBar()->setValue(0);
    RunHandler(boxes_, this, [this] {
        // The project's other documents, as they stand now, for the checks of this showing.
        if (!documentPath_.isEmpty()) check_.load(ToPath(documentPath_).parent_path());
        {
            const QScopedValueRollback<bool> quiet(settingControls_, true);
            FormShow();
        }
        checkValues();
    });
    if (QWidget* focused = focusWidget(); focused && scroll_->isAncestorOf(focused)) scroll_->ensureWidgetVisible(focused);
}

void TFpargen::FormShow()
{
    RB_CAN_B_->setChecked(true);
    RB_CAN_A_->setEnabled(false);
    RB_CAN_B_->setEnabled(false);

    // Without a document, or with one that cannot be loaded, the controls keep their values.
    PargenValues read = values();
    const PargenReadResult result = ReadPargenInto(ToPath(documentPath_), read);
    shownValues_ = values();
    shownCanRate_ = CB_BR_CAN_->currentText();
    if (result.load == PargenLoad::Unreadable) return;
    if (result.load == PargenLoad::Read) setValues(read);

    // Whatever the document says, the dialog offers 29-bit identifiers only.
    RB_CAN_B_->setChecked(true);
    RB_CAN_A_->setEnabled(false);
    RB_CAN_B_->setEnabled(result.canTypeRead);
    shownValues_ = values();
    shownCanRate_ = CB_BR_CAN_->currentText();
    bitbtn1_->setFocus();
}

bool TFpargen::chooseTypedCanRate()
{
    // A typed rate that names an item chooses it; any other text would store a rate the user did
    // not mean, and is refused.
    const int item = CB_BR_CAN_->findText(CB_BR_CAN_->currentText().trimmed(), Qt::MatchExactly);
    if (item >= 0) {
        CB_BR_CAN_->setCurrentIndex(item);
        return true;
    }
    QStringList rates;
    for (int i = 0; i < CB_BR_CAN_->count(); ++i) rates << CB_BR_CAN_->itemText(i);
    boxes_.error(this, QStringLiteral("Error! The Baud rate of J1939 must be one of %1 (kbit/s)").arg(rates.join(QStringLiteral(", "))));
    CB_BR_CAN_->setFocus();
    if (CB_BR_CAN_->lineEdit()) CB_BR_CAN_->lineEdit()->selectAll();
    return false;
}

bool TFpargen::hasChanges() const
{
    return values() != shownValues_ || CB_BR_CAN_->currentText() != shownCanRate_;
}

void TFpargen::reject()
{
    if (hasChanges() && !boxes_.question(this, kDiscardChanges)) return;
    QDialog::reject();
}

bool TFpargen::Controllo_Dati()
{
    if (const std::optional<std::string> failure = CommunicationCheckFailure(values())) {
        boxes_.error(this, QString::fromStdString(*failure));
        return false;
    }
    return true;
}

void TFpargen::BitBtn1Click()
{
    if (!chooseTypedCanRate() || !Controllo_Dati()) return;
    // The values as they will be written, checked afresh whatever set them.
    checkValues();
    if (const std::optional<std::string> question =
            SaveQuestion("The communication document", check_.document(), check_.findings());
        question && !boxes_.question(this, QString::fromStdString(*question)))
        return;
    WritePargen(ToPath(documentPath_), values());
    accept();
}

PargenValues TFpargen::writtenValues() const
{
    PargenValues v = values();
    if (const int item = CB_BR_CAN_->findText(CB_BR_CAN_->currentText().trimmed(), Qt::MatchExactly); item >= 0)
        v.BaudRateCAN = item;
    return v;
}

void TFpargen::valueChanged()
{
    if (!settingControls_) RunHandler(boxes_, this, [this] { checkValues(); });
}

void TFpargen::checkValues()
{
    if (!check_.loaded()) return;
    const std::vector<Finding>& findings = check_.run(PargenXml(writtenValues()));
    const std::string& document = check_.document();
    std::array<PlaceFindings, kFieldCount> places;
    const auto place = [&](const Finding& finding, const std::string& at, const std::string& element) {
        if (!SameFileName(at, document)) return;
        for (std::size_t i = 0; i < kFieldCount; ++i)
            if (fields_[i].first == element) places[i].add(finding, document, std::nullopt);
    };
    for (const Finding& finding : findings) {
        place(finding, finding.document, finding.attribute);
        if (finding.alsoAt) place(finding, finding.alsoAt->document, finding.alsoAt->attribute);
    }
    for (std::size_t i = 0; i < kFieldCount; ++i) MarkField(fields_[i].second, places[i]);
    findingsLine_->showFindings(findings);
}

void TFpargen::goToFinding(int direction)
{
    std::vector<std::size_t> marked;
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (HasFindingMark(fields_[i].second)) marked.push_back(i);
    // From a field with findings, the one after or before it; from a field without, the first after
    // it or the last before it; from elsewhere (OK, Cancel), the first or the last.
    int current = -1;
    QWidget* focus = focusWidget();
    for (std::size_t i = 0; focus && i < kFieldCount; ++i) {
        QWidget* field = fields_[i].second;
        if (field != focus && !field->isAncestorOf(focus)) continue;
        const auto at = std::ranges::lower_bound(marked, i);
        const int k = static_cast<int>(at - marked.begin());
        current = at != marked.end() && *at == i ? k : direction > 0 ? k - 1 : k;
        break;
    }
    findingsLine_->setCurrent(current);
    const std::optional<int> next = findingsLine_->step(static_cast<int>(marked.size()), direction);
    if (!next) return;
    QWidget* field = fields_[marked[static_cast<std::size_t>(*next)]].second;
    // A box of radio buttons takes the focus at its chosen button.
    QWidget* target = field;
    if (qobject_cast<QGroupBox*>(field)) {
        target = nullptr;
        for (QRadioButton* button : field->findChildren<QRadioButton*>())
            if (button->isChecked() && button->isEnabled()) target = button;
    }
    if (target) target->setFocus(Qt::ShortcutFocusReason);
    scroll_->ensureWidgetVisible(field);
}

PargenValues TFpargen::values() const
{
    PargenValues v;
    v.BaudRateCAN = CB_BR_CAN_->currentIndex();
    v.CANType29Bit = RB_CAN_B_->isChecked();
    v.Baud_Ser = CB_BR_RTU_->currentIndex();
    v.Par_Ser = CB_PAR_RTU_->currentIndex();
    v.IDDev_Ser = E_ID_RTU_->text().toStdString();
    v.TimeOut_Ser = E_TIME_RTU_->text().toStdString();
    v.TimeOut_Data = E_TO_Data_->text().toStdString();
    v.TO_ModReg = E_TO_MR_->text().toStdString();
    v.Peer_to_Peer = CB_PtoP_->isChecked();
    v.SerialRS485 = RB_RS485_->isChecked();
    v.Write_J1939 = CB_En_W_J1939_->isChecked();
    v.En_Rem_Req = CB_EnRemReq_->isChecked();
    v.Pri_Des = E_Pri_Des_->text().toStdString();
    v.PGN1 = E_PGN1_->text().toStdString();
    v.PGN2 = E_PGN2_->text().toStdString();
    v.SA = E_SA_->text().toStdString();
    return v;
}

void TFpargen::setValues(const PargenValues& v)
{
    {
        const QScopedValueRollback<bool> quiet(settingControls_, true);
        setControls(v);
    }
    valueChanged();
}

void TFpargen::setControls(const PargenValues& v)
{
    const auto text = [](const std::string& value) { return QString::fromStdString(value); };
    CB_BR_CAN_->setCurrentIndex(v.BaudRateCAN);
    (v.CANType29Bit ? RB_CAN_B_ : RB_CAN_A_)->setChecked(true);
    CB_BR_RTU_->setCurrentIndex(v.Baud_Ser);
    CB_PAR_RTU_->setCurrentIndex(v.Par_Ser);
    E_ID_RTU_->setText(text(v.IDDev_Ser));
    E_TIME_RTU_->setText(text(v.TimeOut_Ser));
    E_TO_Data_->setText(text(v.TimeOut_Data));
    E_TO_MR_->setText(text(v.TO_ModReg));
    CB_PtoP_->setChecked(v.Peer_to_Peer);
    (v.SerialRS485 ? RB_RS485_ : RB_RS232_)->setChecked(true);
    CB_En_W_J1939_->setChecked(v.Write_J1939);
    CB_EnRemReq_->setChecked(v.En_Rem_Req);
    E_Pri_Des_->setText(text(v.Pri_Des));
    E_PGN1_->setText(text(v.PGN1));
    E_PGN2_->setText(text(v.PGN2));
    E_SA_->setText(text(v.SA));
}

}  // namespace trelvant
