#include "image/bank_files.h"

#include "platform/atomic_file.h"
#include "platform/atomic_output_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <cerrno>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace trelvant {
namespace {

constexpr std::size_t kValuesPerLine = 16;

void appendBankArray(std::string& text, const ConfigurationImage& image, int bank)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto bytes = image.bank(bank);
    for (std::size_t line = 0; line < bytes.size() / kValuesPerLine; ++line) {
        if (line == 0) {
            text += "const char Bank";
            text += static_cast<char>('0' + bank);
            text += " [] = {";
        } else {
            text.append(17, ' ');
        }
        for (std::size_t i = line * kValuesPerLine; i < (line + 1) * kValuesPerLine; ++i) {
            text += " 0x";
            text += kHex[bytes[i] >> 4];
            text += kHex[bytes[i] & 0x0F];
            text += i + 1 == bytes.size() ? "};" : ",";
        }
        text += "\r\n";
    }
}

struct Output {
    std::filesystem::path file;
    std::string_view bytes;
};

std::string_view bankBytes(const ConfigurationImage& image, int bank)
{
    const auto bytes = image.bank(bank);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The project's bin folder in any case; a missing one is named, not the first file in it.
std::filesystem::path binFolder(const std::filesystem::path& projectFolder)
{
    const std::filesystem::path folder = ResolveFileName(projectFolder / "bin");
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        const bool exists = std::filesystem::exists(folder, ec);
        throw Error("Unable to write to " + DisplayPath(folder) + ": " +
                    (exists ? std::string("not a folder") : SystemReason(ENOENT)));
    }
    return folder;
}

// bank1.bin to bank5.bin in the bin folder.
std::vector<Output> bankFileOutputs(const ConfigurationImage& image, const std::filesystem::path& bin)
{
    std::vector<Output> outputs;
    for (int bank = 1; bank <= ConfigurationImage::kBankCount; ++bank)
        outputs.push_back({bin / BankFilePath({}, bank).filename(), bankBytes(image, bank)});
    return outputs;
}

constexpr std::string_view kMarkerText =
    "The bank files of this folder are being replaced. Should this file stay, the last build did not "
    "complete: build again.\r\n";

// All files reach their temporaries, flushed to the disk, before any old file is replaced. While
// the renames run the folder holds files of two builds, and the marker says so; a build that
// stops among them leaves it behind.
void writeSet(const std::filesystem::path& bin, const std::vector<Output>& outputs,
              const AfterBankFileReplaced& afterReplaced)
{
    const OutputPlace place = ProjectFile(bin.parent_path());
    std::vector<std::unique_ptr<AtomicOutputFile>> files;
    for (const Output& output : outputs) {
        files.push_back(std::make_unique<AtomicOutputFile>(output.file, place));
        files.back()->append(output.bytes);
        if (!files.back()->finish()) throw Error(files.back()->failureMessage());
    }
    const std::filesystem::path marker = ResolveFileName(bin / kUnfinishedBuildMarker);
    WriteFileAtomically(marker, kMarkerText, place);  // flushed with its folder entry
    for (const auto& file : files) {
        if (!file->publishWithoutFolderSync()) throw Error(file->failureMessage());
        if (afterReplaced) afterReplaced(file->target());
    }
    if (!SyncFolder(bin)) throw Error("Unable to write to " + DisplayPath(bin) + ": " + SystemReason(errno ? errno : EIO));
    std::error_code ec;
    std::filesystem::remove(marker, ec);
    if (ec) throw Error("Unable to remove " + DisplayPath(marker) + ": " + ec.message());
}

}  // namespace

std::filesystem::path BankFilePath(const std::filesystem::path& projectFolder, int bank)
{
    return projectFolder / "bin" / ("bank" + std::to_string(bank) + ".bin");
}

std::filesystem::path BankSourcePath(const std::filesystem::path& projectFolder)
{
    return projectFolder / "bin" / "bankg.c";
}

bool BuildIncomplete(const std::filesystem::path& binFolder)
{
    return ExistsAnyCase(binFolder / kUnfinishedBuildMarker);
}

bool BankFileOfUnfinishedBuild(const std::filesystem::path& bankFile)
{
    return BuildIncomplete(bankFile.has_parent_path() ? bankFile.parent_path() : std::filesystem::path("."));
}

void WriteBankOutputs(const ConfigurationImage& image, const std::filesystem::path& projectFolder,
                      const AfterBankFileReplaced& afterReplaced)
{
    const std::filesystem::path bin = binFolder(projectFolder);
    const std::string source = BankSourceText(image);
    std::vector<Output> outputs = bankFileOutputs(image, bin);
    outputs.push_back({bin / BankSourcePath({}).filename(), source});
    writeSet(bin, outputs, afterReplaced);
}

void WriteBankFiles(const ConfigurationImage& image, const std::filesystem::path& projectFolder,
                    const AfterBankFileReplaced& afterReplaced)
{
    const std::filesystem::path bin = binFolder(projectFolder);
    writeSet(bin, bankFileOutputs(image, bin), afterReplaced);
}

std::string BankSourceText(const ConfigurationImage& image)
{
    std::string text;
    text.reserve(235593);
    text += "#pragma CONST_SEG SEGMENT0\r\n";
    appendBankArray(text, image, 1);
    text += "\r\n";
    appendBankArray(text, image, 2);
    text += "\r\n";
    text += "#pragma CONST_SEG DEFAULT\r\n";
    return text;
}

void WriteBankSource(const ConfigurationImage& image, const std::filesystem::path& projectFolder)
{
    // One file replaced by one rename: never half a set, and no marker.
    WriteFileAtomically(binFolder(projectFolder) / BankSourcePath({}).filename(), BankSourceText(image),
                        ProjectFile(projectFolder));
}

}  // namespace trelvant
