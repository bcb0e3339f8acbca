#pragma once

#include "documents/pargen_document.h"

#include <optional>
#include <string>

namespace trelvant {

// The checks the communication dialog runs on OK, in their order: the message of the first that
// fails, or nothing when all pass. Every text is read with the integer conversion, a refused text
// counting as -1. With remote requests off only the data time-out and its Modbus register are
// checked; with them on, the five registers must also be five different register numbers.
std::optional<std::string> CommunicationCheckFailure(const PargenValues& values);

}  // namespace trelvant
