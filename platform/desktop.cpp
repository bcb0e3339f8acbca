#include "platform/desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace trelvant {

bool QtDesktop::startDetached(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    return QProcess::startDetached(program, arguments, workingFolder);
}

bool QtDesktop::openUrl(const QString& address)
{
    // On Windows the shell's open action, elsewhere the desktop's opener (xdg-open): false when
    // that could not be started or refused the address.
    return QDesktopServices::openUrl(QUrl(address));
}

}  // namespace trelvant
