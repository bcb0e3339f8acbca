#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trelvant {

// True when name (UTF-8) can be one file or folder name, unchanged, on Windows as well as on
// Linux, so that a project made on one can be copied to the other. Refused: an empty name, "."
// and ".."; a name longer than 255 bytes; the characters < > : " / \ | ? * and the control characters; a name that ends in a
// dot or a blank (Windows drops them); the device names CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM0 to COM9, LPT0 to LPT9 and COM or LPT with a superscript 1, 2 or 3, in any case and with
// or without an extension ("nul.txt", "Com1 .xml").
bool IsPortableFileName(std::string_view name);

// "Name project not valid" when the typed name of a new project cannot be its folder's name on
// every platform (IsPortableFileName); nothing when it can.
std::optional<std::string> NewProjectNameRefusal(std::string_view typedName);

}  // namespace trelvant
