#include "shell/about_box.h"

#include "platform/common_look.h"
#include "platform/platform.h"
#include "shell/link_label.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>

namespace trelvant {
namespace {

// The program's picture: a gateway joining the serial line to the CAN bus.
QPixmap programPicture(int size, qreal ratio)
{
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size);
    fill.setColorAt(0, QColor(74, 120, 168));
    fill.setColorAt(1, QColor(36, 72, 112));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), 12, 12);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 8, size, 18), Qt::AlignHCenter, QStringLiteral("RTU"));
    painter.drawText(QRectF(0, size - 26, size, 18), Qt::AlignHCenter, QStringLiteral("J1939"));

    QPen arrows(QColor(253, 234, 170), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(arrows);
    const qreal mid = size / 2.0;
    painter.drawLine(QPointF(18, mid - 6), QPointF(size - 18, mid - 6));
    painter.drawLine(QPointF(size - 24, mid - 12), QPointF(size - 18, mid - 6));
    painter.drawLine(QPointF(18, mid + 6), QPointF(size - 18, mid + 6));
    painter.drawLine(QPointF(24, mid + 12), QPointF(18, mid + 6));
    return pixmap;
}

QLabel* placeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

}  // namespace

TFAbout::TFAbout(Platform& platform, QWidget* parent) : QDialog(parent), platform_(platform)
{
    setObjectName(QStringLiteral("TFAbout"));
    setWindowTitle(QStringLiteral("About..."));
    ApplyCommonLook(this);
    MakeFixedToolWindow(this, 389, 152);

    auto* picture = new LinkLabel(QString(), this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(programPicture(81, devicePixelRatioF()));
    picture->setGeometry(12, 12, 81, 81);
    picture->setToolTip(kProductPageText);
    picture->setAccessibleName(QStringLiteral("Product page"));
    picture->setFocusPolicy(Qt::NoFocus);  // the link label below is the keyboard's way there
    connect(picture, &LinkLabel::clicked, this, &TFAbout::Label4Click);

    QLabel* title = placeLabel(this, "Label1", QStringLiteral("Software Trelvant "), 108, 12);
    title->setStyleSheet(QStringLiteral("font-size: 13px; font-weight: bold;"));  // 10 point
    title->adjustSize();
    placeLabel(this, "Label2", QStringLiteral("Gateway Modbus RTU Slave To J1939"), 108, 34);

    const int valueX = 220;
    placeLabel(this, "Label3", QStringLiteral("Software Code : "), 108, 58);
    placeLabel(this, "LCode", QStringLiteral("Dolvik"), valueX, 58);
    placeLabel(this, "Label5", QStringLiteral("Version :"), 108, 75);
    placeLabel(this, "LVersion", QStringLiteral("1.404"), valueX, 75);
    placeLabel(this, "Label7", QStringLiteral("Document Code :"), 108, 92);
    placeLabel(this, "LDocument", QStringLiteral("Brenmar"), valueX, 92);

    auto* link = new LinkLabel(kProductPageText, this);
    link->setObjectName(QStringLiteral("Label4"));
    link->setStyleSheet(QStringLiteral("color: rgb(0, 0, 238); text-decoration: underline;"));
    link->adjustSize();
    link->move(389 - 12 - link->width(), 152 - 12 - link->height());
    connect(link, &LinkLabel::clicked, this, &TFAbout::Label4Click);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setGeometry(18, 152 - 12 - 23, 69, 23);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setTabOrder(ok, link);
    ok_ = ok;
}

void TFAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar leaves the focus where the user put it.
    if (!event->spontaneous()) ok_->setFocus();
}

void TFAbout::Label4Click()
{
    platform_.desktop.openUrl(kProductPage);
}

}  // namespace trelvant
