#pragma once
// Names for the controls of a window as assistive tools read them: a label that stands before a
// control in its layout (to its left in a row, or above it in a form) becomes the control's
// buddy, so the control is named by the label's text in whatever language it shows; a button
// that only reads "..." is named by its row's label too. Called once a window's texts are
// translated.

class QWidget;

namespace kx {

void nameControlsByLabels(QWidget *window);

} // namespace kx
