#include "platform/desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace trelvant {

bool QtDesktop::startDetached(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    return QProcess::startDetached(program, arguments, workingFolder);
}

void QtDesktop::openUrl(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

}  // namespace trelvant
