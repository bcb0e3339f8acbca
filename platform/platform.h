#pragma once

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_chooser.h"
#include "platform/folder_browser.h"
#include "platform/message_boxes.h"

#include <QString>

#include <filesystem>

namespace trelvant {

// The platform services a window uses; tests hand in recording fakes.
struct Platform {
    MessageBoxes& boxes;
    FolderBrowser& folders;
    Desktop& desktop;
    const Clock& clock;  // the build's date and time
    FileChooser& files;  // the workbook an editor imports
};

inline std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(text.toStdU16String());
}

inline QString FromPath(const std::filesystem::path& path)
{
    return QString::fromStdU16String(path.u16string());
}

}  // namespace trelvant
