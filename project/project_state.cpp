#include "project/project_state.h"

#include "platform/file_names.h"
#include "platform/platform.h"
#include "platform/project_name.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace trelvant {

QString JoinPath(const QString& folder, const QString& name)
{
    return folder + QDir::separator() + name;
}

void BuildDocumentPaths(ProjectState& project)
{
    project.pargenPath = JoinPath(project.folder, QStringLiteral("pargen.xml"));
    project.rcobPath = JoinPath(project.folder, QStringLiteral("RCobDef.xml"));
    project.tcobPath = JoinPath(project.folder, QStringLiteral("TCobDef.xml"));
}

RestoredProject RestoreProject(const QString& projectsFolder, const QString& storedName)
{
    RestoredProject result;
    // A settings file written on Windows holds "\Boiler2"; both separators mean the same here.
    result.name = storedName;
    result.name.replace(QLatin1Char('\\'), QDir::separator()).replace(QLatin1Char('/'), QDir::separator());
    if (!result.name.isEmpty() && !result.name.startsWith(QDir::separator())) result.name.prepend(QDir::separator());

    // The restored folder must lie below PROJECTS, as any folder Open or New can give.
    const QStringList parts = result.name.split(QDir::separator(), Qt::SkipEmptyParts);
    const bool stays = !parts.isEmpty() && !parts.contains(QStringLiteral(".")) && !parts.contains(QStringLiteral(".."));
    const QString candidate = projectsFolder + result.name;
    result.restored = stays && QFileInfo(candidate).isDir();
    result.folder = result.restored ? candidate : projectsFolder;
    return result;
}

QString DecodeStoredName(const std::string& bytes)
{
    const QByteArray raw = QByteArray::fromStdString(bytes);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8(raw);
    if (!utf8.hasError()) return text;
    return QString::fromLocal8Bit(raw);
}

QString OpenedProjectName(const QString& projectFolder, const QString& projectsFolder)
{
    return projectFolder.mid(projectsFolder.size());
}

NewProjectResult MakeProjectFolder(const QString& destinationFolder, const QString& typedName)
{
    // Empty, a separator, "." or "..", or a name that Windows refuses or changes: a project
    // made here must keep its name on a Windows laptop, and stay inside PROJECTS.
    if (const std::optional<std::string> refusal = NewProjectNameRefusal(typedName.toStdString()))
        return {NewProjectOutcome::Refused, QString::fromStdString(*refusal), {}};

    const QString folder = JoinPath(destinationFolder, typedName);
    // Names compare without regard to case: Boiler2 and BOILER2 would be one folder on Windows.
    if (QFileInfo(folder).isDir() || QFileInfo(FromPath(ResolveFileName(ToPath(folder)))).isDir())
        return {NewProjectOutcome::Refused, QStringLiteral("Name project not valid because directory already exists"), {}};

    if (!QDir().mkdir(folder)) return {NewProjectOutcome::NotMade, {}, {}};
    QDir().mkpath(JoinPath(folder, QStringLiteral("bin")));
    return {NewProjectOutcome::Created, {}, folder};
}

}  // namespace trelvant
