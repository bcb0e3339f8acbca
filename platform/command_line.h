#pragma once

#include <string>
#include <vector>

namespace trelvant {

// The program's arguments in UTF-8, the program's name first. On Windows they are taken from
// the wide command line: main's argv there holds them in the 8-bit code page, where a name
// such as "Kessel Süd" may not survive. Elsewhere argv as it is.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Standard output and standard error carry the program's bytes as they are: on Windows they
// would otherwise turn each "\n" into "\r\n", and a script would see other bytes there than here.
void WriteStandardStreamsAsBytes();

}  // namespace trelvant
