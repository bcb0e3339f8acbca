#pragma once

#include <filesystem>
#include <vector>

namespace trelvant::cli {

// Refuses, before a command runs, an output that is one of the files the command reads: a log
// replaced by its own timeline is lost for good. The same file is found through links, hard links
// and, where the file system ignores case, any case of its name. A folder among the inputs stands
// for the project documents in it. Throws Error("Unable to write to <output>: it is <input>, which
// this command reads").
void RefuseOutputOverInputs(const std::filesystem::path& output, const std::vector<std::filesystem::path>& inputs);

}  // namespace trelvant::cli
