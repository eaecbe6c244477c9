#pragma once
// A path in a label too narrow for it: elided in the middle, so that its beginning and its file
// name stay in sight, and whole in the label's tooltip. The label follows its width from then on
// and no longer asks its layout for the room of the whole path.

#include <QString>

class QLabel;

namespace kx {

void showPath(QLabel *label, const QString &path);
// The whole path a label shows (its text when showPath() was never used on it).
QString shownPath(const QLabel *label);

} // namespace kx
