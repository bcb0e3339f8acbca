#pragma once

#include <QDialog>

namespace trelvant {

struct Platform;

// The maker's product page, opened from the main window and the About box.
inline const QString kProductPage = QStringLiteral("https://www.example.org/trelvant/");
inline const QString kProductPageText = QStringLiteral("www.example.org/trelvant");

// The About box: program, version and document codes, and a way to the product page.
class TFAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFAbout(Platform& platform, QWidget* parent = nullptr);

    void Label4Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Platform& platform_;
    class QPushButton* ok_ = nullptr;
};

}  // namespace trelvant
