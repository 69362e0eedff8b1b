// The program's icon, drawn rather than loaded, so that the tray shows it
// whether or not the program is installed.
#pragma once

#include <QIcon>

namespace tilewise {

QIcon tilewiseIcon();

} // namespace tilewise
