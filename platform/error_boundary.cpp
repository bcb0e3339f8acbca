#include "platform/error_boundary.h"

#include "platform/message_boxes.h"

#include <exception>
#include <new>

namespace trelvant {

bool RunHandler(MessageBoxes& boxes, QWidget* parent, const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::bad_alloc&) {
        // Its what() text names a type, which tells the user nothing.
        boxes.toolkitError(parent, QStringLiteral("Not enough memory to complete the operation"));
    } catch (const std::exception& e) {
        boxes.toolkitError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        boxes.toolkitError(parent, QStringLiteral("Unknown error"));
    }
    return false;
}

}  // namespace trelvant
