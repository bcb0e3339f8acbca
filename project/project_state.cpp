#include "project/project_state.h"

#include "platform/file_names.h"
#include "platform/platform.h"
#include "platform/project_name.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace trelvant {
namespace {

// Folder names compare as the file system compares them.
Qt::CaseSensitivity pathCase()
{
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

// "/" for every separator, no "." or ".." parts, no trailing separator.
QString cleanedPath(const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

// The path of folder below root, in the system's separators; nothing when folder is root itself
// or not below it.
std::optional<QString> pathBelow(const QString& folder, const QString& root)
{
    const QString cleanFolder = cleanedPath(folder);
    QString cleanRoot = cleanedPath(root);
    if (!cleanRoot.endsWith(QLatin1Char('/'))) cleanRoot += QLatin1Char('/');
    if (root.isEmpty() || cleanFolder.size() <= cleanRoot.size() || !cleanFolder.startsWith(cleanRoot, pathCase()))
        return std::nullopt;
    return QDir::toNativeSeparators(cleanFolder.mid(cleanRoot.size()));
}

}  // namespace

QString JoinPath(const QString& folder, const QString& name)
{
    return folder + QDir::separator() + name;
}

bool SameFolder(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty()) return false;
    if (cleanedPath(a).compare(cleanedPath(b), pathCase()) == 0) return true;
    // Another spelling of the same folder: a symbolic link, "PROJECTS/Site/..".
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

bool IsProjectOpen(const QString& projectFolder, const QString& projectsFolder)
{
    return !projectFolder.isEmpty() && !SameFolder(projectFolder, projectsFolder);
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
    // A settings file written on Windows holds "Site\Boiler2"; both separators mean the same here.
    // Earlier versions wrote a leading one ("\Boiler2"), which goes with the empty parts.
    QString name = storedName;
    name.replace(QLatin1Char('\\'), QDir::separator()).replace(QLatin1Char('/'), QDir::separator());
    const QStringList parts = name.split(QDir::separator(), Qt::SkipEmptyParts);
    result.name = parts.join(QDir::separator());

    // The restored folder must lie below PROJECTS, as any folder Open or New can give.
    const bool stays = !parts.isEmpty() && !parts.contains(QStringLiteral(".")) && !parts.contains(QStringLiteral(".."));
    const QString candidate = JoinPath(projectsFolder, result.name);
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

std::optional<QString> OpenedFolderRefusal(const QString& chosenFolder, const QString& projectsFolder)
{
    if (SameFolder(chosenFolder, projectsFolder))
        return QStringLiteral("The folder %1 holds the projects; it is not a project itself. Choose a project's folder "
                              "inside it.")
            .arg(QFileInfo(cleanedPath(projectsFolder)).fileName());
    if (!pathBelow(chosenFolder, projectsFolder))
        return QStringLiteral("%1 is not inside %2, which holds the projects. Choose a project's folder there.")
            .arg(QDir::toNativeSeparators(cleanedPath(chosenFolder)), QDir::toNativeSeparators(cleanedPath(projectsFolder)));
    return std::nullopt;
}

QString OpenedProjectName(const QString& projectFolder, const QString& projectsFolder)
{
    return pathBelow(projectFolder, projectsFolder).value_or(QString());
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
