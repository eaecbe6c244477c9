#pragma once
// The texts a window shows, walked widget by widget: the window translation of the language file
// and the Turkish letter folding of the tool windows.

class QObject;

namespace kx {

class TFileSearch;

// Window translation (CompFormDilCevir): every object the window holds, in creation order.
// Combo box items, form header titles, list column captions and status bar texts go raw;
// captions, hints and memo texts in window key form (i18n/translate.h).
void CompFormDilCevir(TFileSearch &translator, QObject *window);

// The folding of foldTurkish applied to every caption, hint and title inside `window` (labels,
// buttons, actions, group boxes, menus, tab texts, form headers), before the window is translated.
void foldWindowTexts(QObject *window);

} // namespace kx
