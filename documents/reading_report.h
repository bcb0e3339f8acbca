#pragma once

#include <string>
#include <vector>

namespace trelvant {

// Where the byte map reading pass sends what it meets. The editors list the frames and show the
// errors in error message boxes; the core itself never shows anything.
class ReadingReport {
public:
    virtual ~ReadingReport() = default;

    // One frame of the frame list, before its entry is made: the texts of PGN and ID_DEV
    // (receive) or of Priority, DP, PGN and ID_DEV (transmit).
    virtual void frame(const std::vector<std::string>& texts) { (void)texts; }

    // A stage of the pass stopped with this message.
    virtual void error(const std::string& message) = 0;
};

}  // namespace trelvant
