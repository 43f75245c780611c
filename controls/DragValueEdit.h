#pragma once
// The package path box: a read-only edit control that behaves as a standard one for now.

#include "ui/Control.h"

namespace harmoload {

class DragValueEdit : public ui::Control {};

}  // namespace harmoload
