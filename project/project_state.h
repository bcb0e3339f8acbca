#pragma once

#include <QString>

#include <optional>
#include <string>

namespace trelvant {

// The current project, owned by the main window for the whole run. Paths use the native
// separator and carry no trailing one.
struct ProjectState {
    // The project's folder below PROJECTS, without a leading separator ("Boiler2", "Site/Boiler2"):
    // what the title shows after the colon and the settings file keeps. A remembered name whose
    // folder is gone is kept too, to be written back, while no project is open.
    QString name;
    QString folder;  // empty or the PROJECTS folder itself: no project open
    QString pargenPath;
    QString rcobPath;
    QString tcobPath;
};

// Recomputes the three document paths from the project folder; checks nothing.
void BuildDocumentPaths(ProjectState& project);

// folder + separator + name, the system's one way of forming a path.
QString JoinPath(const QString& folder, const QString& name);

// True when a and b name the same folder: alike as text (separators cleaned, in any case on
// Windows), or the same folder on disk.
bool SameFolder(const QString& a, const QString& b);

// True when the project folder names a project: not empty and not the PROJECTS folder itself,
// which is the project folder when nothing was restored at start-up.
bool IsProjectOpen(const QString& projectFolder, const QString& projectsFolder);

// The project restored from the name kept in the settings file. A stored name may use "\" or
// "/", and may begin with one (as the settings files of earlier versions do); the name is held
// without it. The project folder is projects + name when that folder exists below projects, else
// projects itself; restored says which.
struct RestoredProject {
    QString name;
    QString folder;
    bool restored = false;
};
RestoredProject RestoreProject(const QString& projectsFolder, const QString& storedName);

// The text of a name stored in the settings file: UTF-8 when the bytes are valid UTF-8, else the
// system's 8-bit code page, in which Windows writes the file.
QString DecodeStoredName(const std::string& bytes);

// Why Open does not take the chosen folder as a project: it is the PROJECTS folder itself, or
// not inside it. Nothing for a folder below PROJECTS.
std::optional<QString> OpenedFolderRefusal(const QString& chosenFolder, const QString& projectsFolder);

// The name Open gives a chosen folder below PROJECTS: its path below PROJECTS ("Boiler2",
// "Site/Boiler2" with the system's separator).
QString OpenedProjectName(const QString& projectFolder, const QString& projectsFolder);

// Makes the folder of a new project below destination, with its bin folder.
enum class NewProjectOutcome {
    Created,  // folder made; its bin folder was asked for too
    Refused,  // message says why
    NotMade,  // the file system refused the folder; nothing to say
};
struct NewProjectResult {
    NewProjectOutcome outcome;
    QString message;
    QString folder;
};
NewProjectResult MakeProjectFolder(const QString& destinationFolder, const QString& typedName);

}  // namespace trelvant
