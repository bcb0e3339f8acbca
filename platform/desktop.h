#pragma once

#include <QString>
#include <QStringList>

namespace trelvant {

// What the system asks of the desktop shell. Neither call waits or reports.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Starts program with arguments, each passed intact, without a shell and without waiting.
    virtual bool startDetached(const QString& program, const QStringList& arguments, const QString& workingFolder) = 0;
    // Shows a web address in the default browser.
    virtual void openUrl(const QString& address) = 0;
};

class QtDesktop final : public Desktop {
public:
    bool startDetached(const QString& program, const QStringList& arguments, const QString& workingFolder) override;
    void openUrl(const QString& address) override;
};

}  // namespace trelvant
