#pragma once
// Another program may leave a language name for us under [Kovanci3] Language in a small ini file
// (by default /etc/korvanex/Kovanci3.ini). It is taken over once: moved into DIL and removed.

#include <QString>

namespace kx {

class TKxStorage;

QString defaultRegistryPath();

// Does nothing when the file is missing, cannot be rewritten, or has no Language value.
// Returns true when a value was taken over.
bool takeOverRegistryLanguage(TKxStorage &settings, const QString &registryPath);

} // namespace kx
