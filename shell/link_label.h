#pragma once

#include <QLabel>

namespace trelvant {

// A label that behaves as a link: hand cursor, click, and Enter or Space when it has the focus.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace trelvant
