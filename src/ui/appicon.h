#pragma once
// The program's icon (tray, windows): a database drum on a blue tile with a green tick, the
// same picture as desktop/korvanex-yedek.svg, drawn here so no image plugin is needed.

#include <QIcon>

namespace kx {

QIcon applicationIcon();
// The chat program's icon in the tools menu.
QIcon chatIcon();

} // namespace kx
