#pragma once

#include <QString>

#include <string>

namespace trelvant {

// The current project, owned by the main window for the whole run. Paths use the native
// separator and carry no trailing one.
struct ProjectState {
    QString name;    // what the title shows after the colon: "Boiler2" after New, "/Boiler2" after Open or restore
    QString folder;  // empty: no project open
    QString pargenPath;
    QString rcobPath;
    QString tcobPath;
};

// Recomputes the three document paths from the project folder; checks nothing.
void BuildDocumentPaths(ProjectState& project);

// folder + separator + name, the system's one way of forming a path.
QString JoinPath(const QString& folder, const QString& name);

// The project restored from the name kept in the settings file. A stored name may use "\" or
// "/"; the name gets a leading separator. The project folder is projects + name when that folder
// exists, else projects itself; restored says which.
struct RestoredProject {
    QString name;
    QString folder;
    bool restored = false;
};
RestoredProject RestoreProject(const QString& projectsFolder, const QString& storedName);

// The text of a name stored in the settings file: UTF-8 when the bytes are valid UTF-8, else the
// system's 8-bit code page, in which Windows writes the file.
QString DecodeStoredName(const std::string& bytes);

// The name Open gives a chosen folder: the folder less as many leading characters as the
// PROJECTS folder has ("/Boiler2", "/Site/Boiler2", empty for PROJECTS itself or no folder).
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
