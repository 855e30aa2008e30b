// Icon 131: Pellimor's own, drawn at every size the desktop asks for.
#pragma once

#include <QIcon>

namespace pellimor {

QIcon MakeAppIcon();

}  // namespace pellimor
