#pragma once

#include <QString>
#include <QStringList>

namespace trelvant {

// What the system asks of the desktop shell. Neither call waits for what it starts.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Starts program with arguments, each passed intact, without a shell and without waiting.
    virtual bool startDetached(const QString& program, const QStringList& arguments, const QString& workingFolder) = 0;
    // Shows a web address (a page on the web or a local file's address) in the default browser;
    // false when the desktop could not start one for it.
    virtual bool openUrl(const QString& address) = 0;
};

class QtDesktop final : public Desktop {
public:
    bool startDetached(const QString& program, const QStringList& arguments, const QString& workingFolder) override;
    bool openUrl(const QString& address) override;
};

}  // namespace trelvant
