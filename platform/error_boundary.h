#pragma once

#include <functional>

class QWidget;

namespace trelvant {

class MessageBoxes;

// The one place where an error that escapes a handler ends: it shows the toolkit's error box
// with the error's message, the user action stops there and the program goes on with the state
// it had reached. Returns true when the handler returned without error. Running out of memory
// shows a sentence of its own; any other error shows its own message.
bool RunHandler(MessageBoxes& boxes, QWidget* parent, const std::function<void()>& handler);

}  // namespace trelvant
